// Shared objects through dlopen, and the program's own file through /proc/self/exe.
#include "plat/module.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/testing/module.h"
#include "plat/winmain.h"

namespace plat {
namespace {

std::mutex g_programNameMutex;
std::optional<std::string> g_programNameOverride;

std::string HostExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

std::string ProgramWindowsPath() {
  {
    std::lock_guard<std::mutex> lock(g_programNameMutex);
    if (g_programNameOverride) return *g_programNameOverride;
  }
  return ToWindowsPath(HostExecutablePath());
}

bool IsHostFile(const std::string& path) {
  struct stat status;
  return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string DirectoryOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? std::string(".") : hostPath.substr(0, slash);
}

// The host file a library name stands for, or "" when there is none.
std::string FindLibrary(const char* fileName) {
  if (std::strpbrk(fileName, "\\/:") != nullptr) {
    std::string host = ToHostPath(fileName);
    return IsHostFile(host) ? host : std::string();
  }
  const std::string searched[] = {DirectoryOf(HostExecutablePath()), SystemDirectoryHost(),
                                  WindowsDirectoryHost(), "."};
  for (const std::string& directory : searched) {
    std::string candidate = ToHostPath((ToWindowsPath(directory) + "\\" + fileName).c_str());
    if (IsHostFile(candidate)) return candidate;
  }
  return std::string();
}

DWORD CopyCut(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  if (text.size() < size) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
  }
  std::memcpy(buffer, text.data(), size - 1);
  buffer[size - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string host = FindLibrary(fileName);
  if (host.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // A path with a slash keeps dlopen from searching the system's library directories.
  if (host.find('/') == std::string::npos) host = "./" + host;
  void* library = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    SetLastError(ERROR_BAD_FORMAT);
    return nullptr;
  }
  return static_cast<HMODULE>(library);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || module == ProgramInstance()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  void* symbol = procName ? dlsym(module, procName) : nullptr;
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr || module == ProgramInstance() || dlclose(module) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if (module == nullptr || module == ProgramInstance()) return CopyCut(ProgramWindowsPath(), fileName, size);
  struct link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  char resolved[PATH_MAX];
  std::string host = realpath(map->l_name, resolved) ? resolved : map->l_name;
  return CopyCut(ToWindowsPath(host), fileName, size);
}

void SetProgramFileNameForTesting(LPCSTR windowsPath) {
  std::lock_guard<std::mutex> lock(g_programNameMutex);
  if (windowsPath)
    g_programNameOverride = windowsPath;
  else
    g_programNameOverride.reset();
}

}  // namespace plat
