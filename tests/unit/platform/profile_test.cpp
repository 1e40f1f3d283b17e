// Tests of the profile area of the platform layer.
#include "plat/profile.h"

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "support/temp_dir.h"
#include "support/writer_temporaries.h"

namespace {

using testsupport::WindowsForm;

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::ScopedMachine;
using testsupport::TempDir;
using testsupport::WriteFile;

const char kSample[] =
    "Orphan=outside any section\r\n"
    "; leading comment\r\n"
    "[General]\r\n"
    "Name = Velcora Box  \r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='single'\r\n"
    "Mixed=\"half'\r\n"
    "Empty=\r\n"
    "  Indented  =  value  \r\n"
    ";Commented=hidden\r\n"
    "LongValue=abcdefghij\r\n"
    "\r\n"
    "[ Second ]\r\n"
    "Name=second\n"
    "[general]\r\n"
    "Name=duplicate section\r\n"
    "Extra=only here\r\n";

// A machine directory with SAMPLE.INI in its Windows directory.
class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(WindowsDir());
    WriteFile(WindowsDir() + "/SAMPLE.INI", kSample);
  }

  std::string WindowsDir() const { return m_machine.path() + "/windows"; }

  ScopedMachine m_machine;
};

TEST_F(ProfileTest, ReadsValuesAndFallsBackToTheDefault) {
  struct Case {
    const char* section;
    const char* key;
    const char* defaultValue;
    const char* expected;
  } cases[] = {
      {"General", "Name", "dflt", "Velcora Box"},
      {"GENERAL", "nAmE", "dflt", "Velcora Box"},
      {"General", "Quoted", "dflt", "  spaced  "},
      {"General", "Single", "dflt", "single"},
      {"General", "Mixed", "dflt", "\"half'"},
      {"General", "Empty", "dflt", ""},
      {"General", "indented", "dflt", "value"},
      {"General", "Commented", "dflt", "dflt"},
      {"General", "Orphan", "dflt", "dflt"},
      {"General", "Extra", "dflt", "dflt"},
      {"Second", "Name", "dflt", "second"},
      {"General", "Missing", "dflt  \t ", "dflt"},
      {"General", "Missing", "  padded", "  padded"},
      {"General", "Missing", nullptr, ""},
      {"Nope", "Name", "section default", "section default"},
  };
  for (const Case& c : cases) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    plat::DWORD copied =
        plat::GetPrivateProfileStringA(c.section, c.key, c.defaultValue, buffer, sizeof buffer, "SAMPLE.INI");
    EXPECT_STREQ(buffer, c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(copied, std::strlen(c.expected)) << c.section << "/" << c.key;
  }
}

TEST_F(ProfileTest, AMissingFileGivesTheDefaultAndFileNotFound) {
  char buffer[32];
  plat::SetLastError(0);
  EXPECT_EQ(
      plat::GetPrivateProfileStringA("General", "Name", "fallback ", buffer, sizeof buffer, "NOFILE.INI"),
      8u);
  EXPECT_STREQ(buffer, "fallback");
  EXPECT_EQ(plat::GetLastError(), 2u);
}

TEST_F(ProfileTest, FindsTheFileWithoutRegardToCase) {
  fs::create_directories(m_machine.path() + "/Conf");
  WriteFile(m_machine.path() + "/Conf/Own.ini", "[S]\nK=in conf\n");
  struct Case {
    std::string file;
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"sample.ini", "General", "Name", "Velcora Box"},
      {WindowsForm(m_machine.path()) + "\\WINDOWS\\Sample.Ini", "General", "Name", "Velcora Box"},
      {WindowsForm(m_machine.path()) + "\\conf\\OWN.INI", "S", "K", "in conf"},
      {m_machine.path() + "/CONF/own.ini", "S", "K", "in conf"},
  };
  for (const Case& c : cases) {
    char buffer[32] = "";
    plat::GetPrivateProfileStringA(c.section, c.key, "", buffer, sizeof buffer, c.file.c_str());
    EXPECT_STREQ(buffer, c.expected) << c.file;
  }
}

