// Mapping between Windows-form paths and host paths, and the C runtime's path splitting.
#include "plat/path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace plat {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(const char* path) { return IsAsciiLetter(path[0]) && path[1] == ':'; }

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The entry of `directory` ("" is the current directory) that matches `name` without regard to case,
// or "" when there is none. Of several matches the smallest name wins, so the choice does not depend
// on the order the directory happens to list them in.
std::string FindCaseMatch(const std::string& directory, const std::string& name) {
  DIR* stream = opendir(directory.empty() ? "." : directory.c_str());
  if (stream == nullptr) return "";
  std::string best;
  while (const dirent* entry = readdir(stream)) {
    if (EqualsIgnoringAsciiCase(name, entry->d_name) && (best.empty() || best > entry->d_name))
      best = entry->d_name;
  }
  closedir(stream);
  return best;
}

std::vector<std::string> SplitComponents(const char* path) {
  std::vector<std::string> components;
  std::string current;
  for (const char* p = path; *p != '\0'; ++p) {
    if (!IsSeparator(*p)) {
      current += *p;
    } else if (!current.empty()) {
      components.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) components.push_back(current);
  return components;
}

void CopyPart(const char* begin, const char* end, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  size_t length = std::min(static_cast<size_t>(end - begin), size - 1);
  std::memcpy(out, begin, length);
  out[length] = '\0';
}

}  // namespace

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return i == a.size() && b[i] == '\0';
}

std::string ToWindowsPath(const std::string& hostPath) {
  std::string result = (!hostPath.empty() && hostPath[0] == '/') ? "C:" : "";
  for (char c : hostPath) result += (c == '/') ? '\\' : c;
  return result;
}

std::string ToHostPath(const char* windowsPath) {
  if (windowsPath == nullptr || *windowsPath == '\0') return "";
  const char* rest = windowsPath;
  // The host has one file tree, so every drive names its root; "C:name" is read as "C:\name".
  bool absolute = StartsWithDrive(rest) || IsSeparator(rest[0]);
  if (StartsWithDrive(rest)) rest += 2;

  std::string resolved = absolute ? "/" : "";
  bool parentExists = true;
  for (const std::string& component : SplitComponents(rest)) {
    std::string candidate = resolved + component;
    if (parentExists && !Exists(candidate)) {
      std::string match = FindCaseMatch(resolved, component);
      if (match.empty())
        parentExists = false;  // nothing below a missing component can exist either
      else
        candidate = resolved + match;
    }
    resolved = candidate + "/";
  }
  if (resolved.size() > 1) resolved.pop_back();
  return resolved;
}

DWORD CopyPathResult(const std::string& path, LPSTR buffer, DWORD size) {
  DWORD length = static_cast<DWORD>(path.size());
  if (buffer == nullptr || length >= size) return length + 1;
  std::memcpy(buffer, path.data(), length);
  buffer[length] = '\0';
  return length;
}

void SplitPath(const char* path, char* drive, size_t driveSize, char* dir, size_t dirSize, char* fname,
               size_t fnameSize, char* ext, size_t extSize) {
  if (path == nullptr) path = "";
  const char* dirStart = StartsWithDrive(path) ? path + 2 : path;
  const char* nameStart = dirStart;
  for (const char* p = dirStart; *p != '\0'; ++p)
    if (IsSeparator(*p)) nameStart = p + 1;
  const char* end = nameStart + std::strlen(nameStart);
  const char* dot = std::strrchr(nameStart, '.');
  const char* extStart = dot != nullptr ? dot : end;

  CopyPart(path, dirStart, drive, driveSize);
  CopyPart(dirStart, nameStart, dir, dirSize);
  CopyPart(nameStart, extStart, fname, fnameSize);
  CopyPart(extStart, end, ext, extSize);
}

}  // namespace plat
