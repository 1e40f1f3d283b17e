// The path tools that the programs' start-up uses.
#include <cstdio>
#include <cstring>

#include "plat/machine.h"
#include "plat/module.h"
#include "plat/path.h"
#include "tool_file.h"

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

char* GetSystemFilePath(const char* file, char* path) {
  path[0] = '\0';
  plat::GetSystemDirectoryA(path, 259);
  AddBackslash(path);
  std::strncat(path, file, 258 - std::strlen(path));
  return path;
}

char* GetModuleDirectory() {
  static char s_directory[plat::MAX_PATH];
  char drive[3] = "";
  char directory[plat::MAX_PATH] = "";
  plat::GetModuleFileNameA(nullptr, s_directory, 259);
  plat::SplitPath(s_directory, drive, sizeof(drive), directory, 259, nullptr, 0, nullptr, 0);
  std::snprintf(s_directory, 259, "%s%s", drive, directory);
  return s_directory;
}

}  // namespace TOOLFUNC_file