TEST_F(ProfileTest, CutsAValueOrDefaultToTheBufferAndKeepsTheByteAfterIt) {
  struct Case {
    const char* key;
    const char* defaultValue;
    plat::DWORD size;
    const char* expected;
  } cases[] = {
      {"LongValue", nullptr, 11, "abcdefghij"}, {"LongValue", nullptr, 10, "abcdefghi"},
      {"LongValue", nullptr, 2, "a"},           {"LongValue", nullptr, 1, ""},
      {"Missing", "0123456789", 5, "0123"},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    plat::DWORD copied =
        plat::GetPrivateProfileStringA("General", c.key, c.defaultValue, buffer, c.size, "SAMPLE.INI");
    EXPECT_EQ(copied, std::strlen(c.expected)) << c.key << " " << c.size;
    EXPECT_STREQ(buffer, c.expected) << c.key << " " << c.size;
    EXPECT_EQ(buffer[c.size], '#') << c.key << " " << c.size;
  }

  char untouched[4] = "abc";
  EXPECT_EQ(plat::GetPrivateProfileStringA("General", "Name", "", untouched, 0, "SAMPLE.INI"), 0u);
  EXPECT_STREQ(untouched, "abc");
}

TEST_F(ProfileTest, ListsKeysAndSectionsAndCutsTheList) {
  const std::string keys("Name\0Quoted\0Single\0Mixed\0Empty\0Indented\0LongValue\0", 50);
  const std::string sections("General\0Second\0general\0", 23);
  struct Case {
    const char* section;  // null lists the sections, otherwise the keys of this section
    const char* file;
    plat::DWORD size;
    plat::DWORD returned;
    std::string expected;  // the list including its final NUL
  } cases[] = {
      {"general", "SAMPLE.INI", 64, 50, keys + '\0'},
      {nullptr, "SAMPLE.INI", 64, 23, sections + '\0'},
      {nullptr, "SAMPLE.INI", 24, 23, sections + '\0'},
      {nullptr, "SAMPLE.INI", 23, 21, std::string("General\0Second\0genera\0\0", 23)},
      {nullptr, "SAMPLE.INI", 10, 8, std::string("General\0\0\0", 10)},
      {nullptr, "SAMPLE.INI", 9, 7, std::string("General\0\0", 9)},
      {nullptr, "SAMPLE.INI", 2, 0, std::string("\0\0", 2)},
      {nullptr, "SAMPLE.INI", 1, 0, std::string("\0", 1)},
      {"Nope", "SAMPLE.INI", 64, 0, std::string("\0\0", 2)},
      {nullptr, "NOFILE.INI", 64, 0, std::string("\0\0", 2)},
  };
  for (const Case& c : cases) {
    std::string where = std::string(c.section ? c.section : "(sections)") + " " + std::to_string(c.size);
    char buffer[80];
    std::memset(buffer, '#', sizeof buffer);
    plat::DWORD copied =
        plat::GetPrivateProfileStringA(c.section, nullptr, "default", buffer, c.size, c.file);
    EXPECT_EQ(copied, c.returned) << where;
    EXPECT_EQ(std::string(buffer, c.expected.size()), c.expected) << where;
    EXPECT_EQ(buffer[c.size], '#') << where;
  }
}

TEST_F(ProfileTest, ReadsNumbers) {
  WriteFile(WindowsDir() + "/NUMBERS.INI",
            "[Numbers]\n"
            "Plain=42\n"
            "Blanks=   17\n"
            "Negative=-5\n"
            "Plus=+8\n"
            "Trailing=55zz\n"
            "Hex=0x1F\n"
            "HexUpper=0XfF\n"
            "HexTrailing=0x1Gz\n"
            "NoDigits=abc\n"
            "SignOnly=-\n"
            "Empty=\n"
            "Quoted=\"12\"\n"
            "Largest=4294967295\n");
  struct Case {
    const char* key;
    const char* file;
    plat::UINT expected;
  } cases[] = {
      {"Plain", "NUMBERS.INI", 42},
      {"plain", "NUMBERS.INI", 42},
      {"Blanks", "NUMBERS.INI", 17},
      {"Negative", "NUMBERS.INI", 0xFFFFFFFB},
      {"Plus", "NUMBERS.INI", 8},
      {"Trailing", "NUMBERS.INI", 55},
      {"Hex", "NUMBERS.INI", 31},
      {"HexUpper", "NUMBERS.INI", 255},
      {"HexTrailing", "NUMBERS.INI", 1},
      {"NoDigits", "NUMBERS.INI", 0},
      {"SignOnly", "NUMBERS.INI", 0},
      {"Empty", "NUMBERS.INI", 0},
      {"Quoted", "NUMBERS.INI", 12},
      {"Largest", "NUMBERS.INI", 0xFFFFFFFF},
      {"Missing", "NUMBERS.INI", 0xFFFFFFFD},
      {"Plain", "NOFILE.INI", 0xFFFFFFFD},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::GetPrivateProfileIntA("Numbers", c.key, -3, c.file), c.expected)
        << c.key << " " << c.file;
}

