// The provider list of the telephony setup: entries added under the registry key the providers are read from.
#include "plat/telephony.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "plat/codepage.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/registry.h"
#include "posix_call.h"
#include "tapi.h"

namespace plat {
namespace {

// Holds an exclusive lock on <machine>/telephony.lock: an add reads the list, then writes several
// values, and two processes adding at once must not both take the same index or identifier.
class ProviderListLock {
 public:
  ProviderListLock()
      : m_fd(open((MachineDirectory() + "/telephony.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (m_fd >= 0) detail::RetryAfterSignal(-1, ::flock, m_fd, LOCK_EX);
  }
  ~ProviderListLock() {
    if (m_fd >= 0) close(m_fd);
  }
  ProviderListLock(const ProviderListLock&) = delete;
  ProviderListLock& operator=(const ProviderListLock&) = delete;

 private:
  int m_fd;
};

DWORD ReadNumber(HKEY key, const std::string& name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return value;
}

std::string ReadText(HKEY key, const std::string& name) {
  char text[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  if (RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
      ERROR_SUCCESS)
    return "";
  return text;
}

bool WriteNumber(HKEY key, const std::string& name, DWORD value) {
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

// The file name with its extension: what tells two entries of one provider apart from others.
std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

LONG lineAddProvider(LPCSTR providerFilename, HWND, LPDWORD permanentProviderId) {
  if (providerFilename == nullptr || providerFilename[0] == '\0' || permanentProviderId == nullptr)
    return static_cast<LONG>(LINEERR_INVALPOINTER);
  ProviderListLock lock;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTelephonyProvidersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return static_cast<LONG>(LINEERR_OPERATIONFAILED);

  const std::string wanted = FileNameOf(providerFilename);
  const DWORD count = ReadNumber(key, "NumProviders");
  DWORD id = ReadNumber(key, "NextProviderID");
  LONG result = 0;
  for (DWORD i = 0; i < count && result == 0; ++i) {
    const std::string index = std::to_string(i);
    if (lstrcmpiA(FileNameOf(ReadText(key, "ProviderFilename" + index)).c_str(), wanted.c_str()) == 0)
      result = static_cast<LONG>(LINEERR_NOMULTIPLEINSTANCE);
    // An identifier is permanent: a list written by other hands must not get it twice.
    const DWORD listed = ReadNumber(key, "ProviderID" + index);
    if (listed >= id) id = listed + 1;
  }
  if (id == 0) id = 1;
  if (result == 0) {
    const std::string index = std::to_string(count);
    const std::string fileName = providerFilename;
    const bool written = RegSetValueExA(key, ("ProviderFilename" + index).c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(fileName.c_str()),
                                        static_cast<DWORD>(fileName.size() + 1)) == ERROR_SUCCESS &&
                         WriteNumber(key, "ProviderID" + index, id) &&
                         WriteNumber(key, "NextProviderID", id + 1) &&
                         WriteNumber(key, "NumProviders", count + 1);
    if (written)
      *permanentProviderId = id;
    else
      result = static_cast<LONG>(LINEERR_OPERATIONFAILED);
  }
  RegCloseKey(key);
  return result;
}

}  // namespace plat
