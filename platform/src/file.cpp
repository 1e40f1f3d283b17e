// File calls on Windows-form paths.
#include "plat/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "errno_map.h"
#include "handle_table.h"
#include "host_file.h"
#include "plat/error.h"
#include "plat/path.h"
#include "posix_call.h"

namespace plat {
namespace {

std::string ParentOf(const std::string& hostPath) {
  size_t slash = hostPath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

bool IsDirectory(const std::string& hostPath) {
  struct stat info;
  return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The Windows error for a path the host refused with `error`. Windows tells a missing name in an
// existing directory from a missing directory; a path the layer cannot convert is a missing path.
DWORD LookupError(const std::string& hostPath, int error) {
  if (hostPath.empty()) return ERROR_PATH_NOT_FOUND;
  if (error != ENOENT) return detail::Win32ErrorOf(error);
  return IsDirectory(ParentOf(hostPath)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD AttributesOf(const std::string& hostPath, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  // The write bits count as well as access(): for root access() grants writing to every file, while a
  // file without write bits is the read-only file the programs mean.
  bool writable = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(hostPath.c_str(), W_OK) == 0;
  return writable ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;

FILETIME FileTimeOf(int64_t seconds, int64_t nanoseconds) {
  int64_t ticks = std::max<int64_t>(0, kUnixEpochAsFileTime + seconds * 10000000 + nanoseconds / 100);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
}

FILETIME FileTimeOf(const statx_timestamp& time) { return FileTimeOf(time.tv_sec, time.tv_nsec); }

struct FileTimes {
  FILETIME creation;
  FILETIME lastAccess;
  FILETIME lastWrite;
};

// The times of `path` under `directoryFd` (statx rules). Not every file system keeps a birth time; the
// last write stands in for the creation time there.
bool ReadFileTimes(int directoryFd, const char* path, int flags, FileTimes* times) {
  struct statx info;
  if (statx(directoryFd, path, flags, STATX_BTIME | STATX_ATIME | STATX_MTIME, &info) != 0) return false;
  times->creation = FileTimeOf((info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_mtime);
  times->lastAccess = FileTimeOf(info.stx_atime);
  times->lastWrite = FileTimeOf(info.stx_mtime);
  return true;
}

// Sharing between the layer's opens is flock on the descriptor: a stream holds a shared lock for as
// long as it is open (the runtime shares reading and writing, not deleting); a delete and a read open
// without sharing need the exclusive lock. Takes `lockKind` for as long as `fd` stays open; false when
// another open holds a lock that does not share with it. A file system without flock shares everything.
bool TakeSharingLock(int fd, int lockKind) {
  return flock(fd, lockKind | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// The descriptor of a CreateFileA handle, closed with the last reference to it.
class FileObject : public detail::KernelObject {
 public:
  explicit FileObject(int fd) : m_fd(fd) {}
  ~FileObject() override { close(m_fd); }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;
  int fd() const { return m_fd; }

 private:
  int m_fd;
};

// The entries of one search, taken when it starts.
class FileSearch : public detail::KernelObject {
 public:
  explicit FileSearch(std::vector<WIN32_FIND_DATAA> entries) : m_entries(std::move(entries)) {}
  bool Next(WIN32_FIND_DATAA* data) {
    size_t index = m_next.fetch_add(1);
    if (index >= m_entries.size()) return false;
    *data = m_entries[index];
    return true;
  }

 private:
  std::vector<WIN32_FIND_DATAA> m_entries;
  std::atomic<size_t> m_next{0};
};

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) { return UpperAscii(c); });
  return text;
}

bool MatchesWildcards(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '?' ||
        (*pattern != '*' && *pattern != '\0' && UpperAscii(*pattern) == UpperAscii(*name))) {
      ++pattern;
      ++name;
    } else if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// Windows lets a final ".*" match the end of a name, so "*.*" finds every name, dotted or not.
bool MatchesSearchPattern(const std::string& pattern, const char* name) {
  if (MatchesWildcards(pattern.c_str(), name)) return true;
  size_t length = pattern.size();
  return length >= 2 && pattern.compare(length - 2, 2, ".*") == 0 &&
         MatchesWildcards(pattern.substr(0, length - 2).c_str(), name);
}

WIN32_FIND_DATAA FindDataOf(const std::string& hostPath, const char* name, const struct stat& info) {
  WIN32_FIND_DATAA data = {};
  data.dwFileAttributes = AttributesOf(hostPath, info);
  // Tools that walk a tree must be able to tell a link from the directory it points to.
  struct stat own;
  if (lstat(hostPath.c_str(), &own) == 0 && S_ISLNK(own.st_mode))
    data.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  FileTimes times;
  if (ReadFileTimes(AT_FDCWD, hostPath.c_str(), 0, &times) ||
      ReadFileTimes(AT_FDCWD, hostPath.c_str(), AT_SYMLINK_NOFOLLOW, &times)) {
    data.ftCreationTime = times.creation;
    data.ftLastAccessTime = times.lastAccess;
    data.ftLastWriteTime = times.lastWrite;
  }
  if (!S_ISDIR(info.st_mode)) {
    uint64_t size = static_cast<uint64_t>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  std::strncpy(data.cFileName, name, MAX_PATH - 1);
  return data;
}

// The directory part of a search pattern (up to its last separator, or a bare drive) and the rest.
void SplitSearchPattern(const std::string& pattern, std::string* directory, std::string* namePattern) {
  size_t nameStart = pattern.find_last_of("\\/");
  if (nameStart != std::string::npos)
    ++nameStart;
  else
    nameStart = (pattern.size() >= 2 && pattern[1] == ':') ? 2 : 0;
  *directory = pattern.substr(0, nameStart);
  *namePattern = pattern.substr(nameStart);
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR path) {
  std::string hostPath = ToHostPath(path);
  struct stat info;
  if (hostPath.empty() || stat(hostPath.c_str(), &info) != 0) {
    SetLastError(LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(hostPath, info);
}

int _access(LPCSTR path, int mode) {
  std::string hostPath = ToHostPath(path);
  const int wanted = ((mode & 2) ? W_OK : 0) | ((mode & 4) ? R_OK : 0);
  return !hostPath.empty() && ::access(hostPath.c_str(), wanted == 0 ? F_OK : wanted) == 0 ? 0 : -1;
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string hostPath = ToHostPath(path);
  if (!hostPath.empty() && chdir(hostPath.c_str()) == 0) return TRUE;
  struct stat info;
  bool isFile = !hostPath.empty() && stat(hostPath.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  SetLastError(isFile ? ERROR_DIRECTORY : LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
  return FALSE;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  std::string current(4096, '\0');
  while (getcwd(current.data(), current.size()) == nullptr) {
    if (errno != ERANGE) {
      SetLastError(detail::Win32ErrorOf(errno));
      return 0;
    }
    current.resize(current.size() * 2);
  }
  current.resize(current.find('\0'));
  return CopyPathResult(ToWindowsPath(current), buffer, size);
}

BOOL CreateDirectoryA(LPCSTR path, LPVOID) {
  std::string hostPath = ToHostPath(path);
  if (!hostPath.empty() && mkdir(hostPath.c_str(), 0777) == 0) return TRUE;
  // What is missing when a directory cannot be made is the path to it.
  int error = hostPath.empty() ? ENOENT : errno;
  SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : detail::Win32ErrorOf(error));
  return FALSE;
}

BOOL DeleteFileA(LPCSTR path) {
  std::string hostPath = ToHostPath(path);
  struct stat info;
  if (hostPath.empty() || lstat(hostPath.c_str(), &info) != 0) {
    SetLastError(LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
    return FALSE;
  }
  // A symbolic link goes as the link; what it points to is neither checked nor touched.
  const bool isLink = S_ISLNK(info.st_mode);
  if (S_ISDIR(info.st_mode) || (!isLink && AttributesOf(hostPath, info) == FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // The exclusive lock is held over the unlink, so no open of the layer can take the file in between.
  int fd = isLink ? -1 : open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  DWORD error = ERROR_SUCCESS;
  if (fd >= 0 && !TakeSharingLock(fd, LOCK_EX))
    error = ERROR_SHARING_VIOLATION;
  else if (unlink(hostPath.c_str()) != 0)
    error = LookupError(hostPath, errno);
  if (fd >= 0) close(fd);
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  std::string directory;
  std::string namePattern;
  SplitSearchPattern(pattern != nullptr ? pattern : "", &directory, &namePattern);
  std::string hostDirectory = directory.empty() ? "." : ToHostPath(directory.c_str());
  DIR* stream = opendir(hostDirectory.c_str());
  if (stream == nullptr) {
    // A missing directory of a pattern is a missing path, also where its parent exists.
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : detail::Win32ErrorOf(errno));
    return INVALID_HANDLE_VALUE;
  }
  std::vector<WIN32_FIND_DATAA> entries;
  while (const dirent* entry = readdir(stream)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
        !MatchesSearchPattern(namePattern, name))
      continue;
    std::string hostPath = hostDirectory + "/" + name;
    struct stat info;
    if (stat(hostPath.c_str(), &info) == 0 || lstat(hostPath.c_str(), &info) == 0)
      entries.push_back(FindDataOf(hostPath, name, info));
  }
  closedir(stream);
  if (entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // The order of an NTFS directory: by upper-cased name; the exact name only breaks ties.
  std::sort(entries.begin(), entries.end(), [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
    std::string upperA = UpperAscii(a.cFileName);
    std::string upperB = UpperAscii(b.cFileName);
    return upperA != upperB ? upperA < upperB : std::strcmp(a.cFileName, b.cFileName) < 0;
  });
  auto search = std::make_shared<FileSearch>(std::move(entries));
  search->Next(data);
  return detail::AddHandle(std::move(search));
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  auto found = std::dynamic_pointer_cast<FileSearch>(detail::FindHandle(search));
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (found->Next(data)) return TRUE;
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}

BOOL FindClose(HANDLE search) {
  if (std::dynamic_pointer_cast<FileSearch>(detail::FindHandle(search)) == nullptr ||
      !detail::RemoveHandle(search)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPVOID /*securityAttributes*/,
                   DWORD creationDisposition, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  if (creationDisposition != OPEN_EXISTING || (desiredAccess != 0 && desiredAccess != GENERIC_READ)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string hostPath = ToHostPath(fileName);
  struct stat info;
  if (hostPath.empty() || stat(hostPath.c_str(), &info) != 0) {
    SetLastError(LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
    return INVALID_HANDLE_VALUE;
  }
  if (S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  // Reading the attributes needs no right to read the content; O_PATH asks for none.
  const bool forReading = desiredAccess == GENERIC_READ;
  int fd = open(hostPath.c_str(), (forReading ? O_RDONLY | O_NONBLOCK | O_NOCTTY : O_PATH) | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(LookupError(hostPath, errno));
    return INVALID_HANDLE_VALUE;
  }
  if (forReading && !TakeSharingLock(fd, shareMode == 0 ? LOCK_EX : LOCK_SH)) {
    close(fd);
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  return detail::AddHandle(std::make_shared<FileObject>(fd));
}

BOOL GetFileTime(HANDLE file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime) {
  auto found = std::dynamic_pointer_cast<FileObject>(detail::FindHandle(file));
  FileTimes times;
  if (found == nullptr || !ReadFileTimes(found->fd(), "", AT_EMPTY_PATH, &times)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (creationTime != nullptr) *creationTime = times.creation;
  if (lastAccessTime != nullptr) *lastAccessTime = times.lastAccess;
  if (lastWriteTime != nullptr) *lastWriteTime = times.lastWrite;
  return TRUE;
}

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
  std::string source = ToHostPath(existingFile);
  std::string target = ToHostPath(newFile);
  struct stat info;
  if (source.empty() || stat(source.c_str(), &info) != 0) {
    SetLastError(LookupError(source, source.empty() ? ENOENT : errno));
    return FALSE;
  }
  if (S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct stat targetInfo;
  if (!target.empty() && stat(target.c_str(), &targetInfo) == 0) {
    if (failIfExists) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(targetInfo.st_mode) || AttributesOf(target, targetInfo) == FILE_ATTRIBUTE_READONLY) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  } else if (target.empty() || !IsDirectory(ParentOf(target))) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  detail::FileDescriptor input(open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (input.get() < 0) {
    SetLastError(LookupError(source, errno));
    return FALSE;
  }
  // Reading shares with streams but not with an open that keeps every other reader out.
  if (!TakeSharingLock(input.get(), LOCK_SH)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  std::string content;
  int error = 0;
  for (;;) {
    char chunk[65536];
    const ssize_t got = detail::RetryAfterSignal(-1, ::read, input.get(), chunk, sizeof(chunk));
    if (got < 0) error = errno;
    if (got <= 0) break;
    content.append(chunk, static_cast<size_t>(got));
  }
  if (error == 0) error = detail::ReplaceHostFile(target, content);
  if (error == 0) return TRUE;
  // The source was there, so what is missing is the target's directory.
  SetLastError(error == ENOENT ? ERROR_PATH_NOT_FOUND : detail::Win32ErrorOf(error));
  return FALSE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  std::string hostPath = ToHostPath(path);
  struct stat info;
  if (hostPath.empty() || lstat(hostPath.c_str(), &info) != 0) {
    SetLastError(LookupError(hostPath, hostPath.empty() ? ENOENT : errno));
    return FALSE;
  }
  if (S_ISLNK(info.st_mode)) {
    // Only the link goes; following it would remove a directory somewhere else.
    if (unlink(hostPath.c_str()) == 0) return TRUE;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (rmdir(hostPath.c_str()) == 0) return TRUE;
  // rmdir may tell a directory with entries as EEXIST as well.
  SetLastError(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : detail::Win32ErrorOf(errno));
  return FALSE;
}

}  // namespace plat
