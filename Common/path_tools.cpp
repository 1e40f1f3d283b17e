// The path, file, folder and shortcut tools that the programs may use beside their start-up tools.
#include "path_tools.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "plat/bounded_text.h"
#include "plat/codepage.h"
#include "plat/com.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/module.h"
#include "plat/path.h"
#include "plat/profile.h"
#include "plat/registry.h"
#include "plat/shell_folder.h"
#include "plat/shortcut.h"
#include "plat/stream.h"
#include "plat/system_info.h"
#include "plat/window.h"
#include "string_tools.h"

namespace TOOLFUNC_file {
namespace {

constexpr size_t kWindowTextLimit = 65535;

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// AddBackslash within the buffer's capacity: a full buffer takes no more.
void AddBackslashWithin(char* path) {
  if (std::strlen(path) + 1 < kPathCapacity) AddBackslash(path);
}

// `folder`, a "\" if missing, and `name`.
void FolderAndName(char* destination, const char* folder, const char* name) {
  plat::BoundedCopy(destination, kPathCapacity, folder);
  AddBackslashWithin(destination);
  plat::BoundedAppend(destination, kPathCapacity, name);
}

bool ReadableAndWritable(const char* path) { return plat::_access(path, 4) == 0 && IsWritableIniFile(path); }

// A step whose path does not fit fails as a name that long fails on the system.
plat::BOOL PathTooLong() {
  plat::SetLastError(plat::ERROR_FILENAME_EXCED_RANGE);
  return plat::FALSE;
}

// A directory the layer reports, ending with "\"; false when it cannot be read or leaves no room for its
// "\" within 258 characters.
bool ReadDirectory(plat::UINT (*read)(plat::LPSTR, plat::UINT), char* directory) {
  const plat::UINT length = read(directory, kPathCapacity - 1);
  if (length == 0 || length >= kPathCapacity - 1) return false;
  AddBackslash(directory);
  return true;
}

// The attributes of the entry the path names itself, links marked; INVALID_FILE_ATTRIBUTES when missing.
plat::DWORD EntryAttributes(const char* path) {
  plat::WIN32_FIND_DATAA data;
  plat::HANDLE search = plat::FindFirstFileA(path, &data);
  if (search == plat::INVALID_HANDLE_VALUE) return plat::INVALID_FILE_ATTRIBUTES;
  plat::FindClose(search);
  return data.dwFileAttributes;
}

bool IsLink(const char* path) {
  plat::DWORD attributes = EntryAttributes(path);
  return attributes != plat::INVALID_FILE_ATTRIBUTES &&
         (attributes & plat::FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The program's directory, the system directory and the Windows directory, each ending with "\".
struct ProgramDirectories {
  char source[plat::MAX_PATH] = "";
  char system[plat::MAX_PATH] = "";
  char windows[plat::MAX_PATH] = "";
  bool runsFromSystem = false;
};

// False when one of the three is missing or too long: files would be copied or deleted under a cut or
// bare name.
bool FindProgramDirectories(ProgramDirectories& directories) {
  char drive[3] = "";
  char directory[plat::MAX_PATH] = "";
  plat::SplitPath(GetModulePath(), drive, sizeof(drive), directory, kPathCapacity, nullptr, 0, nullptr, 0);
  plat::BoundedCopy(directories.source, kPathCapacity, drive);
  plat::BoundedAppend(directories.source, kPathCapacity, directory);
  if (directories.source[0] == '\0') return false;
  AddBackslashWithin(directories.source);
  if (!ReadDirectory(plat::GetSystemDirectoryA, directories.system) ||
      !ReadDirectory(plat::GetWindowsDirectoryA, directories.windows))
    return false;
  directories.runsFromSystem = plat::lstrcmpiA(directories.source, directories.system) == 0;
  return true;
}

// The Windows directory's "help\" and the name; false when it does not fit.
bool HelpFilePath(char* destination, const char* windows, const char* name) {
  return JoinFilePath(destination, windows, (std::string("help\\") + name).c_str());
}

// The Startup folder, "\\", the name and ".LNK".
void StartupLinkPath(char* destination, const char* name) {
  plat::BoundedCopy(destination, kPathCapacity, GetStartupFolder());
  plat::BoundedAppend(destination, kPathCapacity, "\\");
  plat::BoundedAppend(destination, kPathCapacity, name);
  plat::BoundedAppend(destination, kPathCapacity, ".LNK");
}

// Saves a shortcut at `link` unless a file is there already, which counts as done.
plat::LONG SaveShortcut(const char* link, const char* target, const char* arguments, bool setArguments) {
  if (plat::GetFileAttributesA(link) != plat::INVALID_FILE_ATTRIBUTES) return 0;
  plat::ShellLink shortcut;
  shortcut.SetPath(target);
  if (setArguments) shortcut.SetArguments(arguments);
  plat::WCHAR wideLink[plat::MAX_PATH];
  TOOLFUNC_string::AnsiToWide(wideLink, link, kPathCapacity);
  return shortcut.Save(wideLink, plat::TRUE);
}

// The start folder's item list of the running BrowseForFolder, for the dialog's callback; null between
// calls, so no call sees a list an earlier one has freed.
plat::LPITEMIDLIST s_startList = nullptr;

// Frees an item list through the shell's allocator; null is ignored.
void FreeItemList(plat::LPITEMIDLIST list) {
  plat::IMalloc* allocator = nullptr;
  if (list == nullptr || plat::SHGetMalloc(&allocator) != plat::S_OK) return;
  allocator->Free(list);
  allocator->Release();
}

}  // namespace

void RemoveBackslash(char* path) {
  if (path == nullptr) return;
  size_t length = std::strlen(path);
  if (length > 0 && path[length - 1] == '\\') path[length - 1] = '\0';
}

plat::DWORD FileExists(const char* path) {
  plat::WIN32_FIND_DATAA data;
  plat::HANDLE search = plat::FindFirstFileA(path, &data);
  if (search == plat::INVALID_HANDLE_VALUE) return 0;
  plat::FindClose(search);
  return data.nFileSizeLow;
}

plat::LONG ReadRegistryString(char* destination, const char* subKey, const char* valueName, plat::HKEY root) {
  plat::HKEY key = nullptr;
  plat::LONG result = plat::RegOpenKeyExA(root, subKey, 0, plat::KEY_READ, &key);
  if (result != 0) return result;
  // The value is read into a copy first, so a value too long or of no text leaves the buffer as it was
  // and a text is always terminated.
  char value[plat::MAX_PATH + 1] = "";
  plat::DWORD size = plat::MAX_PATH;
  plat::DWORD type = 0;
  if (plat::RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<plat::BYTE*>(value), &size) ==
          0 &&
      (type == plat::REG_SZ || type == plat::REG_EXPAND_SZ)) {
    value[size < plat::MAX_PATH ? size : plat::MAX_PATH] = '\0';
    plat::BoundedCopy(destination, kPathCapacity, value);
  }
  return plat::RegCloseKey(key);
}

namespace {

// The folders the registry names, each with a buffer of its own, in the order of ReadFolder's table.
enum class Folder { kAppData, kLocalAppData, kDesktop, kStartup, kPrograms, kProgramFiles };

// The folder's registry value, in the buffer kept for that folder alone, so results of different folders
// may be held at once; a missing value leaves the folder's previous text.
char* ReadFolder(Folder folder) {
  static const struct {
    plat::HKEY root;
    const char* subKey;
    const char* valueName;
  } kSources[] = {
      {plat::HKEY_CURRENT_USER, kShellFolders, "AppData"},
      {plat::HKEY_CURRENT_USER, kShellFolders, "Local AppData"},
      {plat::HKEY_CURRENT_USER, kShellFolders, "Desktop"},
      {plat::HKEY_CURRENT_USER, kShellFolders, "Startup"},
      {plat::HKEY_CURRENT_USER, kShellFolders, "Programs"},
      {plat::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"},
  };
  static char s_folders[std::size(kSources)][plat::MAX_PATH];
  const size_t index = static_cast<size_t>(folder);
  const auto& source = kSources[index];
  ReadRegistryString(s_folders[index], source.subKey, source.valueName, source.root);
  return s_folders[index];
}

}  // namespace

char* GetAppDataFolder() { return ReadFolder(Folder::kAppData); }
char* GetLocalAppDataFolder() { return ReadFolder(Folder::kLocalAppData); }
char* GetDesktopFolder() { return ReadFolder(Folder::kDesktop); }
char* GetStartupFolder() { return ReadFolder(Folder::kStartup); }
char* GetProgramsFolder() { return ReadFolder(Folder::kPrograms); }
char* GetProgramFilesFolder() { return ReadFolder(Folder::kProgramFiles); }

char* GetModuleName() {
  static char s_name[plat::MAX_PATH];
  plat::SplitPath(GetModulePath(), nullptr, 0, nullptr, 0, s_name, kPathCapacity, nullptr, 0);
  return s_name;
}

char* GetModulePath() {
  static char s_path[plat::MAX_PATH];
  // The call keeps at most 259 characters and their terminator, which is what s_path holds; a longer
  // path cut there would name some other file, so none is given.
  const plat::DWORD length = plat::GetModuleFileNameA(nullptr, s_path, sizeof(s_path));
  if (length == 0 || length >= sizeof(s_path)) s_path[0] = '\0';
  return s_path;
}

plat::BOOL IsWritableIniFile(const char* path) {
  return plat::WritePrivateProfileStringA("Test", "Test", "Test", path);
}

char* FindIniFile(const char* name) {
  static char s_file[plat::MAX_PATH];
  // A directory that cannot hold the name is passed over: the test writes into the file it names.
  if (!JoinFilePath(s_file, GetModuleDirectory(), name) || !ReadableAndWritable(s_file)) s_file[0] = '\0';
  if (s_file[0] == '\0') {
    char windows[plat::MAX_PATH] = "";
    if (plat::GetWindowsDirectoryA(windows, sizeof(windows)) >= sizeof(windows)) windows[0] = '\0';
    if (!JoinFilePath(s_file, windows, name) || !ReadableAndWritable(s_file)) s_file[0] = '\0';
  }
  if (s_file[0] == '\0') FolderAndName(s_file, GetAppDataFolder(), name);
  return s_file;
}

char* GetAppDataFile(const char* name) {
  static char s_file[plat::MAX_PATH];
  FolderAndName(s_file, GetAppDataFolder(), name);
  return s_file;
}

char* GetSemaphoreFileName(const char* path) {
  static char s_file[plat::MAX_PATH];
  char drive[3] = "";
  char directory[plat::MAX_PATH] = "";
  char name[plat::MAX_PATH] = "";
  plat::SplitPath(path, drive, sizeof(drive), directory, kPathCapacity, name, kPathCapacity, nullptr, 0);
  plat::BoundedCopy(s_file, kPathCapacity, drive);
  plat::BoundedAppend(s_file, kPathCapacity, directory);
  plat::BoundedAppend(s_file, kPathCapacity, name);
  plat::BoundedAppend(s_file, kPathCapacity, ".SEM");
  return s_file;
}

char* GetUserAndComputer() {
  static char s_names[plat::MAX_PATH];
  if (s_names[0] != '\0') return s_names;
  plat::DWORD size = sizeof(s_names);
  plat::GetUserNameA(s_names, &size);
  size_t length = std::strlen(s_names);
  // A user name filling the whole buffer leaves no room for "#" and a terminator behind it.
  if (length + 1 >= sizeof(s_names)) return s_names;
  s_names[length] = '#';
  s_names[length + 1] = '\0';
  size = static_cast<plat::DWORD>(sizeof(s_names) - length - 1);
  plat::GetComputerNameA(s_names + length + 1, &size);
  return s_names;
}

void InitializeCom(int multithreaded) {
  plat::OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!plat::GetVersionExA(&version)) return;
  if (version.dwPlatformId < plat::VER_PLATFORM_WIN32_NT) {
    plat::CoInitialize(nullptr);
  } else if (version.dwPlatformId == plat::VER_PLATFORM_WIN32_NT) {
    if (multithreaded)
      plat::CoInitializeEx(nullptr, plat::COINIT_MULTITHREADED);
    else
      plat::CoInitialize(nullptr);
  }
}

plat::BOOL CopyProgramFiles(const char* a, const char* b, const char* c) {
  ProgramDirectories directories;
  if (!FindProgramDirectories(directories)) return PathTooLong();
  if (directories.runsFromSystem) return plat::TRUE;
  plat::BOOL result = plat::TRUE;
  char from[plat::MAX_PATH];
  char to[plat::MAX_PATH];
  for (const char* name : {b, a}) {
    if (name == nullptr) continue;
    if (!JoinFilePath(from, directories.source, name) || !JoinFilePath(to, directories.system, name))
      result = PathTooLong();
    else if (!plat::CopyFileA(from, to, plat::FALSE))
      result = plat::FALSE;
  }
  if (c != nullptr) {
    if (!JoinFilePath(from, directories.source, c) || !HelpFilePath(to, directories.windows, c))
      result = PathTooLong();
    else if (!plat::CopyFileA(from, to, plat::FALSE))
      result = plat::FALSE;
  }
  return result;
}

plat::BOOL DeleteProgramFiles(const char* a, const char* b, const char* c) {
  ProgramDirectories directories;
  if (!FindProgramDirectories(directories)) return PathTooLong();
  if (directories.runsFromSystem) return plat::TRUE;
  plat::BOOL result = plat::TRUE;
  char path[plat::MAX_PATH];
  for (const char* name : {b, a}) {
    if (name == nullptr) continue;
    if (!JoinFilePath(path, directories.system, name))
      result = PathTooLong();
    else if (!plat::DeleteFileA(path))
      result = plat::FALSE;
  }
  if (c != nullptr) {
    if (!HelpFilePath(path, directories.windows, c))
      result = PathTooLong();
    else if (!plat::DeleteFileA(path))
      result = plat::FALSE;
  }
  return result;
}

int CreateDirectoryTree(char* path) {
  if (path == nullptr || std::strlen(path) < 4) return 1;
  RemoveBackslash(path);
  size_t start = path[1] == ':' ? 3 : 1;
  for (size_t i = start; path[i] != '\0'; ++i) {
    if (path[i] != '\\') continue;
    char part[plat::MAX_PATH];
    plat::BoundedCopy(part, kPathCapacity, path);
    if (i < kPathCapacity) part[i] = '\0';
    if (plat::_access(part, 0) != 0 && !plat::CreateDirectoryA(part, nullptr)) return 0;
  }
  if (plat::_access(path, 0) == 0) return 1;
  return plat::CreateDirectoryA(path, nullptr) ? 1 : 0;
}

void RemoveDirectoryTree(const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  // A path cut to the buffer would name some other directory: one that does not fit is left alone.
  if (std::strlen(path) >= kPathCapacity) {
    PathTooLong();
    return;
  }
  char copy[plat::MAX_PATH];
  std::strcpy(copy, path);
  AddBackslash(copy);
  // Below a symbolic link the directories belong to the tree it points to; they are left alone, and so
  // is the link itself, which its parent still holds.
  size_t length = std::strlen(copy);
  size_t limit = length;
  for (size_t i = 1; i < length; ++i) {
    if (copy[i] != '\\') continue;
    copy[i] = '\0';
    bool link = IsLink(copy);
    copy[i] = '\\';
    if (link) {
      limit = i;
      break;
    }
  }
  for (size_t i = length - 1; i >= 1; --i) {
    if (copy[i] != '\\') continue;
    copy[i] = '\0';
    if (i < limit) plat::RemoveDirectoryA(copy);
  }
}

plat::BOOL DeleteDirectoryContents(const char* directory) {
  if (IsLink(directory)) return plat::RemoveDirectoryA(directory);
  // A path cut to the buffer names another entry, or the directory itself, which would be entered
  // again without end: an entry whose path does not fit is left, and the call fails.
  char pattern[plat::MAX_PATH];
  if (!JoinFilePath(pattern, directory, "*.*")) return PathTooLong();
  plat::WIN32_FIND_DATAA data;
  plat::HANDLE search = plat::FindFirstFileA(pattern, &data);
  if (search == plat::INVALID_HANDLE_VALUE) return plat::RemoveDirectoryA(directory);
  bool everyEntryFits = true;
  do {
    const bool isDirectory = (data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isLink = (data.dwFileAttributes & plat::FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (isDirectory && !isLink && data.cFileName[0] == '.') continue;
    char entry[plat::MAX_PATH];
    if (!JoinFilePath(entry, directory, data.cFileName)) {
      everyEntryFits = false;
    } else if (isLink) {
      // Only the link goes; what it points to belongs elsewhere.
      if (isDirectory)
        plat::RemoveDirectoryA(entry);
      else
        plat::DeleteFileA(entry);
    } else if (!isDirectory) {
      plat::DeleteFileA(entry);
    } else if (!DeleteDirectoryContents(entry) && plat::GetLastError() == plat::ERROR_FILENAME_EXCED_RANGE) {
      everyEntryFits = false;
    }
  } while (plat::FindNextFileA(search, &data));
  plat::FindClose(search);
  if (!everyEntryFits) return PathTooLong();
  return plat::RemoveDirectoryA(directory);
}

int DirectoryExists(const char* path) {
  plat::DWORD attributes = EntryAttributes(path);
  return attributes != plat::INVALID_FILE_ATTRIBUTES && (attributes & plat::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void FileToWindowText(plat::HWND window, const char* path) {
  plat::SetWindowTextA(window, "");
  if (path == nullptr || path[0] == '\0') return;
  std::FILE* file = plat::OpenFileStream(path, "rb");
  if (file == nullptr) return;
  std::string text(kWindowTextLimit + 1, '\0');
  size_t got = std::fread(text.data(), 1, kWindowTextLimit, file);
  std::fclose(file);
  text[got] = '\0';
  plat::SetWindowTextA(window, text.c_str());
}

void WindowTextToFile(plat::HWND window, const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  std::FILE* file = plat::OpenFileStream(path, "wb");
  if (file == nullptr) return;
  std::string text(kWindowTextLimit + 1, '\0');
  int length = plat::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  if (length > 0) std::fwrite(text.data(), 1, static_cast<size_t>(length), file);
  std::fflush(file);
  std::fclose(file);
}

uint64_t GetFileWriteTime(const char* path) {
  plat::HANDLE file =
      plat::CreateFileA(path, plat::GENERIC_READ, 0, nullptr, plat::OPEN_EXISTING, 0, nullptr);
  if (file == plat::INVALID_HANDLE_VALUE) return 0;
  plat::FILETIME written = {};
  plat::BOOL read = plat::GetFileTime(file, nullptr, nullptr, &written);
  plat::CloseHandle(file);
  if (!read) return 0;
  return (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

plat::LONG CreateDesktopShortcut(const char* target, const char* linkName, const char* arguments) {
  char link[plat::MAX_PATH];
  FolderAndName(link, GetDesktopFolder(), linkName);
  plat::BoundedAppend(link, kPathCapacity, ".LNK");
  return SaveShortcut(link, target, arguments, true);
}

plat::LONG CreateProgramsShortcut(const char* target, const char* subFolder, const char* linkName) {
  char link[plat::MAX_PATH];
  FolderAndName(link, GetProgramsFolder(), subFolder);
  if (plat::_access(link, 0) != 0) plat::CreateDirectoryA(link, nullptr);
  AddBackslashWithin(link);
  plat::BoundedAppend(link, kPathCapacity, linkName);
  plat::BoundedAppend(link, kPathCapacity, ".LNK");
  return SaveShortcut(link, target, nullptr, false);
}

plat::LONG CreateStartupShortcut(const char* target, const char* linkName, const char* arguments) {
  char link[plat::MAX_PATH];
  StartupLinkPath(link, linkName);
  return SaveShortcut(link, target, arguments, arguments != nullptr);
}

plat::BOOL DeleteStartupShortcut(const char* linkName) {
  char link[plat::MAX_PATH];
  StartupLinkPath(link, linkName);
  return plat::DeleteFileA(link);
}

int PathToItemList(const char* path, plat::LPITEMIDLIST* list) {
  *list = nullptr;
  if (path == nullptr) return 0;
  plat::WCHAR widePath[plat::MAX_PATH];
  TOOLFUNC_string::AnsiToWide(widePath, path, kPathCapacity);
  return plat::SUCCEEDED(plat::SHParseDisplayName(widePath, nullptr, list, 0, nullptr)) ? 1 : 0;
}

int BrowseForFolder(plat::HWND owner, const char* title, char* path) {
  s_startList = nullptr;
  if (path != nullptr && path[0] != '\0') {
    // The "\" goes into a copy: a cancelled dialog leaves the caller's path as it was.
    char start[plat::MAX_PATH];
    plat::BoundedCopy(start, kPathCapacity, path);
    AddBackslashWithin(start);
    PathToItemList(start, &s_startList);
  }
  plat::BROWSEINFOA info = {owner,
                            nullptr,
                            path,
                            title,
                            plat::BIF_RETURNONLYFSDIRS | plat::BIF_BROWSEFORCOMPUTER,
                            BrowseForFolderCallback,
                            reinterpret_cast<plat::LPARAM>(s_startList),
                            0};
  plat::LPITEMIDLIST chosen = plat::SHBrowseForFolderA(&info);
  if (chosen != nullptr) plat::SHGetPathFromIDListA(chosen, path);
  // Both lists are ours whatever the user did.
  FreeItemList(chosen);
  FreeItemList(s_startList);
  s_startList = nullptr;
  return chosen != nullptr ? 1 : 0;
}

int BrowseForFolderCallback(plat::HWND window, plat::UINT message, plat::LPARAM, plat::LPARAM) {
  if (message == plat::BFFM_INITIALIZED)
    plat::SendMessageA(window, plat::BFFM_SETSELECTIONA, plat::FALSE,
                       reinterpret_cast<plat::LPARAM>(s_startList));
  return 0;
}

}  // namespace TOOLFUNC_file
