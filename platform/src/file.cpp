// File calls on Windows-form paths.
#include "plat/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "plat/error.h"
#include "plat/path.h"

namespace plat {
namespace {

std::string ParentOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

bool IsDirectory(const std::string& hostPath) {
  struct stat info;
  return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The Windows error for a path the host refused with `error`. Windows tells a missing name in an
// existing directory from a missing directory, and a file used as a directory is a missing path.
DWORD LookupError(const std::string& hostPath, int error) {
  if (error == EACCES) return ERROR_ACCESS_DENIED;
  if (hostPath.empty() || error == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  return IsDirectory(ParentOf(hostPath)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR path) {
  std::string hostPath = ToHostPath(path);
  struct stat info;
  if (hostPath.empty() || stat(hostPath.c_str(), &info) != 0) {
    SetLastError(LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  // The write bits count as well as access(): for root access() grants writing to every file, while a
  // file without write bits is the read-only file the programs mean.
  bool writable = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(hostPath.c_str(), W_OK) == 0;
  return writable ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string hostPath = ToHostPath(path);
  if (!hostPath.empty() && chdir(hostPath.c_str()) == 0) return TRUE;
  struct stat info;
  bool isFile = !hostPath.empty() && stat(hostPath.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  SetLastError(isFile ? ERROR_DIRECTORY : LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
  return FALSE;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  std::string current(4096, '\0');
  while (getcwd(current.data(), current.size()) == nullptr) {
    if (errno != ERANGE) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    current.resize(current.size() * 2);
  }
  current.resize(current.find('\0'));
  return CopyPathResult(ToWindowsPath(current), buffer, size);
}

}  // namespace plat
