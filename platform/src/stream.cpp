// Text-mode file streams: the runtime's fopen on Windows-form paths through stdio cookie streams.
#include "plat/stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "plat/path.h"
#include "posix_call.h"

namespace plat {
namespace {

struct StreamMode {
  int openFlags;
  bool truncate;
  bool text;
  const char* cookieMode;
};

bool ParseMode(const char* mode, StreamMode* parsed) {
  if (mode[0] == '\0') return false;
  bool update = false;
  bool binary = false;
  for (const char* p = mode + 1; *p != '\0'; ++p) {
    if (*p == '+')
      update = true;
    else if (*p == 'b')
      binary = true;
    else if (*p != 't')
      return false;
  }
  const int access = update ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
  switch (mode[0]) {
    case 'r':
      *parsed = {access, false, !binary, update ? "r+" : "r"};
      return true;
    case 'w':
      *parsed = {access | O_CREAT, true, !binary, update ? "w+" : "w"};
      return true;
    case 'a':
      *parsed = {access | O_CREAT | O_APPEND, false, !binary, update ? "a+" : "a"};
      return true;
    default:
      return false;
  }
}

ssize_t ReadSome(int fd, char* data, size_t size) {
  return detail::RetryAfterSignal(-1, ::read, fd, data, size);
}

// The descriptor behind one stream. In text mode a CR that ends a read is only known to be a line end
// once the next byte is seen; a byte read ahead that way waits here for the next read.
class StreamFile {
 public:
  StreamFile(int fd, bool text) : m_fd(fd), m_text(text) {}
  ~StreamFile() { close(m_fd); }
  StreamFile(const StreamFile&) = delete;
  StreamFile& operator=(const StreamFile&) = delete;

  ssize_t Read(char* buffer, size_t size) {
    if (!m_text) return ReadSome(m_fd, buffer, size);
    size_t have = 0;
    if (m_hasReadAhead && size > 0) {
      buffer[have++] = m_readAhead;
      m_hasReadAhead = false;
    }
    if (have < size) {
      ssize_t got = ReadSome(m_fd, buffer + have, size - have);
      if (got < 0 && have == 0) return -1;
      if (got > 0) have += static_cast<size_t>(got);
    }
    size_t kept = 0;
    for (size_t i = 0; i < have; ++i) {
      if (buffer[i] != '\r') {
        buffer[kept++] = buffer[i];
      } else if (i + 1 < have) {
        bool lineEnd = buffer[i + 1] == '\n';
        buffer[kept++] = lineEnd ? '\n' : '\r';
        if (lineEnd) ++i;
      } else {
        buffer[kept++] = CompleteTrailingReturn();
      }
    }
    return static_cast<ssize_t>(kept);
  }

  ssize_t Write(const char* data, size_t size) {
    if (!m_text) return detail::WriteAll(m_fd, data, size) ? static_cast<ssize_t>(size) : 0;
    char expanded[8192];
    size_t used = 0;
    for (size_t i = 0; i < size; ++i) {
      if (used + 2 > sizeof expanded) {
        if (!detail::WriteAll(m_fd, expanded, used)) return 0;
        used = 0;
      }
      if (data[i] == '\n') expanded[used++] = '\r';
      expanded[used++] = data[i];
    }
    return detail::WriteAll(m_fd, expanded, used) ? static_cast<ssize_t>(size) : 0;
  }

  int Seek(off64_t* offset, int whence) {
    // The descriptor stands one byte past the stream's position while a byte is read ahead.
    off64_t adjusted = *offset - (whence == SEEK_CUR && m_hasReadAhead ? 1 : 0);
    off_t position = lseek(m_fd, adjusted, whence);
    if (position < 0) return -1;
    m_hasReadAhead = false;
    *offset = position;
    return 0;
  }

 private:
  // The character a CR at the end of a read stands for: "\n" when the file goes on with LF, else CR,
  // keeping the byte after it for the next read.
  char CompleteTrailingReturn() {
    char next;
    if (ReadSome(m_fd, &next, 1) != 1) return '\r';
    if (next == '\n') return '\n';
    m_readAhead = next;
    m_hasReadAhead = true;
    return '\r';
  }

  int m_fd;
  bool m_text;
  bool m_hasReadAhead = false;
  char m_readAhead = 0;
};

StreamFile* FileOf(void* cookie) { return static_cast<StreamFile*>(cookie); }

const cookie_io_functions_t kStreamFunctions = {
    [](void* cookie, char* buffer, size_t size) { return FileOf(cookie)->Read(buffer, size); },
    [](void* cookie, const char* data, size_t size) { return FileOf(cookie)->Write(data, size); },
    [](void* cookie, off64_t* offset, int whence) { return FileOf(cookie)->Seek(offset, whence); },
    [](void* cookie) {
      delete FileOf(cookie);
      return 0;
    },
};

// Opens the descriptor with the runtime's sharing: a shared flock for as long as the stream lives, so
// that an unshared open or a delete, which need the exclusive lock, fail while it is held. A file
// system without flock gives no sharing at all.
int OpenShared(const std::string& hostPath, const StreamMode& mode) {
  int fd = open(hostPath.c_str(), mode.openFlags | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EISDIR) errno = EACCES;
    return -1;
  }
  struct stat info;
  int error = 0;
  if (fstat(fd, &info) != 0)
    error = errno;
  else if (S_ISDIR(info.st_mode) || (flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK))
    error = EACCES;
  else if (mode.truncate && ftruncate(fd, 0) != 0)
    error = errno;
  if (error == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

}  // namespace

FILE* OpenFileStream(LPCSTR path, const char* mode) {
  StreamMode parsed;
  if (path == nullptr || mode == nullptr || !ParseMode(mode, &parsed)) {
    errno = EINVAL;
    return nullptr;
  }
  std::string hostPath = ToHostPath(path);
  if (hostPath.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  int fd = OpenShared(hostPath, parsed);
  if (fd < 0) return nullptr;
  auto* file = new StreamFile(fd, parsed.text);
  FILE* stream = fopencookie(file, parsed.cookieMode, kStreamFunctions);
  if (stream == nullptr) delete file;
  return stream;
}

}  // namespace plat
