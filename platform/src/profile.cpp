// The profile (INI file) functions.
#include "plat/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "errno_map.h"
#include "host_file.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/machine.h"
#include "plat/path.h"

namespace plat {
namespace {

// One profile call at a time in the process, so a read never sees a half-done edit of another thread.
std::mutex g_profileMutex;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

std::string WithoutQuotes(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// What one line of a profile file means.
struct LineMeaning {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;   // section or key name, blanks trimmed
  std::string value;  // key value, blanks and quotes removed
};

LineMeaning Interpret(const std::string& body) {
  LineMeaning meaning;
  std::string text = Trimmed(body);
  if (text.empty() || text[0] == ';') return meaning;
  if (text[0] == '[') {
    size_t close = text.find(']');
    meaning.kind = LineMeaning::kSection;
    meaning.name = Trimmed(close == std::string::npos ? text.substr(1) : text.substr(1, close - 1));
    return meaning;
  }
  size_t equals = text.find('=');
  if (equals == std::string::npos) return meaning;
  meaning.kind = LineMeaning::kKey;
  meaning.name = Trimmed(text.substr(0, equals));
  meaning.value = WithoutQuotes(Trimmed(text.substr(equals + 1)));
  return meaning;
}

// The lines of a profile file, each kept with its own line ending, so an edit touches only the lines
// it changes.
class ProfileText {
 public:
  explicit ProfileText(const std::string& content) {
    size_t start = 0;
    while (start < content.size()) {
      size_t newline = content.find('\n', start);
      size_t end = (newline == std::string::npos) ? content.size() : newline + 1;
      m_lines.push_back(content.substr(start, end - start));
      start = end;
    }
    for (const std::string& line : m_lines) {
      if (line.back() != '\n') continue;
      m_newline = (line.size() >= 2 && line[line.size() - 2] == '\r') ? "\r\n" : "\n";
      break;
    }
  }

  std::string Content() const {
    std::string content;
    for (const std::string& line : m_lines) content += line;
    return content;
  }

  std::vector<std::string> SectionNames() const {
    std::vector<std::string> names;
    for (size_t i = 0; i < m_lines.size(); ++i) {
      LineMeaning meaning = MeaningOf(i);
      if (meaning.kind == LineMeaning::kSection) names.push_back(meaning.name);
    }
    return names;
  }

  std::vector<std::string> KeyNames(const char* section) const {
    std::vector<std::string> names;
    if (std::optional<size_t> header = FindSection(section)) {
      for (size_t i = *header + 1, end = SectionEnd(*header); i < end; ++i) {
        LineMeaning meaning = MeaningOf(i);
        if (meaning.kind == LineMeaning::kKey) names.push_back(meaning.name);
      }
    }
    return names;
  }

  std::optional<std::string> Value(const char* section, const char* key) const {
    std::optional<size_t> header = FindSection(section);
    if (!header) return std::nullopt;
    std::optional<size_t> line = FindKey(*header, key);
    if (!line) return std::nullopt;
    return MeaningOf(*line).value;
  }

  void SetKey(const char* section, const char* key, const char* value) {
    std::string entry = std::string(key) + "=" + value;
    std::optional<size_t> header = FindSection(section);
    if (!header) {
      TerminateLine(m_lines.size());
      m_lines.push_back("[" + std::string(section) + "]" + m_newline);
      m_lines.push_back(entry + m_newline);
      return;
    }
    if (std::optional<size_t> line = FindKey(*header, key)) {
      m_lines[*line] = entry + EndingOf(*line);
      return;
    }
    size_t lastFilled = *header;
    for (size_t i = *header + 1, end = SectionEnd(*header); i < end; ++i)
      if (!Trimmed(BodyOf(i)).empty()) lastFilled = i;
    TerminateLine(lastFilled + 1);
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), entry + m_newline);
  }

  bool DeleteKey(const char* section, const char* key) {
    std::optional<size_t> header = FindSection(section);
    std::optional<size_t> line = header ? FindKey(*header, key) : std::nullopt;
    if (!line) return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*line));
    return true;
  }

  bool DeleteSection(const char* section) {
    std::optional<size_t> header = FindSection(section);
    if (!header) return false;
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(*header),
                  m_lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(*header)));
    return true;
  }

 private:
  std::string BodyOf(size_t line) const {
    const std::string& text = m_lines[line];
    return text.substr(0, text.size() - EndingOf(line).size());
  }

  std::string EndingOf(size_t line) const {
    const std::string& text = m_lines[line];
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) return "\r\n";
    if (!text.empty() && text.back() == '\n') return "\n";
    return "";
  }

  LineMeaning MeaningOf(size_t line) const { return Interpret(BodyOf(line)); }

  // The line before `next` gets a line ending when it is a last line without one, so that a line
  // can follow it.
  void TerminateLine(size_t next) {
    if (next == 0 || next > m_lines.size()) return;
    if (EndingOf(next - 1).empty()) m_lines[next - 1] += m_newline;
  }

  std::optional<size_t> FindSection(const char* section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
      LineMeaning meaning = MeaningOf(i);
      if (meaning.kind == LineMeaning::kSection && EqualsIgnoringAsciiCase(meaning.name, section)) return i;
    }
    return std::nullopt;
  }

  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < m_lines.size() && MeaningOf(i).kind != LineMeaning::kSection) ++i;
    return i;
  }

  std::optional<size_t> FindKey(size_t header, const char* key) const {
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
      LineMeaning meaning = MeaningOf(i);
      if (meaning.kind == LineMeaning::kKey && EqualsIgnoringAsciiCase(meaning.name, key)) return i;
    }
    return std::nullopt;
  }

  std::vector<std::string> m_lines;
  std::string m_newline = "\r\n";  // the ending the file already uses; a new file gets CR LF
};