// Each edit of an existing file: only the lines the edit is about change.
TEST_F(ProfileTest, EditsKeepEveryOtherLineByteForByte) {
  const std::string crlf =
      "; settings\r\n"
      "[General]\r\n"
      "Key1 = old  \r\n"
      "  odd   spacing=  x\r\n"
      "\r\n"
      "  \r\n"
      "[Other]\r\n"
      "A=1\r\n";
  const std::string lf =
      "; settings\n"
      "[General]\n"
      "Key1 = old  \n"
      ";last\n"
      "\n"
      "[Other]\n"
      "A=1";
  struct Case {
    const char* name;
    std::string original;
    const char* section;
    const char* key;
    const char* value;
    std::string expected;
  } cases[] = {
      {"replace in CRLF file", crlf, "general", "KEY1", "new",
       "; settings\r\n[General]\r\nKEY1=new\r\n  odd   spacing=  x\r\n\r\n  \r\n[Other]\r\nA=1\r\n"},
      {"replace in LF file", lf, "General", "Key1", "new",
       "; settings\n[General]\nKey1=new\n;last\n\n[Other]\nA=1"},
      {"replace the unterminated last line", lf, "Other", "a", "2",
       "; settings\n[General]\nKey1 = old  \n;last\n\n[Other]\na=2"},
      {"add key after the last non-blank line (CRLF)", crlf, "General", "Key2", "v",
       "; settings\r\n[General]\r\nKey1 = old  \r\n  odd   spacing=  x\r\nKey2=v\r\n\r\n  \r\n[Other]\r\n"
       "A=1\r\n"},
      {"add key after a comment (LF)", lf, "General", "Key2", "v",
       "; settings\n[General]\nKey1 = old  \n;last\nKey2=v\n\n[Other]\nA=1"},
      {"add key to the unterminated last section", lf, "Other", "B", "2",
       "; settings\n[General]\nKey1 = old  \n;last\n\n[Other]\nA=1\nB=2\n"},
      {"add section (CRLF)", crlf, "New", "K", "v", crlf + "[New]\r\nK=v\r\n"},
      {"add section (LF, unterminated last line)", lf, "New", "K", "v", lf + "\n[New]\nK=v\n"},
      {"add key to a file without line ends", "[A]", "A", "K", "v", "[A]\r\nK=v\r\n"},
      {"delete key (CRLF)", crlf, "GENERAL", "key1", nullptr,
       "; settings\r\n[General]\r\n  odd   spacing=  x\r\n\r\n  \r\n[Other]\r\nA=1\r\n"},
      {"delete missing key", lf, "General", "Nope", nullptr, lf},
      {"delete key of a missing section", lf, "Nope", "Key1", nullptr, lf},
      {"delete section in the middle (CRLF)", crlf, "general", nullptr, nullptr,
       "; settings\r\n[Other]\r\nA=1\r\n"},
      {"delete last section (LF)", lf, "OTHER", nullptr, nullptr,
       "; settings\n[General]\nKey1 = old  \n;last\n\n"},
      {"edit only the first of two equal sections", "[A]\nK=1\n[a]\nK=2\n", "A", "K", "3",
       "[A]\nK=3\n[a]\nK=2\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir / "edit.ini", c.original);
    EXPECT_EQ(plat::WritePrivateProfileStringA(c.section, c.key, c.value, (dir / "edit.ini").c_str()),
              plat::TRUE)
        << c.name;
    EXPECT_EQ(ReadFile(dir / "edit.ini"), c.expected) << c.name;
  }
}

TEST_F(ProfileTest, WriteCreatesAMissingFileWithCrLf) {
  ASSERT_EQ(plat::WritePrivateProfileStringA("General", "DebugLine", "3", "NEW.INI"), plat::TRUE);
  EXPECT_EQ(ReadFile(WindowsDir() + "/NEW.INI"), "[General]\r\nDebugLine=3\r\n");

  ASSERT_EQ(plat::WritePrivateProfileStringA("general", "debugline", "4", "new.ini"), plat::TRUE);
  EXPECT_EQ(ReadFile(WindowsDir() + "/NEW.INI"), "[General]\r\ndebugline=4\r\n");
  char buffer[8];
  EXPECT_EQ(plat::GetPrivateProfileStringA("GENERAL", "DEBUGLINE", "", buffer, sizeof buffer, "New.Ini"), 1u);
  EXPECT_STREQ(buffer, "4");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(WindowsDir())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"NEW.INI", "SAMPLE.INI"}));  // no temporary file is left
}

