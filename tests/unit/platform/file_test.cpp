// Tests of the file area of the platform layer.
#include "plat/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "plat/error.h"
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

}  // namespace
