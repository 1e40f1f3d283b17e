// CRegTool: one key, its typed values, and the deletion of key trees.
#include "registry_tool.h"

#include <cstring>

#include "plat/error.h"

namespace TOOLFUNC_registry {

CRegTool::CRegTool() = default;

CRegTool::~CRegTool() { Close(); }

plat::LONG CRegTool::Open(plat::HKEY root, const char* path) {
  m_hRootKey = root;
  plat::LONG result = plat::RegCreateKeyExA(root, path, 0, nullptr, plat::REG_OPTION_NON_VOLATILE,
                                            plat::KEY_ALL_ACCESS, nullptr, &m_hKey, &m_dwDisposition);
  if (result != plat::ERROR_SUCCESS)
    result = plat::RegOpenKeyExA(root, path, 0, plat::KEY_ALL_ACCESS, &m_hKey);
  if (result != plat::ERROR_SUCCESS) result = plat::RegOpenKeyExA(root, path, 0, plat::KEY_READ, &m_hKey);
  return result;
}

plat::LONG CRegTool::OpenExisting(plat::HKEY root, const char* path) {
  m_hRootKey = root;
  plat::LONG result = plat::RegOpenKeyExA(root, path, 0, plat::KEY_ALL_ACCESS, &m_hKey);
  if (result != plat::ERROR_SUCCESS) result = plat::RegOpenKeyExA(root, path, 0, plat::KEY_READ, &m_hKey);
  return result;
}

void CRegTool::Close() {
  if (m_hKey == nullptr) return;
  plat::RegFlushKey(m_hKey);
  plat::RegCloseKey(m_hKey);
  m_hKey = nullptr;
}

void CRegTool::CreateSubKey(const char* name) {
  plat::HKEY subKey = nullptr;
  if (plat::RegCreateKeyExA(m_hKey, name, 0, nullptr, plat::REG_OPTION_NON_VOLATILE, plat::KEY_ALL_ACCESS,
                            nullptr, &subKey, &m_dwDisposition) == plat::ERROR_SUCCESS)
    plat::RegCloseKey(subKey);
}

int CRegTool::ReadString(const char* name, char* buffer, plat::DWORD size, const char* defaultText) {
  if (buffer == nullptr || size == 0) return 0;
  std::memset(buffer, 0, size);
  int result = 1;
  if (QueryValue(m_hKey, name, buffer, size) != plat::ERROR_SUCCESS) {
    std::memset(buffer, 0, size);
    result = 0;
  }
  // A value stored without its terminator, or filling the whole buffer, still ends inside it.
  buffer[size - 1] = '\0';
  if (buffer[0] == '\0' && defaultText != nullptr) {
    size_t length = strnlen(defaultText, size - 1);
    std::memcpy(buffer, defaultText, length);
    buffer[length] = '\0';
  }
  return result;
}

plat::LONG CRegTool::WriteString(const char* name, const char* text) {
  return plat::RegSetValueExA(m_hKey, name, 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(text),
                              static_cast<plat::DWORD>(std::strlen(text) + 1));
}

int CRegTool::ReadDword(const char* name, plat::DWORD* destination, plat::DWORD defaultValue) {
  // Cleared first: a value of fewer than 4 bytes must not leave the other bytes as they were.
  *destination = 0;
  if (QueryValue(m_hKey, name, destination, sizeof(*destination)) != plat::ERROR_SUCCESS) {
    *destination = defaultValue;
    return 0;
  }
  return 1;
}

plat::LONG CRegTool::WriteDword(const char* name, plat::DWORD value) {
  return plat::RegSetValueExA(m_hKey, name, 0, plat::REG_DWORD, reinterpret_cast<const plat::BYTE*>(&value),
                              sizeof(value));
}

plat::LONG CRegTool::ReadBinary(const char* name, void* buffer, plat::DWORD size) {
  return QueryValue(m_hKey, name, buffer, size);
}

plat::LONG CRegTool::WriteBinary(const char* name, const void* data, plat::DWORD size) {
  return plat::RegSetValueExA(m_hKey, name, 0, plat::REG_BINARY, static_cast<const plat::BYTE*>(data), size);
}

void CRegTool::DeleteSubKey(plat::HKEY root, const char* path, const char* name) {
  if (Open(root, path) != plat::ERROR_SUCCESS) return;
  plat::RegDeleteKeyA(m_hKey, name);
  Close();
}

plat::LONG CRegTool::DeleteKeyRecursive(plat::HKEY root, const char* path) {
  plat::HKEY key = nullptr;
  plat::LONG result = plat::RegOpenKeyExA(root, path, 0, plat::KEY_ALL_ACCESS, &key);
  if (result != plat::ERROR_SUCCESS) return result;
  char previous[127] = "";
  while (true) {
    char name[127] = "";
    plat::DWORD length = sizeof(name);
    if (plat::RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != plat::ERROR_SUCCESS)
      break;
    // The same first subkey again means it could not be deleted: stop rather than loop.
    if (std::strcmp(name, previous) == 0) break;
    DeleteKeyRecursive(key, name);
    std::memcpy(previous, name, sizeof(previous));
  }
  plat::RegCloseKey(key);
  return plat::RegDeleteKeyA(root, path);
}

plat::LONG QueryValue(plat::HKEY key, const char* name, void* buffer, plat::DWORD size) {
  plat::DWORD stored = 0;
  plat::LONG result = plat::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &stored);
  if (result != plat::ERROR_SUCCESS) return result;
  if (stored > size) stored = size;
  return plat::RegQueryValueExA(key, name, nullptr, nullptr, static_cast<plat::BYTE*>(buffer), &stored);
}

}  // namespace TOOLFUNC_registry
