// One registry value as a test compares it: a text as it stands, a number in decimal.
#include "support/registry_value.h"

#include <cstring>

namespace testsupport {

std::string RegistryValue(plat::HKEY root, const char* path, const char* name) {
  plat::HKEY opened = nullptr;
  if (plat::RegOpenKeyExA(root, path, 0, plat::KEY_READ, &opened) != 0) return "<no key>";
  char data[1024] = "";
  plat::DWORD size = sizeof(data) - 1;
  plat::DWORD type = 0;
  plat::LONG read =
      plat::RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<plat::BYTE*>(data), &size);
  plat::RegCloseKey(opened);
  if (read != 0) return "<no value>";
  if (type == plat::REG_DWORD) {
    plat::DWORD number = 0;
    std::memcpy(&number, data, sizeof(number));
    return std::to_string(number);
  }
  return data;
}

}  // namespace testsupport
