// Tests of the file area of the platform layer.
#include "plat/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/stream.h"
#include "support/temp_dir.h"

namespace {

using testsupport::WindowsForm;

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::WriteFile;

// Restores the process's current directory when a test has changed it.
class CurrentDirectoryGuard {
 public:
  CurrentDirectoryGuard() : m_saved(fs::current_path()) {}
  ~CurrentDirectoryGuard() { fs::current_path(m_saved); }

 private:
  fs::path m_saved;
};

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_dir / "Dir");
    WriteFile(m_dir / "Dir/Plain.txt", "plain");
    WriteFile(m_dir / "Dir/ReadOnly.txt", "read only");
    fs::permissions(m_dir / "Dir/ReadOnly.txt", fs::perms::owner_read | fs::perms::group_read);
  }

  std::string Windows(const std::string& relative) const { return WindowsForm(m_dir.path()) + relative; }

  TempDir m_dir;
};

TEST_F(FileTest, GetFileAttributesTellsDirectoriesWritableAndReadOnlyFiles) {
  struct Case {
    const char* path;
    plat::DWORD attributes;
  } cases[] = {
      {"\\dir", 0x10},
      {"\\Dir\\", 0x10},
      {"\\DIR\\plain.TXT", 0x80},
      {"/Dir/Plain.txt", 0x80},
      {"\\dir\\readonly.txt", 0x01},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::GetFileAttributesA(Windows(c.path).c_str()), c.attributes) << c.path;
}

