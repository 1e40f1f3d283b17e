// The system version, the user name and the computer name, each with a test override.
#include "plat/system_info.h"

#include <unistd.h>

#include <cctype>
#include <cstring>
#include <mutex>

#include "host_account.h"
#include "plat/error.h"
#include "plat/testing/system_info.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::optional<SystemVersion> g_version;
std::optional<std::string> g_userName;
std::optional<std::string> g_computerName;

std::string HostUserName() {
  if (auto account = detail::FindHostAccount(geteuid()); account && !account->name.empty())
    return account->name;
  return std::to_string(geteuid());
}

std::string HostComputerName() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return "LOCALHOST";
  std::string name(host, std::strcspn(host, "."));
  if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// The two name calls differ only in the error of a short buffer and in whether the length they give
// back counts the terminator.
BOOL CopyName(const std::optional<std::string>& override, std::string (*host)(), LPSTR buffer, LPDWORD size,
              DWORD shortBufferError, bool countTerminator) {
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::optional<std::string> name;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    name = override;
  }
  if (!name) name = host();
  const DWORD needed = static_cast<DWORD>(name->size() + 1);
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    SetLastError(shortBufferError);
    return FALSE;
  }
  std::memcpy(buffer, name->c_str(), needed);
  *size = countTerminator ? needed : needed - 1;
  return TRUE;
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  SystemVersion version{VER_PLATFORM_WIN32_NT, 5, 1};
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_version) version = *g_version;
  }
  info->dwMajorVersion = version.majorVersion;
  info->dwMinorVersion = version.minorVersion;
  info->dwBuildNumber = 2600;
  info->dwPlatformId = version.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}

void SetSystemVersionForTesting(std::optional<SystemVersion> version) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_version = version;
}

BOOL GetUserNameA(LPSTR buffer, LPDWORD size) {
  return CopyName(g_userName, HostUserName, buffer, size, ERROR_INSUFFICIENT_BUFFER, true);
}

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
  return CopyName(g_computerName, HostComputerName, buffer, size, ERROR_BUFFER_OVERFLOW, false);
}

void SetUserNameForTesting(std::optional<std::string> name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_userName = std::move(name);
}

void SetComputerNameForTesting(std::optional<std::string> name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_computerName = std::move(name);
}

}  // namespace plat