std::string ProfileHostPath(const char* fileName) {
  const char* name = (fileName != nullptr) ? fileName : "win.ini";
  if (std::strpbrk(name, "\\/:") == nullptr) return ToHostPath((WindowsDirectoryHost() + "/" + name).c_str());
  return ToHostPath(name);
}

bool IsReadOnly(const std::string& hostPath) {
  DWORD attributes = GetFileAttributesA(hostPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

std::optional<std::string> ReadWholeFile(const std::string& hostPath) {
  std::string content;
  if (detail::ReadHostFile(hostPath, content) != 0) return std::nullopt;
  return content;
}

// A settings file is made where it is missing, so a missing name is its directory.
DWORD CreateError(int error) { return error == ENOENT ? ERROR_PATH_NOT_FOUND : detail::Win32ErrorOf(error); }

// A crash leaves either the old or the new file, never a damaged one.
BOOL ReplaceFile(const std::string& hostPath, const std::string& content) {
  int error = detail::ReplaceHostFile(hostPath, content);
  if (error == 0) return TRUE;
  SetLastError(error == EIO ? ERROR_WRITE_FAULT : CreateError(error));
  return FALSE;
}

// The caller holds g_profileMutex.
std::optional<std::string> ReadValue(LPCSTR section, LPCSTR key, LPCSTR fileName) {
  std::optional<std::string> content = ReadWholeFile(ProfileHostPath(fileName));
  if (!content) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  return ProfileText(*content).Value(section, key);
}

DWORD CopyText(const std::string& text, LPSTR buffer, DWORD size) {
  size_t length = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<DWORD>(length);
}

DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  std::string list;
  for (const std::string& name : names) list.append(name).push_back('\0');
  // A second NUL ends the list; an empty list is that pair alone.
  std::string terminated = list.empty() ? std::string(2, '\0') : list + '\0';
  if (terminated.size() <= size) {
    std::memcpy(buffer, terminated.data(), terminated.size());
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

// Leading blanks, a sign, then decimal digits or "0x" and hexadecimal digits, wrapping at 32 bits;
// whatever follows the digits is ignored.
UINT ParseProfileNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  UINT base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  UINT number = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    UINT digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<UINT>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = static_cast<UINT>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = static_cast<UINT>(c - 'A' + 10);
    else
      break;
    number = number * base + digit;
  }
  return negative ? 0u - number : number;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
  if (buffer == nullptr || size == 0) return 0;
  std::lock_guard<std::mutex> lock(g_profileMutex);
  if (section == nullptr || key == nullptr) {
    std::optional<std::string> content = ReadWholeFile(ProfileHostPath(fileName));
    if (!content) SetLastError(ERROR_FILE_NOT_FOUND);
    ProfileText text(content.value_or(""));
    return CopyList(section == nullptr ? text.SectionNames() : text.KeyNames(section), buffer, size);
  }
  std::optional<std::string> value = ReadValue(section, key, fileName);
  return CopyText(value ? *value : WithoutTrailingBlanks(defaultValue != nullptr ? defaultValue : ""), buffer,
                  size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
  std::lock_guard<std::mutex> lock(g_profileMutex);
  std::optional<std::string> value = ReadValue(section, key, fileName);
  return value ? ParseProfileNumber(*value) : static_cast<UINT>(defaultValue);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  if (section == nullptr) {
    // All three null asks to flush a cache; every call here already went to the file.
    if (key == nullptr && value == nullptr) return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_profileMutex);
  std::string hostPath = ProfileHostPath(fileName);
  std::string content;
  // Only a missing file starts empty: one that cannot be read would lose every other line.
  const int readError = detail::ReadHostFile(hostPath, content);
  if (readError != 0 && readError != ENOENT) {
    SetLastError(CreateError(readError));
    return FALSE;
  }
  if (readError == 0 && IsReadOnly(hostPath)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ProfileText text(content);
  bool changed = true;
  if (key == nullptr)
    changed = text.DeleteSection(section);
  else if (value == nullptr)
    changed = text.DeleteKey(section, key);
  else
    text.SetKey(section, key, value);
  if (!changed) return TRUE;
  return ReplaceFile(hostPath, text.Content());
}

}  // namespace plat
