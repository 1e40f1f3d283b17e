// The registry store: the key tree of one root, its text form and its file in the machine directory.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plat/types.h"

namespace plat::detail {

// The roots that have a store file of their own.
enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// Returns `name` with ASCII letters in upper case: the form names are compared and ordered in, as
// Windows orders keys and values.
std::string FoldedRegistryName(const std::string& name);

struct RegistryValue {
  std::string name;  // the first spelling it was set with
  DWORD type = 0;
  std::string data;  // the bytes as given
};

struct RegistryKey {
  std::string name;  // the first spelling it was created with
  // Unique within its store and never reused, so a handle can tell its key from a later one of the
  // same name.
  uint64_t id = 0;
  std::map<std::string, RegistryKey> subkeys;   // by FoldedRegistryName
  std::map<std::string, RegistryValue> values;  // by FoldedRegistryName
};

struct RegistryTree {
  RegistryKey root;  // id 0
  uint64_t nextId = 1;
};

// Returns the text form of `tree`: a header, one line per key (in tree order, each after its parent)
// followed by the lines of its values, and an end line. Every byte of names and data is kept.
std::string FormatRegistryTree(const RegistryTree& tree);
// Returns the tree of a text FormatRegistryTree wrote; nullopt for anything else, a cut text included.
std::optional<RegistryTree> ParseRegistryTree(const std::string& text);

// Returns the key at `path` (folded names below the root) when it is there and still has `id`.
RegistryKey* FindRegistryKey(RegistryTree& tree, const std::vector<std::string>& path, uint64_t id);

// The store of a root is <machine>/registry/<root name>.store, beside its lock file <root name>.lock.

// Reads the current store of `root` into `tree` (empty when it has none yet) without locking: the file
// is only ever replaced whole. Returns ERROR_SUCCESS, or ERROR_CANTREAD for a store that cannot be read
// or parsed.
DWORD ReadRegistryStore(RegistryRoot root, RegistryTree& tree);

// Under the store's exclusive file lock: reads the store, lets `change` work on the tree and, when it
// returns ERROR_SUCCESS and changed something, writes the tree to a temporary file, syncs it and
// renames it over the store. Returns the result of `change`, ERROR_CANTREAD (the store is left as it
// is), ERROR_ACCESS_DENIED when the machine directory may not be written, or ERROR_CANTWRITE for
// another I/O failure.
DWORD ChangeRegistryStore(RegistryRoot root, const std::function<DWORD(RegistryTree&)>& change);

}  // namespace plat::detail
