// Tests of the path, file, folder and shortcut tools.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/profile.h"
#include "plat/registry.h"
#include "plat/shortcut.h"
#include "plat/testing/com.h"
#include "plat/testing/module.h"
#include "plat/testing/shell_folder.h"
#include "plat/testing/system_info.h"
#include "plat/testing/window.h"
#include "plat/window.h"
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

TEST_F(PathToolsTest, DeleteDirectoryContentsLeavesWhatItsPathsCannotHold) {
  struct Case {
    const char* name;
    size_t length;  // of the directory's Windows form
    std::vector<std::string> files;
    std::vector<std::string> remaining;  // of the files; the directory goes when none remains
  } const cases[] = {
      {"every path fits", 250, {"f", "s/g"}, {}},
      {"a search pattern of exactly 258 characters", 254, {"f"}, {}},
      {"a file whose path does not fit is left", 250, {"f", "long-name.txt"}, {"long-name.txt"}},
      {"a subdirectory that cannot be searched is left", 250, {"f", "sub12/g"}, {"sub12/g"}},
      {"no room for the search pattern", 255, {"f"}, {"f"}},
      {"257", 257, {"f"}, {"f"}},
      {"258", 258, {"f"}, {"f"}},
      {"259", 259, {"f"}, {"f"}},
      {"300", 300, {"f"}, {"f"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir base;
    const std::string directory = testsupport::DirectoryOfWindowsLength(base.path(), c.length);
    for (const std::string& file : c.files) {
      fs::create_directories(fs::path(directory + "/" + file).parent_path());
      testsupport::WriteFile(directory + "/" + file, "x");
    }
    plat::SetLastError(0);
    const plat::BOOL result = TOOLFUNC_file::DeleteDirectoryContents(WindowsForm(directory).c_str());
    EXPECT_EQ(c.remaining.empty(), result != plat::FALSE);
    if (!c.remaining.empty()) {
      EXPECT_EQ(plat::ERROR_FILENAME_EXCED_RANGE, plat::GetLastError());
    }
    for (const std::string& file : c.files) {
      const bool remains = std::find(c.remaining.begin(), c.remaining.end(), file) != c.remaining.end();
      EXPECT_EQ(remains, fs::exists(directory + "/" + file)) << file;
    }
    EXPECT_EQ(!c.remaining.empty(), fs::exists(directory));
  }
}

TEST_F(PathToolsTest, RemoveDirectoryTreeLeavesAPathItsBufferCannotHold) {
  testsupport::WriteFile(m_dir / "keep", "the walk up ends here");
  for (size_t length : {257, 258, 259, 300}) {
    SCOPED_TRACE(length);
    const std::string directory = testsupport::DirectoryOfWindowsLength(m_dir.path(), length);
    plat::SetLastError(0);
    TOOLFUNC_file::RemoveDirectoryTree(WindowsForm(directory).c_str());
    const bool fits = length <= 258;
    EXPECT_EQ(!fits, fs::exists(directory));
    EXPECT_EQ(!fits, fs::exists(fs::path(directory).parent_path())) << "the parents go with it";
    if (!fits) {
      EXPECT_EQ(plat::ERROR_FILENAME_EXCED_RANGE, plat::GetLastError());
    }
    fs::remove_all(m_dir / *fs::relative(directory, m_dir.path()).begin());
  }
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

// A program in a temporary directory of its own, on a machine of its own with the given Shell Folders.
class ProgramFilesTest : public PathToolsTest {
 protected:
  ProgramFilesTest() {
    plat::SetProgramFileNameForTesting(Windows("\\PROG.EXE").c_str());
    fs::create_directories(plat::WindowsDirectoryHost());
    fs::create_directories(plat::SystemDirectoryHost());
  }
  ~ProgramFilesTest() override { plat::SetProgramFileNameForTesting(nullptr); }
  void SetShellFolder(const char* name, const std::string& folder) {
    plat::HKEY key = nullptr;
    ASSERT_EQ(
        0, plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                                 nullptr, 0, plat::KEY_ALL_ACCESS, nullptr, &key, nullptr));
    plat::RegSetValueExA(key, name, 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(folder.c_str()),
                         static_cast<plat::DWORD>(folder.size() + 1));
    plat::RegCloseKey(key);
  }
  static std::string InWindows(const std::string& relative) {
    return plat::WindowsDirectoryHost() + "/" + relative;
  }
  static std::string InSystem(const std::string& relative) {
    return plat::SystemDirectoryHost() + "/" + relative;
  }
  testsupport::ScopedMachine m_machine;
};

TEST_F(ProgramFilesTest, FindIniFileTakesTheProgramDirectoryThenWindowsThenAppData) {
  SetShellFolder("AppData", Windows("\\Roaming"));
  EXPECT_EQ(Windows("\\Roaming\\VELCORA.INI"), TOOLFUNC_file::FindIniFile("VELCORA.INI"))
      << "neither file exists: the AppData path without a test";
  EXPECT_FALSE(fs::exists(m_dir / "Roaming/VELCORA.INI"));

  testsupport::WriteFile(InWindows("VELCORA.INI"), "");
  char windows[260];
  plat::GetWindowsDirectoryA(windows, sizeof(windows));
  EXPECT_EQ(std::string(windows) + "\\VELCORA.INI", TOOLFUNC_file::FindIniFile("VELCORA.INI"));

  testsupport::WriteFile(m_dir / "VELCORA.INI", "[Port]\r\nNumber=4711\r\n");
  char* found = TOOLFUNC_file::FindIniFile("VELCORA.INI");
  EXPECT_EQ(Windows("\\VELCORA.INI"), found) << "beside the program first";
  char entry[16] = "";
  plat::GetPrivateProfileStringA("Test", "Test", "", entry, sizeof(entry), found);
  EXPECT_STREQ("Test", entry) << "the test leaves its entry behind";
  plat::GetPrivateProfileStringA("Port", "Number", "", entry, sizeof(entry), found);
  EXPECT_STREQ("4711", entry);
}

TEST_F(ProgramFilesTest, FindIniFileNeverTakesTheDirectoryOfACutProgramPath) {
  // Cut to its buffer, the program's path would end inside the name of its directory, whose parent
  // holds a settings file of its own.
  const std::string above = testsupport::DirectoryOfWindowsLength(m_dir.path(), 240);
  const std::string program = WindowsForm(above) + "\\" + std::string(30, 'p') + "\\PROG.EXE";
  plat::SetProgramFileNameForTesting(program.c_str());
  testsupport::WriteFile(above + "/VELCORA.INI", "");
  testsupport::WriteFile(InWindows("VELCORA.INI"), "");
  EXPECT_EQ(WindowsForm(InWindows("VELCORA.INI")), TOOLFUNC_file::FindIniFile("VELCORA.INI"));
}

TEST_F(ProgramFilesTest, CopyAndDeleteProgramFilesReportEveryFailedStep) {
  testsupport::WriteFile(m_dir / "VELCORA.EXE", "program");
  testsupport::WriteFile(m_dir / "VELCORA.CPL", "applet");
  testsupport::WriteFile(m_dir / "VELCORA.HLP", "help");
  fs::create_directories(InWindows("help"));
  EXPECT_TRUE(TOOLFUNC_file::CopyProgramFiles("VELCORA.EXE", "VELCORA.CPL", "VELCORA.HLP"));
  EXPECT_EQ("program", testsupport::ReadFile(InSystem("VELCORA.EXE")));
  EXPECT_EQ("applet", testsupport::ReadFile(InSystem("VELCORA.CPL")));
  EXPECT_EQ("help", testsupport::ReadFile(InWindows("help/VELCORA.HLP")));

  EXPECT_FALSE(TOOLFUNC_file::CopyProgramFiles("VELCORA.EXE", "MISSING.CPL", nullptr))
      << "the missing first copy counts although the last one worked";
  EXPECT_TRUE(TOOLFUNC_file::DeleteProgramFiles("VELCORA.EXE", "VELCORA.CPL", "VELCORA.HLP"));
  EXPECT_FALSE(fs::exists(InSystem("VELCORA.EXE")));
  EXPECT_FALSE(fs::exists(InSystem("VELCORA.CPL")));
  EXPECT_FALSE(fs::exists(InWindows("help/VELCORA.HLP")));
  EXPECT_FALSE(TOOLFUNC_file::DeleteProgramFiles(nullptr, nullptr, "VELCORA.HLP"))
      << "nothing left to delete";
  EXPECT_TRUE(fs::exists(m_dir / "VELCORA.EXE")) << "the sources stay";
}

TEST_F(ProgramFilesTest, ProgramFilesGoOnlyWhereTheirWholePathFits) {
  testsupport::WriteFile(m_dir / "VELCORA.EXE", "program");
  testsupport::TempDir caller;
  testsupport::WriteFile(caller / "VELCORA.EXE", "decoy");
  testsupport::ScopedCurrentDirectory inCaller(caller.path());
  // "\VELCORA.EXE" takes 12 of a path's 258 characters.
  for (size_t length : {246, 247, 258, 259, 300}) {
    SCOPED_TRACE(length);
    testsupport::ScopedMachine machine(length);
    fs::create_directories(InWindows("help"));
    const bool fits = length <= 246;
    EXPECT_EQ(fits, TOOLFUNC_file::CopyProgramFiles("VELCORA.EXE", nullptr, nullptr) != plat::FALSE);
    EXPECT_EQ(fits, fs::exists(InSystem("VELCORA.EXE")));
    testsupport::WriteFile(InSystem("VELCORA.EXE"), "installed");
    EXPECT_EQ(fits, TOOLFUNC_file::DeleteProgramFiles("VELCORA.EXE", nullptr, nullptr) != plat::FALSE);
    EXPECT_EQ(!fits, fs::exists(InSystem("VELCORA.EXE")));
    if (!fits) {
      EXPECT_EQ(plat::ERROR_FILENAME_EXCED_RANGE, plat::GetLastError());
    }
    EXPECT_EQ("decoy", testsupport::ReadFile(caller / "VELCORA.EXE")) << "never the bare name";
  }
}

TEST_F(ProgramFilesTest, CopyProgramFilesFromTheSystemDirectoryCopiesNothing) {
  char system[260];
  plat::GetSystemDirectoryA(system, sizeof(system));
  plat::SetProgramFileNameForTesting((std::string(system) + "\\VELCORA.EXE").c_str());
  testsupport::WriteFile(InSystem("VELCORA.EXE"), "program");
  EXPECT_TRUE(TOOLFUNC_file::CopyProgramFiles("VELCORA.EXE", nullptr, "VELCORA.HLP"));
  EXPECT_FALSE(fs::exists(InWindows("help/VELCORA.HLP")));
  EXPECT_TRUE(TOOLFUNC_file::DeleteProgramFiles("VELCORA.EXE", nullptr, nullptr));
  EXPECT_TRUE(fs::exists(InSystem("VELCORA.EXE"))) << "a program never deletes itself";
}

TEST_F(PathToolsTest, FileWriteTimeIsTheFileTimeOfTheLastWrite) {
  testsupport::WriteFile(m_dir / "stamp.txt", "x");
  // 2026-12-10 12:00:00 UTC and half a second.
  struct timeval times[2] = {{1796990400, 500000}, {1796990400, 500000}};
  ASSERT_EQ(0, utimes((m_dir / "stamp.txt").c_str(), times));
  const uint64_t expected = (1796990400ull + 11644473600ull) * 10000000ull + 5000000ull;
  EXPECT_EQ(expected, TOOLFUNC_file::GetFileWriteTime(Windows("\\stamp.txt").c_str()));
  EXPECT_EQ(0u, TOOLFUNC_file::GetFileWriteTime(Windows("\\missing.txt").c_str()));
}

TEST_F(PathToolsTest, WindowTextGoesToAFileAndBackCutAt65535Bytes) {
  plat::HWND window = plat::CreateWindowForTesting(nullptr, 0);
  plat::SetWindowTextA(window, "Zeile 1\r\nZeile 2");
  TOOLFUNC_file::WindowTextToFile(window, Windows("\\text.txt").c_str());
  EXPECT_EQ("Zeile 1\r\nZeile 2", testsupport::ReadFile(m_dir / "text.txt")) << "without the terminator";
  plat::SetWindowTextA(window, "other");
  TOOLFUNC_file::FileToWindowText(window, Windows("\\text.txt").c_str());
  char text[32];
  plat::GetWindowTextA(window, text, sizeof(text));
  EXPECT_STREQ("Zeile 1\r\nZeile 2", text);

  testsupport::WriteFile(m_dir / "long.txt", std::string(70000, 'x'));
  TOOLFUNC_file::FileToWindowText(window, Windows("\\long.txt").c_str());
  std::string all(70001, '\0');
  EXPECT_EQ(65535, plat::GetWindowTextA(window, all.data(), static_cast<int>(all.size())));

  TOOLFUNC_file::FileToWindowText(window, Windows("\\missing.txt").c_str());
  EXPECT_EQ(0, plat::GetWindowTextA(window, text, sizeof(text))) << "emptied even when the file is missing";
  plat::SetWindowTextA(window, "kept");
  TOOLFUNC_file::WindowTextToFile(window, "");
  TOOLFUNC_file::FileToWindowText(window, "");
  EXPECT_EQ(0, plat::GetWindowTextA(window, text, sizeof(text)));
  plat::RemoveWindowForTesting(window);
}

// The only test of this program that asks for the names: the first call fills the buffer for good.
TEST(PathTools, UserAndComputerAreReadOnce) {
  plat::SetUserNameForTesting("anna");
  plat::SetComputerNameForTesting("PC-7");
  char* first = TOOLFUNC_file::GetUserAndComputer();
  EXPECT_STREQ("anna#PC-7", first);
  plat::SetUserNameForTesting("bert");
  EXPECT_EQ(first, TOOLFUNC_file::GetUserAndComputer());
  EXPECT_STREQ("anna#PC-7", first) << "the first result stays after the user name changed";
  plat::SetUserNameForTesting(std::nullopt);
  plat::SetComputerNameForTesting(std::nullopt);
}

TEST(PathTools, InitializeComChoosesTheCallByPlatformAndFlag) {
  struct Case {
    plat::DWORD platform;
    int flag;
    bool called;
    plat::ComFunction function;
    plat::DWORD flags;
  };
  const Case cases[] = {
      {0, 0, true, plat::ComFunction::CoInitialize, 0x2},
      {0, 1, true, plat::ComFunction::CoInitialize, 0x2},
      {1, 0, true, plat::ComFunction::CoInitialize, 0x2},
      {1, 1, true, plat::ComFunction::CoInitialize, 0x2},
      {2, 0, true, plat::ComFunction::CoInitialize, 0x2},
      {2, 1, true, plat::ComFunction::CoInitializeEx, 0x0},
      {3, 0, false, plat::ComFunction::CoInitialize, 0},
      {3, 1, false, plat::ComFunction::CoInitialize, 0},
  };
  plat::TakeComCalls();
  for (const Case& c : cases) {
    SCOPED_TRACE("platform " + std::to_string(c.platform) + ", flag " + std::to_string(c.flag));
    plat::SetSystemVersionForTesting(plat::SystemVersion{c.platform, 5, 1});
    TOOLFUNC_file::InitializeCom(c.flag);
    std::vector<plat::ComCall> calls = plat::TakeComCalls();
    ASSERT_EQ(c.called ? 1u : 0u, calls.size());
    if (!c.called) continue;
    EXPECT_EQ(c.function, calls[0].function);
    EXPECT_EQ(c.flags, calls[0].flags);
    EXPECT_EQ(0, calls[0].result);
    plat::CoUninitialize();
    plat::TakeComCalls();
  }
  plat::SetSystemVersionForTesting(std::nullopt);
}

// Folders to start at and to choose, and "the user" choosing in the dialog.
class BrowseForFolderTest : public PathToolsTest {
 protected:
  BrowseForFolderTest() {
    fs::create_directories(m_dir / "Start");
    fs::create_directories(m_dir / "Ziel");
  }
  ~BrowseForFolderTest() override { plat::SetFolderChoiceForTesting(nullptr); }
};

TEST_F(BrowseForFolderTest, TheDialogOpensAtTheStartFolderAndGivesTheChosenOne) {
  struct Case {
    const char* name;
    std::string start;
    std::optional<std::string> choice;
    int expected;
    std::string selection;  // where the dialog opened
  };
  // In this order: the empty start paths come after calls that had a start list and freed it.
  const Case cases[] = {
      {"chosen", Windows("\\Start"), Windows("\\Ziel"), 1, Windows("\\Start\\")},
      {"no start folder after one", "", Windows("\\Ziel"), 1, ""},
      {"cancelled", Windows("\\Start\\"), std::nullopt, 0, Windows("\\Start\\")},
      {"cancelled without start folder", "", std::nullopt, 0, ""},
      {"a start folder that does not exist", Windows("\\Fehlt"), Windows("\\Ziel"), 1, ""},
      {"a choice that is no folder", Windows("\\Start"), Windows("\\Fehlt"), 0, Windows("\\Start\\")},
  };
  const plat::LONG listsBefore = plat::ItemListsInUseForTesting();
  plat::HWND owner = plat::CreateWindowForTesting(nullptr, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<plat::FolderDialogView> views;
    plat::SetFolderChoiceForTesting([&](const plat::FolderDialogView& view) {
      views.push_back(view);
      return c.choice;
    });
    char path[260];
    std::strcpy(path, c.start.c_str());
    EXPECT_EQ(c.expected, TOOLFUNC_file::BrowseForFolder(owner, "Ordner", path));
    EXPECT_EQ(c.expected ? *c.choice : c.start, path);
    ASSERT_EQ(1u, views.size());
    EXPECT_EQ(c.selection, views[0].selection);
    EXPECT_EQ(owner, views[0].owner);
    EXPECT_EQ("Ordner", views[0].title);
    EXPECT_EQ(0x1001u, views[0].flags);
    EXPECT_EQ(path, views[0].displayName) << "the path buffer serves as the display name buffer";
    EXPECT_EQ(listsBefore, plat::ItemListsInUseForTesting()) << "both lists are freed";
  }
  plat::RemoveWindowForTesting(owner);
}

TEST_F(BrowseForFolderTest, PathToItemListGivesAListOnlyForAFolder) {
  plat::LPITEMIDLIST list = nullptr;
  ASSERT_EQ(1, TOOLFUNC_file::PathToItemList(Windows("\\Start").c_str(), &list));
  char path[260];
  ASSERT_TRUE(plat::SHGetPathFromIDListA(list, path));
  EXPECT_EQ(Windows("\\Start"), path);
  plat::IMalloc* allocator = nullptr;
  ASSERT_EQ(0, plat::SHGetMalloc(&allocator));
  allocator->Free(list);
  allocator->Release();
  int stale = 0;
  list = reinterpret_cast<plat::LPITEMIDLIST>(&stale);
  EXPECT_EQ(0, TOOLFUNC_file::PathToItemList(Windows("\\Fehlt").c_str(), &list));
  EXPECT_EQ(nullptr, list);
}

}  // namespace