TEST_F(ProfileTest, DeletingFromAMissingFileCreatesNothing) {
  EXPECT_EQ(plat::WritePrivateProfileStringA("General", "Key", nullptr, "NOFILE.INI"), plat::TRUE);
  EXPECT_EQ(plat::WritePrivateProfileStringA("General", nullptr, nullptr, "NOFILE.INI"), plat::TRUE);
  EXPECT_FALSE(fs::exists(WindowsDir() + "/NOFILE.INI"));
}

TEST_F(ProfileTest, WriteRefusals) {
  WriteFile(WindowsDir() + "/LOCKED.INI", "[General]\nKey=1\n");
  fs::permissions(WindowsDir() + "/LOCKED.INI", fs::perms::owner_read);
  std::string missingDir = WindowsForm(m_machine.path()) + "\\NoDir\\X.INI";
  struct Case {
    const char* name;
    const char* section;
    const char* file;
    plat::DWORD error;
  } cases[] = {
      {"directory missing", "General", missingDir.c_str(), 3},
      {"read-only file", "General", "LOCKED.INI", 5},
      {"null section with a key", nullptr, "SAMPLE.INI", 87},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(plat::WritePrivateProfileStringA(c.section, "Key", "2", c.file), plat::FALSE) << c.name;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.name;
  }
  EXPECT_EQ(ReadFile(WindowsDir() + "/LOCKED.INI"), "[General]\nKey=1\n");
  EXPECT_FALSE(fs::exists(m_machine.path() + "/NoDir"));
  EXPECT_EQ(plat::WritePrivateProfileStringA(nullptr, nullptr, nullptr, "SAMPLE.INI"), plat::TRUE);
}

TEST_F(ProfileTest, WriteKeepsPermissionsAndLinks) {
  TempDir dir;
  WriteFile(dir / "real.ini", "[S]\nK=1\n");
  fs::permissions(dir / "real.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(dir / "real.ini", dir / "link.ini");

  ASSERT_EQ(plat::WritePrivateProfileStringA("S", "K", "2", (dir / "link.ini").c_str()), plat::TRUE);
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "[S]\nK=2\n");
  struct stat info;
  ASSERT_EQ(stat((dir / "real.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(ProfileTest, AFileThatCannotBeReadIsNeverWrittenOver) {
  TempDir dir;
  const std::string settings = dir / "VELCORA.INI";
  WriteFile(settings, "[Velcora]\r\nPort=4711\r\n");
  ASSERT_EQ(0, chmod(settings.c_str(), 0222));
  ASSERT_EQ(0, chmod(dir.path().c_str(), 0777));  // so that nothing but the failed read stops a write
  plat::BOOL written = plat::TRUE;
  plat::DWORD error = 0;
  std::thread writer([&] {
    // Root reads any file, so this thread's file accesses are checked as another user's.
    if (geteuid() == 0) setfsuid(65534);
    written = plat::WritePrivateProfileStringA("Velcora", "Trace", "1", settings.c_str());
    error = plat::GetLastError();
  });
  writer.join();
  ASSERT_EQ(0, chmod(settings.c_str(), 0644));
  EXPECT_FALSE(written);
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, error);
  EXPECT_EQ(ReadFile(settings), "[Velcora]\r\nPort=4711\r\n");
}

TEST_F(ProfileTest, TheNextWriteRemovesWhatKilledWritersLeft) {
  const std::string settings = WindowsDir() + "/VELCORA.INI";
  WriteFile(settings, "[Velcora]\r\nPort=4711\r\n");
  const std::vector<testsupport::LeftTemporary> left = testsupport::LeaveTemporaries(settings);

  ASSERT_EQ(plat::WritePrivateProfileStringA("Velcora", "Trace", "1", "velcora.ini"), plat::TRUE);
  EXPECT_EQ(ReadFile(settings), "[Velcora]\r\nPort=4711\r\nTrace=1\r\n");
  for (const testsupport::LeftTemporary& temporary : left)
    EXPECT_EQ(fs::exists(temporary.path), !temporary.isRemovedByTheNextWrite) << temporary.writer;
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoUpdate) {
  constexpr int kThreads = 8;
  constexpr int kKeysPerThread = 25;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      for (int k = 0; k < kKeysPerThread; ++k) {
        std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
        plat::WritePrivateProfileStringA("Shared", key.c_str(), key.c_str(), "SHARED.INI");
      }
    });
  }
  for (std::thread& writer : writers) writer.join();

  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeysPerThread; ++k) {
      std::string key = "T" + std::to_string(t) + "K" + std::to_string(k);
      char buffer[16] = "";
      plat::GetPrivateProfileStringA("Shared", key.c_str(), "lost", buffer, sizeof buffer, "SHARED.INI");
      EXPECT_EQ(std::string(buffer), key);
    }
  }
}

}  // namespace
