// Tests of the path area of the platform layer.
#include "plat/path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

TEST(EqualsIgnoringAsciiCaseTest, FoldsOnlyAsciiLetters) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"Config.INI", "config.ini", true},
      {"GENERAL", "general", true},
      {"", "", true},
      {"name", "nam", false},
      {"nam", "name", false},
      {"a[", "A{", false},
      {"\xC4", "\xE4", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::EqualsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " " << c.b;
}

TEST(ToWindowsPathTest, AbsolutePathsGetDriveCAndRelativeOnesKeepTheirForm) {
  struct Case {
    const char* host;
    const char* windows;
  } cases[] = {
      {"/a/b", "C:\\a\\b"},        {"/", "C:\\"},    {"/dir/FILE.INI", "C:\\dir\\FILE.INI"},
      {"rel/x.txt", "rel\\x.txt"}, {"name", "name"}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(plat::ToWindowsPath(c.host), c.windows) << c.host;
}

// Names under "/" that no system has, so no case match can change them.
TEST(ToHostPathTest, MapsDrivesAndSeparatorsOfMissingPaths) {
  struct Case {
    const char* windows;
    const char* host;
  } cases[] = {
      {"C:\\velcora-absent\\b", "/velcora-absent/b"},
      {"d:\\velcora-absent\\b", "/velcora-absent/b"},
      {"Z:/velcora-absent/b", "/velcora-absent/b"},
      {"X:\\velcora-absent/b\\c", "/velcora-absent/b/c"},
      {"\\velcora-absent", "/velcora-absent"},
      {"/velcora-absent", "/velcora-absent"},
      {"C:\\\\velcora-absent\\\\\\b\\", "/velcora-absent/b"},
      {"\\\\velcora-absent\\share", "/velcora-absent/share"},
      {"velcora-absent\\b", "velcora-absent/b"},
      {"velcora-absent//b/", "velcora-absent/b"},
      {"C:", "/"},
      {"C:\\", "/"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(plat::ToHostPath(c.windows), c.host) << c.windows;
  EXPECT_EQ(plat::ToHostPath(nullptr), "");
}

class CaseResolutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(m_dir / "Data");
    std::filesystem::create_directories(m_dir / "Sub/Deep");
    WriteFile(m_dir / "Data/Config.INI", "x");
    WriteFile(m_dir / "Sub/Deep/File.txt", "x");
    WriteFile(m_dir / "both", "lower");
    WriteFile(m_dir / "BOTH", "upper");
  }

  std::string Windows(const std::string& relative) const {
    return "C:" + Backslashed(m_dir.path()) + "\\" + relative;
  }
  std::string Host(const std::string& relative) const { return m_dir / relative; }

  TempDir m_dir;
};

TEST_F(CaseResolutionTest, ResolvesEachComponentWithoutRegardToCase) {
  struct Case {
    const char* windows;
    const char* host;
  } cases[] = {
      {"data\\config.ini", "Data/Config.INI"},
      {"DATA\\CONFIG.INI", "Data/Config.INI"},
      {"Data\\Config.INI", "Data/Config.INI"},
      {"SUB\\deep\\FILE.TXT", "Sub/Deep/File.txt"},
      {"sub/DEEP\\file.txt", "Sub/Deep/File.txt"},
      {"data", "Data"},
      // A new name keeps the form it was given, inside the resolved directory.
      {"DATA\\New.Ini", "Data/New.Ini"},
      {"sub\\deep\\NewDir\\x.txt", "Sub/Deep/NewDir/x.txt"},
      {"Missing\\DATA\\config.ini", "Missing/DATA/config.ini"},
      // An exact name wins over a case match; of two case matches the smaller name wins.
      {"both", "both"},
      {"BOTH", "BOTH"},
      {"Both", "BOTH"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::ToHostPath(Windows(c.windows).c_str()), Host(c.host)) << c.windows;
}

TEST_F(CaseResolutionTest, ResolvesRelativePathsFromTheCurrentDirectory) {
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(m_dir.path());
  std::string nested = plat::ToHostPath("sub\\DEEP\\file.TXT");
  std::string fresh = plat::ToHostPath("data\\Fresh.ini");
  std::filesystem::current_path(previous);

  EXPECT_EQ(nested, "Sub/Deep/File.txt");
  EXPECT_EQ(fresh, "Data/Fresh.ini");
}

TEST(CopyPathResultTest, CopiesWhenItFitsElseReportsTheSizeNeeded) {
  struct Case {
    unsigned size;
    unsigned expected;
    const char* buffer;  // what the 8-byte buffer, preset to "#######", holds afterwards
  } cases[] = {
      {8, 5, "C:\\ab"}, {6, 5, "C:\\ab"}, {5, 6, "#######"}, {1, 6, "#######"}, {0, 6, "#######"},
  };
  for (const Case& c : cases) {
    char buffer[8] = "#######";
    EXPECT_EQ(plat::CopyPathResult("C:\\ab", buffer, c.size), c.expected) << c.size;
    EXPECT_STREQ(buffer, c.buffer) << c.size;
  }
  EXPECT_EQ(plat::CopyPathResult("C:\\ab", nullptr, 0), 6u);
}

TEST(SplitPathTest, SplitsDriveDirectoryNameAndExtension) {
  struct Case {
    const char* path;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
  } cases[] = {
      {"D:\\SVC\\PROG.EXE", "D:", "\\SVC\\", "PROG", ".EXE"},
      {"c:/svc/prog.exe", "c:", "/svc/", "prog", ".exe"},
      {"/usr/bin/prog", "", "/usr/bin/", "prog", ""},
      {"D:\\a/b\\c.d.e", "D:", "\\a/b\\", "c.d", ".e"},
      {"dir.d\\file", "", "dir.d\\", "file", ""},
      {"C:file.txt", "C:", "", "file", ".txt"},
      {".profile", "", "", "", ".profile"},
      {"name.", "", "", "name", "."},
      {"D:\\SVC\\", "D:", "\\SVC\\", "", ""},
      {"1:\\x", "", "1:\\", "x", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    char drive[8], dir[32], fname[32], ext[16];
    plat::SplitPath(c.path, drive, sizeof drive, dir, sizeof dir, fname, sizeof fname, ext, sizeof ext);
    EXPECT_STREQ(drive, c.drive) << c.path;
    EXPECT_STREQ(dir, c.dir) << c.path;
    EXPECT_STREQ(fname, c.fname) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
  }
}

TEST(SplitPathTest, CutsEachPartToItsBufferAndNeverWritesPastIt) {
  struct Case {
    size_t size;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
  } cases[] = {
      {1, "", "", "", ""},
      {2, "D", "\\", "P", "."},
      {3, "D:", "\\S", "PR", ".E"},
      {6, "D:", "\\SVC\\", "PROGR", ".EXE"},
  };
  for (const Case& c : cases) {
    char drive[8], dir[8], fname[8], ext[8];
    for (char* part : {drive, dir, fname, ext}) std::memset(part, '#', 8);
    plat::SplitPath("D:\\SVC\\PROGRAM.EXE", drive, c.size, dir, c.size, fname, c.size, ext, c.size);
    EXPECT_STREQ(drive, c.drive) << c.size;
    EXPECT_STREQ(dir, c.dir) << c.size;
    EXPECT_STREQ(fname, c.fname) << c.size;
    EXPECT_STREQ(ext, c.ext) << c.size;
    for (char* part : {drive, dir, fname, ext}) EXPECT_EQ(part[c.size], '#') << c.size;
  }
}

TEST(SplitPathTest, SkipsNullBuffersAndZeroSizes) {
  char fname[8] = "#######";
  char ext[8] = "#######";
  plat::SplitPath("D:\\SVC\\PROG.EXE", nullptr, 8, nullptr, 0, fname, sizeof fname, ext, 0);
  EXPECT_STREQ(fname, "PROG");
  EXPECT_STREQ(ext, "#######");
}

}  // namespace
