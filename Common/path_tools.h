// Path tools: the program's own directory and the trailing backslash, and the tools for paths, files,
// folders and shortcuts that the programs may use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plat/registry.h"
#include "plat/shell_folder.h"
#include "plat/types.h"
#include "plat/window.h"

namespace TOOLFUNC_file {

// The capacity of every path buffer: a path keeps at most 258 characters and a terminator, one byte
// short of MAX_PATH.
constexpr std::size_t kPathCapacity = plat::MAX_PATH - 1;

// Appends "\" unless the path already ends with one; null and empty paths stay as they are.
// The buffer must have room for one more character.
void AddBackslash(char* path);
// Writes "<directory>\<name>" (the "\" only where missing) into `path` (MAX_PATH bytes). False with
// `path` empty when the directory is empty or the whole is longer than 258 characters: a cut or bare
// name would name some other file.
bool JoinFilePath(char* path, const char* directory, const char* name);
// Writes "<system directory>\<file>" into `path` (MAX_PATH bytes): where the installed programs and the
// event source's message file live. False with `path` empty when the system directory cannot be read or
// the whole does not fit into 258 characters.
bool GetSystemFilePath(const char* file, char* path);

// Drive and directory of the running program, ending with "\", in a buffer the next call overwrites;
// empty when the program's path is longer than 258 characters.
char* GetModuleDirectory();

// Paths below live in buffers of MAX_PATH bytes; whatever is copied into them is cut at 258 characters.
// The functions that return a buffer share it with every thread and rewrite it on the next call.

// Drops one trailing "\"; null is ignored.
void RemoveBackslash(char* path);
// The low 32 bits of the size of the first file the pattern finds; 0 when none (an empty file too).
plat::DWORD FileExists(const char* path);
// Reads the text value into `destination` (MAX_PATH bytes); the open's error when the key cannot be opened
// (destination untouched), else the result of closing the key.
plat::LONG ReadRegistryString(char* destination, const char* subKey, const char* valueName, plat::HKEY root);

// The user's shell folders as the registry names them; a value that is missing leaves the buffer's
// previous contents.
char* GetAppDataFolder();
char* GetLocalAppDataFolder();
char* GetDesktopFolder();
char* GetStartupFolder();
char* GetProgramsFolder();
char* GetProgramFilesFolder();

// The program file's name without directory and extension.
char* GetModuleName();
// The program's full path.
char* GetModulePath();

// Whether Test=Test could be written into the section [Test] of the file; the entry stays.
plat::BOOL IsWritableIniFile(const char* path);
// The settings file `name` beside the program, else in the Windows directory, where it is readable and
// writable; else the AppData path, untested.
char* FindIniFile(const char* name);
// AppData folder, "\" and the name.
char* GetAppDataFile(const char* name);
// The path with ".SEM" in place of its extension.
char* GetSemaphoreFileName(const char* path);

// "<user>#<computer>", read on the first call; every later call returns that first result.
char* GetUserAndComputer();

// Starts COM on the calling thread as the system's platform allows: the multithreaded model on the NT
// family when `multithreaded` is set, else the apartment model; nothing on an unknown platform.
void InitializeCom(int multithreaded);

// Copies b, then a into the system directory and the help file c into the Windows directory's "help"
// folder, from the program's directory; each name may be null. Nothing is done when the program runs
// from the system directory. TRUE unless a copy failed.
plat::BOOL CopyProgramFiles(const char* a, const char* b, const char* c);
// Deletes what CopyProgramFiles copies. TRUE unless a deletion failed.
plat::BOOL DeleteProgramFiles(const char* a, const char* b, const char* c);

// Creates every missing directory of the path (a trailing "\" is removed from it). 1 on success or when
// nothing was to be done, 0 when a directory could not be created.
int CreateDirectoryTree(char* path);
// Removes the path's directory and then each parent, as far as they are empty. A symbolic link on the
// way is never gone through.
void RemoveDirectoryTree(const char* path);
// Deletes the directory's files and subdirectories, then the directory; returns the result of removing
// the directory. A symbolic link goes as the link: what it points to is never touched.
plat::BOOL DeleteDirectoryContents(const char* directory);
// 1 when the path names a directory, else 0.
int DirectoryExists(const char* path);

// Replaces the window's text with the first 65535 bytes of the file (empty when it cannot be read).
void FileToWindowText(plat::HWND window, const char* path);
// Replaces the file with the window's text (at most 65535 characters, no terminator).
void WindowTextToFile(plat::HWND window, const char* path);

// The file's last write time as a 64-bit FILETIME value; 0 when it cannot be opened alone.
uint64_t GetFileWriteTime(const char* path);

// Shortcuts "<folder>\<name>.LNK" to `target`; an existing one is left as it is. 0 on success (or when
// the shortcut was there already), else the error of the step that failed.
plat::LONG CreateDesktopShortcut(const char* target, const char* linkName, const char* arguments);
plat::LONG CreateProgramsShortcut(const char* target, const char* subFolder, const char* linkName);
plat::LONG CreateStartupShortcut(const char* target, const char* linkName, const char* arguments);
// Deletes the Startup folder's shortcut "<name>.LNK".
plat::BOOL DeleteStartupShortcut(const char* linkName);

// 1 and a new item list of the folder in `*list` (to be freed through the shell's allocator), or 0 and
// null.
int PathToItemList(const char* path, plat::LPITEMIDLIST* list);
// Lets the user choose a folder in the dialog, opened at the folder in `path` (MAX_PATH bytes; empty: none).
// 1 with the chosen folder's path in `path`; 0 with `path` as it was when nothing was chosen.
int BrowseForFolder(plat::HWND owner, const char* title, char* path);
// The dialog's callback: opens it at BrowseForFolder's start folder. Returns 0.
int BrowseForFolderCallback(plat::HWND window, plat::UINT message, plat::LPARAM lParam, plat::LPARAM data);

}  // namespace TOOLFUNC_file
