// The machine directory that holds what Windows keeps machine-wide.
#include "plat/machine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host_account.h"
#include "plat/path.h"

namespace plat {
namespace {

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (auto account = detail::FindHostAccount(getuid()); account && !account->home.empty())
    return account->home;
  return "/tmp";
}

// The machine directory and the directories in it are made for their owner alone, whatever the umask:
// they hold the store, the status of services and their control sockets. Missing parents outside are
// made as any other directory. A directory that cannot be made is still named: the call that uses it
// then fails with its own error.
std::string Created(const std::string& directory) {
  if (mkdir(directory.c_str(), 0700) != 0 && errno == ENOENT) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(directory).parent_path(), ignored);
    mkdir(directory.c_str(), 0700);
  }
  return directory;
}

}  // namespace

std::string MachineDirectory() {
  const char* configured = std::getenv("VELCORA_MACHINE");
  std::filesystem::path directory = (configured != nullptr && *configured != '\0')
                                        ? std::filesystem::path(configured)
                                        : std::filesystem::path(HomeDirectory()) / ".velcora-machine";
  std::error_code ignored;
  if (directory.is_relative()) directory = std::filesystem::absolute(directory, ignored);
  std::string text = directory.lexically_normal().string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return Created(text);
}

std::string WindowsDirectoryHost() { return Created(MachineDirectory() + "/windows"); }

std::string SystemDirectoryHost() { return Created(WindowsDirectoryHost() + "/system32"); }

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  return CopyPathResult(ToWindowsPath(WindowsDirectoryHost()), buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
  return CopyPathResult(ToWindowsPath(SystemDirectoryHost()), buffer, size);
}

}  // namespace plat
