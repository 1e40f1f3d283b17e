// Registry calls on keys of the shared store: handles, access rights and the protected-key seam.
#include "plat/registry.h"

#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plat/error.h"
#include "plat/testing/registry.h"
#include "registry_store.h"

namespace plat {
namespace {

using detail::FoldedRegistryName;
using detail::RegistryKey;
using detail::RegistryRoot;
using detail::RegistryTree;
using detail::RegistryValue;

constexpr DWORD WRITE_DAC = 0x00040000;
constexpr DWORD WRITE_OWNER = 0x00080000;
// Every right that lets a handle change its key or what is below it.
constexpr DWORD kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
// Windows refuses to create a key whose name is longer.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kFileTimeSize = 8;  // a FILETIME: two DWORDs

// What a handle stands for: a key of one store, found by its path and told apart from a later key of
// the same path by its id.
struct OpenKey {
  RegistryRoot root = RegistryRoot::LocalMachine;
  std::vector<std::string> path;  // folded names below the root
  uint64_t id = 0;
  DWORD access = 0;
};

// One lock over handles, protection and store operations keeps a call whole against other threads;
// the store's file lock does the same against other processes.
std::mutex g_mutex;
// Built on first use: the programs call the layer from their static constructors too.
std::map<uintptr_t, OpenKey>& OpenKeys() {
  static std::map<uintptr_t, OpenKey> value;
  return value;
}
uintptr_t g_lastHandle = 0x1000;
// Built on first use: the programs call the layer from their static constructors too.
std::set<std::pair<RegistryRoot, std::vector<std::string>>>& ProtectedKeys() {
  static std::set<std::pair<RegistryRoot, std::vector<std::string>>> value;
  return value;
}

std::optional<RegistryRoot> PredefinedRoot(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return RegistryRoot::ClassesRoot;
  if (key == HKEY_CURRENT_USER) return RegistryRoot::CurrentUser;
  if (key == HKEY_LOCAL_MACHINE) return RegistryRoot::LocalMachine;
  if (key == HKEY_USERS) return RegistryRoot::Users;
  return std::nullopt;
}

// The caller holds g_mutex. A predefined root is always open with every right.
std::optional<OpenKey> Resolve(HKEY key) {
  if (std::optional<RegistryRoot> root = PredefinedRoot(key)) return OpenKey{*root, {}, 0, KEY_ALL_ACCESS};
  auto found = OpenKeys().find(reinterpret_cast<uintptr_t>(key));
  if (found == OpenKeys().end()) return std::nullopt;
  return found->second;
}

// The caller holds g_mutex.
HKEY AddOpenKey(OpenKey key) {
  g_lastHandle += 4;
  OpenKeys().emplace(g_lastHandle, std::move(key));
  return reinterpret_cast<HKEY>(g_lastHandle);
}

// The names of a "\"-separated path as spelled; empty parts (a leading "\", doubled ones) are dropped.
std::vector<std::string> SplitSubKey(LPCSTR subKey) {
  std::vector<std::string> names;
  std::string current;
  for (const char* p = subKey ? subKey : ""; *p != '\0'; ++p) {
    if (*p != '\\') {
      current += *p;
    } else if (!current.empty()) {
      names.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) names.push_back(std::move(current));
  return names;
}

std::vector<std::string> Below(const OpenKey& base, const std::vector<std::string>& names) {
  std::vector<std::string> path = base.path;
  for (const std::string& name : names) path.push_back(FoldedRegistryName(name));
  return path;
}

// The caller holds g_mutex.
bool IsProtected(RegistryRoot root, const std::vector<std::string>& path) {
  for (size_t length = 0; length <= path.size(); ++length) {
    std::vector<std::string> prefix(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(length));
    if (ProtectedKeys().count({root, prefix}) != 0) return true;
  }
  return false;
}

std::string ValueKey(LPCSTR valueName) { return FoldedRegistryName(valueName ? valueName : ""); }

// Reads the store of `open` and finds its key in `tree`.
DWORD LoadKey(const OpenKey& open, RegistryTree& tree, RegistryKey*& key) {
  if (DWORD status = detail::ReadRegistryStore(open.root, tree); status != ERROR_SUCCESS) return status;
  key = detail::FindRegistryKey(tree, open.path, open.id);
  return key != nullptr ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Reads the key behind the handle `key` when the handle grants every bit of `rights` (0: none needed).
DWORD LoadKeyWithRights(HKEY key, DWORD rights, RegistryTree& tree, RegistryKey*& current) {
  std::optional<OpenKey> open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if ((open->access & rights) != rights) return ERROR_ACCESS_DENIED;
  return LoadKey(*open, tree, current);
}

// Runs `read` on the key behind the handle under the registry lock, when the handle grants every bit
// of `rights`; else the error of loading it.
template <typename Read>
LONG ReadKey(HKEY key, DWORD rights, Read read) {
  std::lock_guard<std::mutex> lock(g_mutex);
  RegistryTree tree;
  RegistryKey* current = nullptr;
  if (DWORD status = LoadKeyWithRights(key, rights, tree, current); status != ERROR_SUCCESS)
    return static_cast<LONG>(status);
  return static_cast<LONG>(read(*current));
}

// Runs `change` on the key behind the handle as one change of its store, under the registry lock, when
// the handle may set values and the key is not protected.
template <typename Change>
LONG ChangeValues(HKEY key, Change change) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::optional<OpenKey> open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if ((open->access & KEY_SET_VALUE) == 0 || IsProtected(open->root, open->path)) return ERROR_ACCESS_DENIED;
  return static_cast<LONG>(detail::ChangeRegistryStore(open->root, [&](RegistryTree& tree) -> DWORD {
    RegistryKey* current = detail::FindRegistryKey(tree, open->path, open->id);
    if (current == nullptr) return ERROR_KEY_DELETED;
    return change(*current);
  }));
}

DWORD CopyValueData(const RegistryValue& value, LPDWORD type, BYTE* data, LPDWORD dataSize) {
  if (type != nullptr) *type = value.type;
  DWORD size = static_cast<DWORD>(value.data.size());
  if (data != nullptr) {
    if (size > *dataSize) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.data.data(), size);
  }
  if (dataSize != nullptr) *dataSize = size;
  return ERROR_SUCCESS;
}

// Copies `name` with its terminator when it fits into `*size` characters and sets `*size` to its
// length.
DWORD CopyName(const std::string& name, LPSTR buffer, LPDWORD size) {
  if (name.size() >= *size) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, DWORD desiredAccess, LPVOID, HKEY* result,
                     LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::optional<OpenKey> base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  std::vector<std::string> names = SplitSubKey(subKey);
  for (const std::string& name : names)
    if (name.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
  OpenKey opened{base->root, Below(*base, names), 0, desiredAccess};
  if (IsProtected(opened.root, opened.path)) return ERROR_ACCESS_DENIED;

  bool created = false;
  DWORD status = detail::ChangeRegistryStore(base->root, [&](RegistryTree& tree) -> DWORD {
    RegistryKey* current = detail::FindRegistryKey(tree, base->path, base->id);
    if (current == nullptr) return ERROR_KEY_DELETED;
    for (const std::string& name : names) {
      auto [entry, isNew] = current->subkeys.try_emplace(FoldedRegistryName(name));
      if (isNew) {
        // As on Windows, the right is needed only where a key is really made.
        if ((base->access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
        entry->second.name = name;
        entry->second.id = tree.nextId++;
        created = true;
      }
      current = &entry->second;
    }
    opened.id = current->id;
    return ERROR_SUCCESS;
  });
  if (status != ERROR_SUCCESS) return static_cast<LONG>(status);
  *result = AddOpenKey(std::move(opened));
  if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, DWORD desiredAccess, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::optional<OpenKey> base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  RegistryTree tree;
  RegistryKey* current = nullptr;
  if (DWORD status = LoadKey(*base, tree, current); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  std::vector<std::string> path = Below(*base, SplitSubKey(subKey));
  for (size_t i = base->path.size(); i < path.size(); ++i) {
    auto found = current->subkeys.find(path[i]);
    if (found == current->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    current = &found->second;
  }
  if ((desiredAccess & kWriteRights) != 0 && IsProtected(base->root, path)) return ERROR_ACCESS_DENIED;
  *result = AddOpenKey(OpenKey{base->root, std::move(path), current->id, desiredAccess});
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, BYTE* data,
                      LPDWORD dataSize) {
  if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegistryKey& current) -> DWORD {
    auto found = current.values.find(ValueKey(valueName));
    if (found == current.values.end()) return ERROR_FILE_NOT_FOUND;
    return CopyValueData(found->second, type, data, dataSize);
  });
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
  return ChangeValues(key, [&](RegistryKey& current) -> DWORD {
    auto [entry, isNew] = current.values.try_emplace(ValueKey(valueName));
    if (isNew) entry->second.name = valueName ? valueName : "";
    entry->second.type = type;
    entry->second.data.assign(reinterpret_cast<const char*>(data), dataSize);
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
  return ChangeValues(key, [&](RegistryKey& current) -> DWORD {
    return current.values.erase(ValueKey(valueName)) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::optional<OpenKey> base = Resolve(key);
  if (!base) return ERROR_INVALID_HANDLE;
  std::vector<std::string> path = Below(*base, SplitSubKey(subKey));
  if (path.empty()) return ERROR_ACCESS_DENIED;  // a root cannot be deleted
  // No right of the handle is needed: Windows asks for DELETE on the key deleted, which the
  // protection models.
  return static_cast<LONG>(detail::ChangeRegistryStore(base->root, [&](RegistryTree& tree) -> DWORD {
    if (detail::FindRegistryKey(tree, base->path, base->id) == nullptr) return ERROR_KEY_DELETED;
    RegistryKey* parent = &tree.root;
    for (size_t i = 0; i + 1 < path.size(); ++i) {
      auto found = parent->subkeys.find(path[i]);
      if (found == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
      parent = &found->second;
    }
    auto target = parent->subkeys.find(path.back());
    if (target == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    if (IsProtected(base->root, path) || !target->second.subkeys.empty()) return ERROR_ACCESS_DENIED;
    parent->subkeys.erase(target);
    return ERROR_SUCCESS;
  }));
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR keyClass,
                   LPDWORD classSize, void* lastWriteTime) {
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_ENUMERATE_SUB_KEYS, [&](const RegistryKey& current) -> DWORD {
    if (index >= current.subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegistryKey& subkey = std::next(current.subkeys.begin(), index)->second;
    if (DWORD status = CopyName(subkey.name, name, nameSize); status != ERROR_SUCCESS) return status;
    // Keys have no class here, and no write time is kept.
    if (classSize != nullptr) {
      if (keyClass != nullptr && *classSize > 0) keyClass[0] = '\0';
      *classSize = 0;
    }
    if (lastWriteTime != nullptr) std::memset(lastWriteTime, 0, kFileTimeSize);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD, LPDWORD type,
                   BYTE* data, LPDWORD dataSize) {
  if (valueName == nullptr || valueNameSize == nullptr || (data != nullptr && dataSize == nullptr))
    return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegistryKey& current) -> DWORD {
    if (index >= current.values.size()) return ERROR_NO_MORE_ITEMS;
    const RegistryValue& value = std::next(current.values.begin(), index)->second;
    if (DWORD status = CopyName(value.name, valueName, valueNameSize); status != ERROR_SUCCESS) return status;
    return CopyValueData(value, type, data, dataSize);
  });
}

LONG RegFlushKey(HKEY key) {
  return ReadKey(key, 0, [](const RegistryKey&) -> DWORD { return ERROR_SUCCESS; });
}

LONG RegCloseKey(HKEY key) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (PredefinedRoot(key)) return ERROR_SUCCESS;
  return OpenKeys().erase(reinterpret_cast<uintptr_t>(key)) != 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void SetRegistryKeyProtectedForTesting(HKEY root, LPCSTR subKey, bool isProtected) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::optional<OpenKey> base = Resolve(root);
  if (!base) return;
  std::pair<RegistryRoot, std::vector<std::string>> entry{base->root, Below(*base, SplitSubKey(subKey))};
  if (isProtected)
    ProtectedKeys().insert(std::move(entry));
  else
    ProtectedKeys().erase(entry);
}

}  // namespace plat
