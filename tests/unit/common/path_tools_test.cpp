// Tests of the path, file, folder and shortcut tools.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "ToolFunktion.h"
#include "plat/module.h"
#include "plat/shortcut.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::WindowsForm;

TEST(PathTools, RemoveBackslashAndSemaphoreName) {
  char path[32] = "C:\\a\\";
  TOOLFUNC_file::RemoveBackslash(path);
  EXPECT_STREQ("C:\\a", path);
  TOOLFUNC_file::RemoveBackslash(path);
  EXPECT_STREQ("C:\\a", path);
  TOOLFUNC_file::RemoveBackslash(nullptr);
  EXPECT_STREQ("D:\\X\\PROG.SEM", TOOLFUNC_file::GetSemaphoreFileName("D:\\X\\PROG.EXE"));
}

class PathToolsTest : public ::testing::Test {
 protected:
  std::string Windows(const std::string& relative) const { return WindowsForm(m_dir.path()) + relative; }
  testsupport::TempDir m_dir;
};

TEST_F(PathToolsTest, FileExistsGivesTheSizeAndZeroForMissingAndEmptyFiles) {
  testsupport::WriteFile(m_dir / "Empty.txt", "");
  testsupport::WriteFile(m_dir / "Five.txt", "12345");
  EXPECT_EQ(0u, TOOLFUNC_file::FileExists(Windows("\\Missing.txt").c_str()));
  EXPECT_EQ(0u, TOOLFUNC_file::FileExists(Windows("\\Empty.txt").c_str()));
  EXPECT_EQ(5u, TOOLFUNC_file::FileExists(Windows("\\five.*").c_str()));
}

TEST_F(PathToolsTest, CreateAndRemoveDirectoryTrees) {
  char path[260];
  std::strcpy(path, Windows("\\A\\B\\E\\").c_str());
  EXPECT_EQ(1, TOOLFUNC_file::CreateDirectoryTree(path));
  EXPECT_TRUE(fs::is_directory(m_dir / "A/B/E"));
  EXPECT_EQ(1, TOOLFUNC_file::DirectoryExists(Windows("\\A\\B").c_str()));
  char shortPath[] = "C:\\";
  EXPECT_EQ(1, TOOLFUNC_file::CreateDirectoryTree(shortPath));
  testsupport::WriteFile(m_dir / "A/keep.txt", "x");
  TOOLFUNC_file::RemoveDirectoryTree(Windows("\\A\\B\\E").c_str());
  EXPECT_FALSE(fs::exists(m_dir / "A/B"));
  EXPECT_TRUE(fs::exists(m_dir / "A/keep.txt"));
}

TEST_F(PathToolsTest, DeleteDirectoryContentsNeverFollowsLinks) {
  fs::create_directories(m_dir / "Outside/Deep");
  testsupport::WriteFile(m_dir / "Outside/Deep/f.txt", "x");
  fs::create_directories(m_dir / "T/Sub");
  testsupport::WriteFile(m_dir / "T/Sub/g.txt", "x");
  fs::create_directory_symlink(m_dir / "Outside", m_dir / "T/Link");
  EXPECT_TRUE(TOOLFUNC_file::DeleteDirectoryContents(Windows("\\T").c_str()));
  EXPECT_FALSE(fs::exists(m_dir / "T"));
  EXPECT_TRUE(fs::exists(m_dir / "Outside/Deep/f.txt"));
}

TEST_F(PathToolsTest, ShortcutsAreWrittenOnceAndDeleted) {
  testsupport::ScopedMachine machine;
  plat::HKEY key = nullptr;
  ASSERT_EQ(0, plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER,
                                     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                     0, nullptr, 0, plat::KEY_ALL_ACCESS, nullptr, &key, nullptr));
  std::string startup = Windows("");
  plat::RegSetValueExA(key, "Startup", 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(startup.c_str()),
                       static_cast<plat::DWORD>(startup.size() + 1));
  plat::RegCloseKey(key);
  EXPECT_EQ(startup, TOOLFUNC_file::GetStartupFolder());
  EXPECT_EQ(0, TOOLFUNC_file::CreateStartupShortcut("C:\\P.EXE", "Run", "-a"));
  EXPECT_EQ(0, TOOLFUNC_file::CreateStartupShortcut("C:\\Other.EXE", "Run", nullptr));
  plat::ShortcutContents contents;
  ASSERT_TRUE(plat::ReadShortcut(Windows("\\Run.LNK").c_str(), &contents));
  EXPECT_EQ("C:\\P.EXE", contents.target);
  EXPECT_EQ("-a", contents.arguments);
  EXPECT_TRUE(TOOLFUNC_file::DeleteStartupShortcut("Run"));
  EXPECT_FALSE(fs::exists(m_dir / "Run.LNK"));
}

}  // namespace
