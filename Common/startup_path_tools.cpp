// The path tools that the programs' start-up uses.
#include <cstdio>
#include <cstring>

#include "path_tools.h"
#include "plat/machine.h"
#include "plat/module.h"
#include "plat/path.h"

namespace TOOLFUNC_file {

void AddBackslash(char* path) {
  // An empty path has no last character to look at; it stays empty.
  if (path == nullptr || path[0] == '\0') return;
  size_t length = std::strlen(path);
  if (path[length - 1] != '\\') {
    path[length] = '\\';
    path[length + 1] = '\0';
  }
}

bool JoinFilePath(char* path, const char* directory, const char* name) {
  path[0] = '\0';
  const size_t directoryLength = std::strlen(directory);
  if (directoryLength == 0) return false;
  const size_t separator = directory[directoryLength - 1] == '\\' ? 0 : 1;
  if (directoryLength + separator + std::strlen(name) >= kPathCapacity) return false;
  std::snprintf(path, plat::MAX_PATH, "%s%s%s", directory, separator ? "\\" : "", name);
  return true;
}

bool GetSystemFilePath(const char* file, char* path) {
  char directory[plat::MAX_PATH];
  // A directory that does not fit comes back untouched, so only the length tells that it is missing.
  const plat::UINT length = plat::GetSystemDirectoryA(directory, kPathCapacity);
  if (length == 0 || length >= kPathCapacity) {
    path[0] = '\0';
    return false;
  }
  return JoinFilePath(path, directory, file);
}

char* GetModuleDirectory() {
  static char s_directory[plat::MAX_PATH];
  char drive[3] = "";
  char directory[plat::MAX_PATH] = "";
  // A cut program path would name some ancestor's directory instead of the program's: none is given then.
  const plat::DWORD length = plat::GetModuleFileNameA(nullptr, s_directory, kPathCapacity);
  if (length == 0 || length >= kPathCapacity) {
    s_directory[0] = '\0';
    return s_directory;
  }
  plat::SplitPath(s_directory, drive, sizeof(drive), directory, kPathCapacity, nullptr, 0, nullptr, 0);
  std::snprintf(s_directory, kPathCapacity, "%s%s", drive, directory);
  return s_directory;
}

}  // namespace TOOLFUNC_file
