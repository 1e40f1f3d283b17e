// The telephony provider lookup: a library's permanent identifier from the system's provider list.
#include <cstdio>
#include <cstring>

#include "path_tools.h"
#include "plat/codepage.h"
#include "plat/error.h"
#include "plat/path.h"
#include "registry_tool.h"

namespace TOOLFUNC_registry {
namespace {

// File name and extension of `path`, at most 258 characters; drive and directory dropped.
void FileNameOf(const char* path, char (&name)[plat::MAX_PATH]) {
  char fileName[plat::MAX_PATH] = "";
  char extension[31] = "";
  plat::SplitPath(path, nullptr, 0, nullptr, 0, fileName, sizeof(fileName) - 1, extension, sizeof(extension));
  std::snprintf(name, TOOLFUNC_file::kPathCapacity, "%s%s", fileName, extension);
}

}  // namespace

plat::DWORD GetTapiProviderId(const char* libraryPath) {
  if (libraryPath == nullptr) return 0;
  char wanted[plat::MAX_PATH];
  FileNameOf(libraryPath, wanted);
  // An empty name would match every unreadable entry.
  if (wanted[0] == '\0') return 0;

  plat::HKEY key = nullptr;
  if (plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers", 0,
                          plat::KEY_READ, &key) != plat::ERROR_SUCCESS)
    return 0;
  plat::DWORD count = 0;
  if (QueryValue(key, "NumProviders", &count, sizeof(count)) != plat::ERROR_SUCCESS) count = 0;

  plat::DWORD providerId = 0;
  for (plat::DWORD i = 0; i < count; ++i) {
    char valueName[32];
    std::snprintf(valueName, sizeof(valueName), "ProviderFilename%u", i);
    // Path-sized and cleared for every entry: a registered full path is read whole, and an entry that
    // cannot be read never matches by what an earlier one left behind.
    char registered[plat::MAX_PATH] = {};
    if (QueryValue(key, valueName, registered, sizeof(registered) - 1) != plat::ERROR_SUCCESS) continue;
    char registeredName[plat::MAX_PATH];
    FileNameOf(registered, registeredName);
    if (registeredName[0] == '\0' || plat::lstrcmpiA(registeredName, wanted) != 0) continue;
    std::snprintf(valueName, sizeof(valueName), "ProviderID%u", i);
    if (QueryValue(key, valueName, &providerId, sizeof(providerId)) != plat::ERROR_SUCCESS) providerId = 0;
    break;
  }
  plat::RegCloseKey(key);
  return providerId;
}

}  // namespace TOOLFUNC_registry
