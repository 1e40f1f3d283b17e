// Shell shortcuts, kept as a small text file of this system's own instead of the shell's binary form.
#include "plat/shortcut.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "host_file.h"
#include "plat/codepage.h"
#include "plat/error.h"
#include "plat/path.h"

namespace plat {
namespace {

// The first line tells a shortcut of ours from any other file that happens to carry the name.
constexpr char kHeader[] = "[VelcoraShortcut]\n";
constexpr char kTargetKey[] = "Target=";
constexpr char kArgumentsKey[] = "Arguments=";

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// The value of `key` on its own line of `content`, from `position` on; false when that line is not it.
bool ReadLine(const std::string& content, size_t* position, const char* key, std::string* value) {
  size_t end = content.find('\n', *position);
  if (end == std::string::npos) return false;
  std::string line = content.substr(*position, end - *position);
  std::string prefix = key;
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  *value = line.substr(prefix.size());
  *position = end + 1;
  return true;
}

}  // namespace

void ShellLink::SetPath(LPCSTR target) { m_target = target != nullptr ? target : ""; }

void ShellLink::SetArguments(LPCSTR arguments) { m_arguments = arguments != nullptr ? arguments : ""; }

LONG ShellLink::Save(LPCWSTR fileName, BOOL) const {
  if (fileName == nullptr || fileName[0] == 0 || HasLineBreak(m_target) || HasLineBreak(m_arguments))
    return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
  int size = WideCharToMultiByte(CP_ACP, 0, fileName, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER);
  std::vector<char> ansi(static_cast<size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, fileName, -1, ansi.data(), size, nullptr, nullptr);
  std::string hostPath = ToHostPath(ansi.data());
  std::string content =
      std::string(kHeader) + kTargetKey + m_target + "\n" + kArgumentsKey + m_arguments + "\n";
  int error = detail::ReplaceHostFile(hostPath, content);
  if (error == 0) return 0;
  return HRESULT_FROM_WIN32(error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
}

BOOL ReadShortcut(LPCSTR fileName, ShortcutContents* contents) {
  std::string hostPath = ToHostPath(fileName);
  std::string content;
  int error = hostPath.empty() ? ENOENT : detail::ReadHostFile(hostPath, content);
  if (error != 0) {
    size_t slash = hostPath.rfind('/');
    std::string parent = slash == std::string::npos || slash == 0 ? "/" : hostPath.substr(0, slash);
    struct stat info;
    bool parentThere = !hostPath.empty() && stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    SetLastError(error == ENOENT && parentThere        ? ERROR_FILE_NOT_FOUND
                 : error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                       : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ShortcutContents read;
  size_t position = sizeof(kHeader) - 1;
  if (content.compare(0, position, kHeader) != 0 || !ReadLine(content, &position, kTargetKey, &read.target) ||
      !ReadLine(content, &position, kArgumentsKey, &read.arguments) || position != content.size()) {
    SetLastError(ERROR_BAD_FORMAT);
    return FALSE;
  }
  if (contents != nullptr) *contents = read;
  return TRUE;
}

}  // namespace plat
