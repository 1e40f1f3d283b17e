// The registry store file of the machine directory: its text form, reading, and locked replacement.
#include "registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "host_file.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/registry.h"
#include "posix_call.h"

namespace plat::detail {
namespace {

constexpr char kHeader[] = "velcora-registry 1";
constexpr char kEnd[] = "end";

// ---- text form ----------------------------------------------------------------------------------

// Text is kept as text, so that a person can read the store; everything else as hexadecimal bytes.
bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

const char kHexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, unsigned char byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

// Printable ASCII stays as it is; the quote, the backslash and every other byte are escaped, so that
// a line never holds a line break and any name or data survives.
void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      out += "\\x";
      AppendHexByte(out, byte);
    }
  }
  out += '"';
}

void AppendHex(std::string& out, const std::string& data) {
  out += "hex:";
  for (char c : data) AppendHexByte(out, static_cast<unsigned char>(c));
}

void AppendKey(std::string& out, const RegistryKey& key, const std::string& path) {
  out += "key " + std::to_string(key.id) + ' ';
  AppendQuoted(out, path);
  out += '\n';
  for (const auto& [folded, value] : key.values) {
    out += "value ";
    AppendQuoted(out, value.name);
    out += ' ' + std::to_string(value.type) + ' ';
    if (IsStringType(value.type))
      AppendQuoted(out, value.data);
    else
      AppendHex(out, value.data);
    out += '\n';
  }
  for (const auto& [folded, subkey] : key.subkeys)
    AppendKey(out, subkey, path.empty() ? subkey.name : path + '\\' + subkey.name);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the fields of one line from left to right; every reader fails on anything unexpected.
class LineReader {
 public:
  explicit LineReader(const std::string& line) : m_line(line) {}

  bool AtEnd() const { return m_position == m_line.size(); }

  // The text up to the next blank or the end of the line.
  std::string Word() {
    size_t end = m_line.find(' ', m_position);
    if (end == std::string::npos) end = m_line.size();
    std::string word = m_line.substr(m_position, end - m_position);
    m_position = end;
    return word;
  }

  std::optional<uint64_t> Number() {
    std::string word = Word();
    if (word.empty() || word.size() > 19) return std::nullopt;
    uint64_t number = 0;
    for (char c : word) {
      if (c < '0' || c > '9') return std::nullopt;
      number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    return number;
  }

  std::optional<std::string> Quoted() {
    if (!Take('"')) return std::nullopt;
    std::string text;
    while (m_position < m_line.size() && m_line[m_position] != '"') {
      char c = m_line[m_position++];
      if (c != '\\') {
        text += c;
        continue;
      }
      if (m_position >= m_line.size()) return std::nullopt;
      char escaped = m_line[m_position++];
      if (escaped == '"' || escaped == '\\') {
        text += escaped;
      } else if (escaped == 'x' && m_position + 2 <= m_line.size()) {
        int high = HexValue(m_line[m_position]);
        int low = HexValue(m_line[m_position + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        text += static_cast<char>(high * 16 + low);
        m_position += 2;
      } else {
        return std::nullopt;
      }
    }
    if (!Take('"')) return std::nullopt;
    return text;
  }

  // Either form the writer uses, for any type.
  std::optional<std::string> Data() {
    if (m_position < m_line.size() && m_line[m_position] == '"') return Quoted();
    std::string word = Word();
    if (word.compare(0, 4, "hex:") != 0 || word.size() % 2 != 0) return std::nullopt;
    std::string data;
    for (size_t i = 4; i < word.size(); i += 2) {
      int high = HexValue(word[i]);
      int low = HexValue(word[i + 1]);
      if (high < 0 || low < 0) return std::nullopt;
      data += static_cast<char>(high * 16 + low);
    }
    return data;
  }

  bool Blank() { return Take(' '); }

 private:
  bool Take(char c) {
    if (m_position >= m_line.size() || m_line[m_position] != c) return false;
    ++m_position;
    return true;
  }

  const std::string& m_line;
  size_t m_position = 0;
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Builds the tree line by line; the first failure makes the whole text unusable.
class TreeBuilder {
 public:
  bool Header(const std::vector<std::string>& lines) {
    if (lines.size() < 2 || lines[0] != kHeader) return false;
    LineReader reader(lines[1]);
    if (reader.Word() != "next-id" || !reader.Blank()) return false;
    std::optional<uint64_t> nextId = reader.Number();
    if (!nextId || !reader.AtEnd() || *nextId == 0) return false;
    m_tree.nextId = *nextId;
    return true;
  }

  bool Line(const std::string& line) {
    LineReader reader(line);
    std::string kind = reader.Word();
    if (!reader.Blank()) return false;
    if (kind == "key") return KeyLine(reader);
    if (kind == "value") return ValueLine(reader);
    return false;
  }

  // A text without the root's line is no store.
  std::optional<RegistryTree> Finished() {
    if (m_current == nullptr) return std::nullopt;
    return std::move(m_tree);
  }

 private:
  bool KeyLine(LineReader& reader) {
    std::optional<uint64_t> id = reader.Number();
    if (!id || !reader.Blank()) return false;
    std::optional<std::string> path = reader.Quoted();
    if (!path || !reader.AtEnd()) return false;
    if (path->empty()) {  // the root, always the first key line
      if (m_current != nullptr || *id != 0) return false;
      m_current = &m_tree.root;
      return true;
    }
    if (m_current == nullptr || *id == 0 || *id >= m_tree.nextId || !m_ids.insert(*id).second) return false;
    RegistryKey* parent = &m_tree.root;
    size_t start = 0;
    while (true) {
      size_t end = path->find('\\', start);
      std::string name = path->substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (name.empty()) return false;
      std::string folded = FoldedRegistryName(name);
      if (end == std::string::npos) {
        RegistryKey& key = parent->subkeys[folded];
        if (key.id != 0) return false;  // the same key twice
        key.name = name;
        key.id = *id;
        m_current = &key;
        return true;
      }
      auto found = parent->subkeys.find(folded);
      if (found == parent->subkeys.end()) return false;  // a key before its parent
      parent = &found->second;
      start = end + 1;
    }
  }

  bool ValueLine(LineReader& reader) {
    std::optional<std::string> name = reader.Quoted();
    if (!name || !reader.Blank()) return false;
    std::optional<uint64_t> type = reader.Number();
    if (!type || *type > 0xFFFFFFFFu || !reader.Blank()) return false;
    std::optional<std::string> data = reader.Data();
    if (!data || !reader.AtEnd() || m_current == nullptr) return false;
    auto [entry, isNew] = m_current->values.try_emplace(FoldedRegistryName(*name));
    if (!isNew) return false;
    entry->second = RegistryValue{*name, static_cast<DWORD>(*type), std::move(*data)};
    return true;
  }

  RegistryTree m_tree;
  RegistryKey* m_current = nullptr;
  std::set<uint64_t> m_ids;
};

// ---- files --------------------------------------------------------------------------------------

std::string RootFileName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case RegistryRoot::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RegistryRoot::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::Users:
      return "HKEY_USERS";
  }
  return "HKEY_UNKNOWN";
}

std::string StoreDirectory() { return MachineDirectory() + "/registry"; }

std::string StorePath(RegistryRoot root) { return StoreDirectory() + "/" + RootFileName(root) + ".store"; }

DWORD WriteError(int error) {
  if (error == EACCES || error == EPERM || error == EROFS) return ERROR_ACCESS_DENIED;
  return ERROR_CANTWRITE;
}

DWORD ReplaceStore(const std::string& storePath, const std::string& content) {
  int error = ReplaceHostFile(storePath, content);
  if (error == EIO) return ERROR_CANTWRITE;
  return error == 0 ? ERROR_SUCCESS : WriteError(error);
}

}  // namespace

std::string FoldedRegistryName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

std::string FormatRegistryTree(const RegistryTree& tree) {
  std::string out = std::string(kHeader) + "\nnext-id " + std::to_string(tree.nextId) + '\n';
  AppendKey(out, tree.root, "");
  return out + kEnd + '\n';
}

std::optional<RegistryTree> ParseRegistryTree(const std::string& text) {
  std::vector<std::string> lines = SplitLines(text);
  TreeBuilder builder;
  if (text.empty() || text.back() != '\n' || !builder.Header(lines) || lines.back() != kEnd)
    return std::nullopt;
  for (size_t i = 2; i + 1 < lines.size(); ++i)
    if (!builder.Line(lines[i])) return std::nullopt;
  return builder.Finished();
}

RegistryKey* FindRegistryKey(RegistryTree& tree, const std::vector<std::string>& path, uint64_t id) {
  RegistryKey* key = &tree.root;
  for (const std::string& folded : path) {
    auto found = key->subkeys.find(folded);
    if (found == key->subkeys.end()) return nullptr;
    key = &found->second;
  }
  return key->id == id ? key : nullptr;
}

DWORD ReadRegistryStore(RegistryRoot root, RegistryTree& tree) {
  std::string content;
  int error = ReadHostFile(StorePath(root), content);
  if (error == ENOENT) {
    tree = RegistryTree();
    return ERROR_SUCCESS;
  }
  if (error != 0) return ERROR_CANTREAD;
  std::optional<RegistryTree> parsed = ParseRegistryTree(content);
  if (!parsed) return ERROR_CANTREAD;
  tree = std::move(*parsed);
  return ERROR_SUCCESS;
}

DWORD ChangeRegistryStore(RegistryRoot root, const std::function<DWORD(RegistryTree&)>& change) {
  std::string directory = StoreDirectory();
  // For the owner alone, as the machine directory around it.
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return WriteError(errno);
  std::string lockPath = directory + "/" + RootFileName(root) + ".lock";
  FileDescriptor lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (lock.get() < 0) return WriteError(errno);
  if (RetryAfterSignal(-1, ::flock, lock.get(), LOCK_EX) != 0) return ERROR_CANTWRITE;
  // The lock goes with the descriptor when this returns.

  RegistryTree tree;
  if (DWORD loaded = ReadRegistryStore(root, tree); loaded != ERROR_SUCCESS) return loaded;
  std::string before = FormatRegistryTree(tree);
  if (DWORD result = change(tree); result != ERROR_SUCCESS) return result;
  std::string after = FormatRegistryTree(tree);
  if (after == before) return ERROR_SUCCESS;
  return ReplaceStore(StorePath(root), after);
}

}  // namespace plat::detail