TEST_F(FileTest, AccessTellsWhetherAFileOrDirectoryIsThere) {
  struct Case {
    const char* path;
    int mode;
    int result;
  } cases[] = {
      {"\\Dir\\Plain.txt", 0, 0}, {"\\DIR\\plain.TXT", 0, 0},    {"\\Dir", 0, 0},
      {"\\Dir\\Plain.txt", 6, 0}, {"\\Dir\\Missing.txt", 0, -1}, {"\\Gone\\Plain.txt", 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, plat::_access(Windows(c.path).c_str(), c.mode)) << c.path;
  EXPECT_EQ(-1, plat::_access("", 0));
}

TEST_F(FileTest, GetFileAttributesTellsAMissingFileFromAMissingPath) {
  struct Case {
    std::string path;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\Dir\\Missing.txt"), 2},
      {Windows("\\NoDir\\Missing.txt"), 3},
      {Windows("\\Dir\\Plain.txt\\Below"), 3},
      {"", 3},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(plat::GetFileAttributesA(c.path.c_str()), 0xFFFFFFFFu) << c.path;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.path;
  }
}

TEST_F(FileTest, CurrentDirectoryRoundTripsInWindowsForm) {
  CurrentDirectoryGuard guard;
  ASSERT_EQ(plat::SetCurrentDirectoryA(Windows("\\DIR").c_str()), plat::TRUE);
  EXPECT_EQ(fs::current_path(), fs::path(m_dir / "Dir"));

  std::string expected = WindowsForm(m_dir / "Dir");
  plat::DWORD length = static_cast<plat::DWORD>(expected.size());
  char buffer[512];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(plat::GetCurrentDirectoryA(length + 1, buffer), length);
  EXPECT_EQ(std::string(buffer), expected);

  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(plat::GetCurrentDirectoryA(length, buffer), length + 1);
  EXPECT_EQ(std::string(buffer, length + 1), std::string(length + 1, '#'));
  EXPECT_EQ(plat::GetCurrentDirectoryA(0, nullptr), length + 1);

  // A relative path starts from the new current directory.
  fs::create_directories(m_dir / "Dir/Inner");
  ASSERT_EQ(plat::SetCurrentDirectoryA("inner"), plat::TRUE);
  EXPECT_EQ(fs::current_path(), fs::path(m_dir / "Dir/Inner"));
}

TEST_F(FileTest, SetCurrentDirectoryFailsAndStaysWhereItWas) {
  CurrentDirectoryGuard guard;
  fs::current_path(m_dir.path());
  struct Case {
    std::string path;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\Missing"), 2},
      {Windows("\\NoDir\\Missing"), 3},
      {Windows("\\Dir\\Plain.txt"), 267},
      {"", 3},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(plat::SetCurrentDirectoryA(c.path.c_str()), plat::FALSE) << c.path;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.path;
    EXPECT_EQ(fs::current_path(), fs::path(m_dir.path())) << c.path;
  }
}

TEST_F(FileTest, GetCurrentDirectoryFailsWhenTheDirectoryWasRemoved) {
  CurrentDirectoryGuard guard;
  fs::create_directories(m_dir / "Gone");
  fs::current_path(m_dir / "Gone");
  fs::remove(m_dir / "Gone");
  char buffer[512] = "untouched";
  plat::SetLastError(0);
  EXPECT_EQ(plat::GetCurrentDirectoryA(sizeof buffer, buffer), 0u);
  EXPECT_EQ(plat::GetLastError(), 2u);
  EXPECT_STREQ(buffer, "untouched");
}

// Sets the access (`which` "a") or modification ("m") time of a host file to Unix time `seconds`.
void SetFileTimeOf(const std::string& path, const char* which, const char* seconds) {
  std::string command = std::string("touch -") + which + " -d @" + seconds + " '" + path + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

uint64_t TicksOf(const plat::FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

size_t OpenDescriptorCount() {
  auto entries = fs::directory_iterator("/proc/self/fd");
  return static_cast<size_t>(std::distance(fs::begin(entries), fs::end(entries)));
}

TEST_F(FileTest, DeleteFileRemovesFilesOnlyAndKeepsReadOnlyOnes) {
  fs::create_symlink(m_dir / "Dir/ReadOnly.txt", m_dir / "Dir/Link.txt");
  struct Case {
    const char* path;
    plat::BOOL result;
    plat::DWORD error;
  } cases[] = {
      {"\\DIR\\plain.TXT", plat::TRUE, 0},     {"\\Dir\\Plain.txt", plat::FALSE, 2},
      {"\\NoDir\\Plain.txt", plat::FALSE, 3},  {"\\Dir", plat::FALSE, 5},
      {"\\Dir\\ReadOnly.txt", plat::FALSE, 5}, {"\\Dir\\link.txt", plat::TRUE, 0},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(plat::DeleteFileA(Windows(c.path).c_str()), c.result) << c.path;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.path;
  }
  EXPECT_FALSE(fs::exists(m_dir / "Dir/Plain.txt"));
  EXPECT_FALSE(fs::is_symlink(m_dir / "Dir/Link.txt"));
  EXPECT_EQ(testsupport::ReadFile(m_dir / "Dir/ReadOnly.txt"), "read only");
  EXPECT_TRUE(fs::is_directory(m_dir / "Dir"));
}

TEST_F(FileTest, DeleteFileRefusesAFileThatAStreamOrAReadOpenHolds) {
  const std::string path = Windows("\\Dir\\Plain.txt");
  for (const char* mode : {"r", "a", "wb"}) {
    FILE* stream = plat::OpenFileStream(path.c_str(), mode);
    ASSERT_NE(stream, nullptr) << mode;
    plat::SetLastError(0);
    EXPECT_EQ(plat::DeleteFileA(path.c_str()), plat::FALSE) << mode;
    EXPECT_EQ(plat::GetLastError(), 32u) << mode;
    std::fclose(stream);
    EXPECT_TRUE(fs::exists(m_dir / "Dir/Plain.txt")) << mode;
  }
  plat::HANDLE shared =
      plat::CreateFileA(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE,
                        nullptr, plat::OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(shared, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::DeleteFileA(path.c_str()), plat::FALSE);
  EXPECT_EQ(plat::GetLastError(), 32u);
  plat::CloseHandle(shared);

  plat::HANDLE attributes = plat::CreateFileA(path.c_str(), 0, 0, nullptr, plat::OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(attributes, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::DeleteFileA(path.c_str()), plat::TRUE);
  EXPECT_FALSE(fs::exists(m_dir / "Dir/Plain.txt"));
  plat::CloseHandle(attributes);
}

// The names a search finds, in the order it gives them; the search is closed.
std::vector<std::string> FoundNames(const std::string& pattern) {
  std::vector<std::string> names;
  plat::WIN32_FIND_DATAA data;
  plat::HANDLE search = plat::FindFirstFileA(pattern.c_str(), &data);
  if (search == plat::INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
  } while (plat::FindNextFileA(search, &data));
  EXPECT_EQ(plat::GetLastError(), 18u) << pattern;
  EXPECT_EQ(plat::FindClose(search), plat::TRUE) << pattern;
  return names;
}

class FindFileTest : public FileTest {
 protected:
  void SetUp() override {
    fs::create_directories(m_dir / "Logs/VELCORAX.LOG");
    for (const char* name : {"VELCORA0.LOG", "velcora1.log", "Velcora10.Log", "VELCORA2.LOG", "VELCORA.INI",
                             "VELCORA", "other.log"})
      WriteFile(m_dir / ("Logs/" + std::string(name)), "12345");
  }
};

TEST_F(FindFileTest, FindsTheMatchingNamesWithoutRegardToCaseInUpperCaseOrder) {
  using Names = std::vector<std::string>;
  struct Case {
    const char* pattern;
    Names names;
  } cases[] = {
      {"VELCORA*.LOG", {"VELCORA0.LOG", "velcora1.log", "Velcora10.Log", "VELCORA2.LOG", "VELCORAX.LOG"}},
      {"*.log",
       {"other.log", "VELCORA0.LOG", "velcora1.log", "Velcora10.Log", "VELCORA2.LOG", "VELCORAX.LOG"}},
      {"velcora?.log", {"VELCORA0.LOG", "velcora1.log", "VELCORA2.LOG", "VELCORAX.LOG"}},
      {"*",
       {"other.log", "VELCORA", "VELCORA.INI", "VELCORA0.LOG", "velcora1.log", "Velcora10.Log",
        "VELCORA2.LOG", "VELCORAX.LOG"}},
      {"*.*",
       {"other.log", "VELCORA", "VELCORA.INI", "VELCORA0.LOG", "velcora1.log", "Velcora10.Log",
        "VELCORA2.LOG", "VELCORAX.LOG"}},
      {"VELCORA.*", {"VELCORA", "VELCORA.INI"}},
      {"v*1*", {"velcora1.log", "Velcora10.Log"}},
      {"*a", {"VELCORA"}},
      {"velcora10.LOG", {"Velcora10.Log"}},
  };
  for (const Case& c : cases) EXPECT_EQ(FoundNames(Windows("\\LOGS\\") + c.pattern), c.names) << c.pattern;

  CurrentDirectoryGuard guard;
  fs::current_path(m_dir.path());
  EXPECT_EQ(FoundNames("logs\\*.ini"), Names{"VELCORA.INI"});
}

TEST_F(FindFileTest, GivesTheAttributesSizeAndTimesOfEachEntry) {
  SetFileTimeOf(m_dir / "Logs/VELCORA0.LOG", "a", "1600000000.25");
  SetFileTimeOf(m_dir / "Logs/VELCORA0.LOG", "m", "1500000000.5");
  plat::WIN32_FIND_DATAA data;
  std::memset(&data, 0x5A, sizeof data);
  plat::HANDLE search = plat::FindFirstFileA(Windows("\\Logs\\VELCORA?.LOG").c_str(), &data);
  ASSERT_NE(search, plat::INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "VELCORA0.LOG");
  EXPECT_STREQ(data.cAlternateFileName, "");
  EXPECT_EQ(data.dwFileAttributes, 0x80u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(TicksOf(data.ftLastAccessTime), 132444736002500000u);
  EXPECT_EQ(TicksOf(data.ftLastWriteTime), 131444736005000000u);

  ASSERT_EQ(plat::FindNextFileA(search, &data), plat::TRUE);
  ASSERT_EQ(plat::FindNextFileA(search, &data), plat::TRUE);
  ASSERT_EQ(plat::FindNextFileA(search, &data), plat::TRUE);
  EXPECT_STREQ(data.cFileName, "VELCORAX.LOG");
  EXPECT_EQ(data.dwFileAttributes, 0x10u);
  EXPECT_EQ(plat::FindClose(search), plat::TRUE);
}

TEST_F(FindFileTest, FailsForNoMatchAMissingDirectoryAndHandlesThatAreNoSearch) {
  struct Case {
    std::string pattern;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\Logs\\*.TXT"), 2},
      {Windows("\\Logs\\"), 2},
      {Windows("\\NoDir\\*.LOG"), 3},
      {Windows("\\Logs\\other.log\\*"), 3},
  };
  for (const Case& c : cases) {
    plat::WIN32_FIND_DATAA data;
    plat::SetLastError(0);
    EXPECT_EQ(plat::FindFirstFileA(c.pattern.c_str(), &data), plat::INVALID_HANDLE_VALUE) << c.pattern;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.pattern;
  }

  plat::WIN32_FIND_DATAA data;
  plat::HANDLE search = plat::FindFirstFileA(Windows("\\Logs\\*.INI").c_str(), &data);
  ASSERT_NE(search, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::FindNextFileA(search, &data), plat::FALSE);
  EXPECT_EQ(plat::GetLastError(), 18u);
  EXPECT_EQ(plat::FindClose(search), plat::TRUE);
  EXPECT_EQ(plat::FindNextFileA(search, &data), plat::FALSE);
  EXPECT_EQ(plat::GetLastError(), 6u);
  EXPECT_EQ(plat::FindClose(search), plat::FALSE);
  EXPECT_EQ(plat::GetLastError(), 6u);

  plat::HANDLE file =
      plat::CreateFileA(Windows("\\Logs\\VELCORA").c_str(), 0, 0, nullptr, plat::OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::FindClose(file), plat::FALSE);
  EXPECT_EQ(plat::GetLastError(), 6u);
  EXPECT_EQ(plat::CloseHandle(file), plat::TRUE);
}

TEST_F(FileTest, GetFileTimeGivesTheTimesOfAnOpenFile) {
  SetFileTimeOf(m_dir / "Dir/ReadOnly.txt", "a", "1600000000.25");
  SetFileTimeOf(m_dir / "Dir/ReadOnly.txt", "m", "1500000000.5");
  const uint64_t now =
      116444736000000000u + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                      std::chrono::system_clock::now().time_since_epoch())
                                                      .count()) *
                                10;
  for (plat::DWORD access : {0u, plat::GENERIC_READ}) {
    plat::HANDLE file = plat::CreateFileA(Windows("\\dir\\READONLY.TXT").c_str(), access, 0, nullptr,
                                          plat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, plat::INVALID_HANDLE_VALUE) << access;
    plat::FILETIME creation = {}, lastAccess = {}, lastWrite = {};
    ASSERT_EQ(plat::GetFileTime(file, &creation, &lastAccess, &lastWrite), plat::TRUE) << access;
    EXPECT_EQ(TicksOf(lastAccess), 132444736002500000u) << access;
    EXPECT_EQ(TicksOf(lastWrite), 131444736005000000u) << access;
    // The birth time (the file was made moments ago) where the file system keeps one, else the last write.
    const uint64_t created = TicksOf(creation);
    const uint64_t minute = 600000000;
    EXPECT_TRUE(created == TicksOf(lastWrite) || (created > now - minute && created < now + minute))
        << created;
    plat::FILETIME onlyAccess = {};
    EXPECT_EQ(plat::GetFileTime(file, nullptr, &onlyAccess, nullptr), plat::TRUE);
    EXPECT_EQ(TicksOf(onlyAccess), 132444736002500000u);
    EXPECT_EQ(plat::CloseHandle(file), plat::TRUE);
    EXPECT_EQ(plat::GetFileTime(file, &creation, &lastAccess, &lastWrite), plat::FALSE);
    EXPECT_EQ(plat::GetLastError(), 6u);
  }
}

TEST_F(FileTest, CreateFileOpensExistingFilesForAttributesOrReadingOnly) {
  struct Case {
    std::string path;
    plat::DWORD access;
    plat::DWORD disposition;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\Dir\\Missing.txt"), 0, plat::OPEN_EXISTING, 2},
      {Windows("\\NoDir\\Missing.txt"), plat::GENERIC_READ, plat::OPEN_EXISTING, 3},
      {Windows("\\Dir"), 0, plat::OPEN_EXISTING, 5},
      {"", 0, plat::OPEN_EXISTING, 3},
      {Windows("\\Dir\\Plain.txt"), 0, 2, 87},
      {Windows("\\Dir\\Plain.txt"), 0x40000000, plat::OPEN_EXISTING, 87},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(plat::CreateFileA(c.path.c_str(), c.access, 0, nullptr, c.disposition, 0, nullptr),
              plat::INVALID_HANDLE_VALUE)
        << c.path;
    EXPECT_EQ(plat::GetLastError(), c.error) << c.path;
  }
  EXPECT_EQ(testsupport::ReadFile(m_dir / "Dir/Plain.txt"), "plain");
}

TEST_F(FileTest, ClosingAFileHandleClosesItsDescriptor) {
  for (plat::DWORD access : {0u, plat::GENERIC_READ}) {
    const size_t before = OpenDescriptorCount();
    plat::HANDLE file = plat::CreateFileA(Windows("\\Dir\\Plain.txt").c_str(), access, 0, nullptr,
                                          plat::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenDescriptorCount(), before + 1) << access;
    EXPECT_EQ(plat::CloseHandle(file), plat::TRUE);
    EXPECT_EQ(OpenDescriptorCount(), before) << access;
    EXPECT_EQ(plat::CloseHandle(file), plat::FALSE);
    EXPECT_EQ(plat::GetLastError(), 6u);
  }
}

TEST_F(FileTest, AnUnsharedReadOpenKeepsOthersOutUntilItIsClosed) {
  const std::string path = Windows("\\Dir\\Plain.txt");
  auto open = [&](plat::DWORD access, plat::DWORD share) {
    return plat::CreateFileA(path.c_str(), access, share, nullptr, plat::OPEN_EXISTING, 0, nullptr);
  };
  FILE* stream = plat::OpenFileStream(path.c_str(), "a");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(open(plat::GENERIC_READ, 0), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::GetLastError(), 32u);
  for (plat::DWORD share : {0u, plat::FILE_SHARE_READ | plat::FILE_SHARE_WRITE}) {
    plat::HANDLE file = open(share == 0 ? 0 : plat::GENERIC_READ, share);
    EXPECT_NE(file, plat::INVALID_HANDLE_VALUE) << share;
    plat::CloseHandle(file);
  }
  std::fclose(stream);

  plat::HANDLE exclusive = open(plat::GENERIC_READ, 0);
  ASSERT_NE(exclusive, plat::INVALID_HANDLE_VALUE);
  errno = 0;
  EXPECT_EQ(plat::OpenFileStream(path.c_str(), "r"), nullptr);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(plat::OpenFileStream(path.c_str(), "w"), nullptr);
  EXPECT_EQ(testsupport::ReadFile(m_dir / "Dir/Plain.txt"), "plain") << "a refused open truncates nothing";
  EXPECT_EQ(open(plat::GENERIC_READ, plat::FILE_SHARE_READ), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::GetLastError(), 32u);
  plat::HANDLE attributes = open(0, 0);
  EXPECT_NE(attributes, plat::INVALID_HANDLE_VALUE);
  plat::CloseHandle(attributes);
  plat::CloseHandle(exclusive);

  stream = plat::OpenFileStream(path.c_str(), "r");
  EXPECT_NE(stream, nullptr);
  if (stream != nullptr) std::fclose(stream);
}

TEST_F(FileTest, CreateDirectoryMakesOneLevel) {
  struct Case {
    std::string path;
    plat::BOOL result;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\Made"), plat::TRUE, 0},
      {Windows("\\made"), plat::FALSE, 183},  // the name exists, in another case
      {Windows("\\No\\Deeper"), plat::FALSE, 3},
      {"", plat::FALSE, 3},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(c.result, plat::CreateDirectoryA(c.path.c_str(), nullptr)) << c.path;
    EXPECT_EQ(c.error, plat::GetLastError()) << c.path;
  }
  EXPECT_TRUE(fs::is_directory(m_dir / "Made"));
}

TEST_F(FileTest, CopyFileCopiesTheContentAndHonoursFailIfExists) {
  WriteFile(m_dir / "Dir/Old.txt", "old");
  struct Case {
    std::string from;
    std::string to;
    plat::BOOL failIfExists;
    plat::BOOL result;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\dir\\PLAIN.txt"), Windows("\\Dir\\New.txt"), plat::TRUE, plat::TRUE, 0},
      {Windows("\\Dir\\Plain.txt"), Windows("\\Dir\\Old.txt"), plat::TRUE, plat::FALSE, 80},
      {Windows("\\Dir\\Plain.txt"), Windows("\\Dir\\Old.txt"), plat::FALSE, plat::TRUE, 0},
      {Windows("\\Dir\\Plain.txt"), Windows("\\Dir\\ReadOnly.txt"), plat::FALSE, plat::FALSE, 5},
      {Windows("\\Dir\\Plain.txt"), Windows("\\Dir"), plat::FALSE, plat::FALSE, 5},
      {Windows("\\Dir"), Windows("\\Dir\\D.txt"), plat::FALSE, plat::FALSE, 5},
      {Windows("\\Dir\\Missing.txt"), Windows("\\Dir\\M.txt"), plat::FALSE, plat::FALSE, 2},
      {Windows("\\Gone\\Missing.txt"), Windows("\\Dir\\M.txt"), plat::FALSE, plat::FALSE, 3},
      {Windows("\\Dir\\Plain.txt"), Windows("\\Gone\\P.txt"), plat::FALSE, plat::FALSE, 3},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(c.result, plat::CopyFileA(c.from.c_str(), c.to.c_str(), c.failIfExists))
        << c.from << " " << c.to;
    EXPECT_EQ(c.error, plat::GetLastError()) << c.from << " " << c.to;
  }
  EXPECT_EQ("plain", testsupport::ReadFile(m_dir / "Dir/New.txt"));
  EXPECT_EQ("plain", testsupport::ReadFile(m_dir / "Dir/Old.txt"));
  EXPECT_EQ("read only", testsupport::ReadFile(m_dir / "Dir/ReadOnly.txt"));
  EXPECT_FALSE(fs::exists(m_dir / "Dir/M.txt"));
  // Only the two copies are new: no temporary file is left beside them.
  EXPECT_EQ(4, std::distance(fs::directory_iterator(m_dir / "Dir"), fs::directory_iterator()));
}

TEST_F(FileTest, CopyFileRefusesASourceHeldWithoutSharing) {
  std::string source = Windows("\\Dir\\Plain.txt");
  plat::HANDLE exclusive =
      plat::CreateFileA(source.c_str(), plat::GENERIC_READ, 0, nullptr, plat::OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, plat::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(plat::CopyFileA(source.c_str(), Windows("\\Dir\\Copy.txt").c_str(), plat::FALSE));
  EXPECT_EQ(32u, plat::GetLastError());
  plat::CloseHandle(exclusive);
  EXPECT_TRUE(plat::CopyFileA(source.c_str(), Windows("\\Dir\\Copy.txt").c_str(), plat::FALSE));
}

TEST_F(FileTest, RemoveDirectoryRemovesEmptyDirectoriesAndLinksOnly) {
  fs::create_directories(m_dir / "Empty");
  fs::create_directories(m_dir / "Target/Inner");
  fs::create_directory_symlink(m_dir / "Target", m_dir / "Link");
  struct Case {
    std::string path;
    plat::BOOL result;
    plat::DWORD error;
  } cases[] = {
      {Windows("\\empty"), plat::TRUE, 0},
      {Windows("\\Empty"), plat::FALSE, 2},
      {Windows("\\Gone\\Empty"), plat::FALSE, 3},
      {Windows("\\Dir"), plat::FALSE, 145},
      {Windows("\\Dir\\Plain.txt"), plat::FALSE, 267},
      {Windows("\\Link"), plat::TRUE, 0},
      {"", plat::FALSE, 3},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(c.result, plat::RemoveDirectoryA(c.path.c_str())) << c.path;
    EXPECT_EQ(c.error, plat::GetLastError()) << c.path;
  }
  EXPECT_FALSE(fs::exists(m_dir / "Empty"));
  EXPECT_FALSE(fs::is_symlink(m_dir / "Link"));
  EXPECT_TRUE(fs::is_directory(m_dir / "Target/Inner"));
  EXPECT_TRUE(fs::exists(m_dir / "Dir/Plain.txt"));
}

TEST_F(FileTest, ASearchMarksSymbolicLinks) {
  fs::create_directory_symlink(m_dir / "Dir", m_dir / "Dir/DirLink");
  fs::create_symlink(m_dir / "Dir/Plain.txt", m_dir / "Dir/FileLink");
  plat::WIN32_FIND_DATAA data;
  plat::HANDLE search = plat::FindFirstFileA(Windows("\\Dir\\*.*").c_str(), &data);
  ASSERT_NE(search, plat::INVALID_HANDLE_VALUE);
  std::vector<std::pair<std::string, plat::DWORD>> found;
  do found.emplace_back(data.cFileName, data.dwFileAttributes);
  while (plat::FindNextFileA(search, &data));
  plat::FindClose(search);
  std::vector<std::pair<std::string, plat::DWORD>> expected = {
      {"DirLink", 0x410}, {"FileLink", 0x480}, {"Plain.txt", 0x80}, {"ReadOnly.txt", 0x01}};
  EXPECT_EQ(expected, found);
}

}  // namespace
