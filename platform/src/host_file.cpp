// Whole-file reads and crash-safe replacement.
#include "host_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "posix_call.h"

namespace plat::detail {
namespace {

// The name of a writer's temporary file beside `name`: the writer's process id and a serial number.
std::string TemporaryName(const std::string& name, pid_t writer, unsigned serial) {
  return "." + name + "." + std::to_string(writer) + "." + std::to_string(serial) + ".tmp";
}

// The process id in the name of a temporary file made for `name`; 0 when the entry is no such file.
pid_t WriterOf(const char* entry, const std::string& name) {
  const std::string prefix = "." + name + ".";
  if (std::strncmp(entry, prefix.c_str(), prefix.size()) != 0) return 0;
  const char* writer = entry + prefix.size();
  const size_t writerDigits = std::strspn(writer, "0123456789");
  const char* serial = writer + writerDigits;
  if (writerDigits == 0 || writerDigits > 9 || *serial != '.') return 0;
  const size_t serialDigits = std::strspn(serial + 1, "0123456789");
  if (serialDigits == 0 || std::strcmp(serial + 1 + serialDigits, ".tmp") != 0) return 0;
  return static_cast<pid_t>(std::strtol(writer, nullptr, 10));
}

// A writer killed between creating its temporary file and renaming it leaves the file behind; the
// next writer of the same file removes it. Only files of processes that no longer run go: a live
// process (even one that got a dead writer's id again) may be writing its own, and so may another
// thread of this one.
void RemoveTemporariesOfDeadWriters(const std::string& directory, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(directory.c_str()), closedir);
  if (!folder) return;
  const int folderFd = dirfd(folder.get());
  while (const dirent* entry = readdir(folder.get())) {
    const pid_t writer = WriterOf(entry->d_name, name);
    if (writer <= 0 || writer == getpid()) continue;
    if (kill(writer, 0) == 0 || errno != ESRCH) continue;
    unlinkat(folderFd, entry->d_name, 0);
  }
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (m_fd >= 0) close(m_fd);
}

bool FileDescriptor::Close() {
  int fd = m_fd;
  m_fd = -1;
  return close(fd) == 0;
}

int ReadHostFile(const std::string& path, std::string& content) {
  FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return errno;
  char chunk[16384];
  while (true) {
    const ssize_t got = RetryAfterSignal(-1, ::read, file.get(), chunk, sizeof(chunk));
    if (got < 0) return errno;
    if (got == 0) return 0;
    content.append(chunk, static_cast<size_t>(got));
  }
}

int ReplaceHostFile(const std::string& path, const std::string& content) {
  std::string target = path;
  struct stat info;
  bool exists = stat(path.c_str(), &info) == 0;
  if (char* real = exists ? realpath(path.c_str(), nullptr) : nullptr) {
    target = real;
    std::free(real);
  }
  size_t slash = target.rfind('/');
  std::string directory = slash == std::string::npos ? "." : target.substr(0, slash);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

  RemoveTemporariesOfDeadWriters(directory, name);
  // A name of its own per writer, so writers of different processes never share a temporary file and
  // one left by a crashed writer is never in the way.
  static std::atomic<unsigned> s_serial{0};
  std::string temporary;
  int fd = -1;
  do {
    temporary = directory + "/" + TemporaryName(name, getpid(), ++s_serial);
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EEXIST);
  if (fd < 0) return errno;
  FileDescriptor file(fd);
  bool written = WriteAll(file.get(), content.data(), content.size()) &&
                 (!exists || fchmod(file.get(), info.st_mode & 07777) == 0) && fsync(file.get()) == 0;
  written = file.Close() && written;
  if (!written) {
    unlink(temporary.c_str());
    return EIO;
  }
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    int error = errno;
    unlink(temporary.c_str());
    return error;
  }
  // The rename itself reaches the disk with the directory.
  FileDescriptor folder(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) fsync(folder.get());
  return 0;
}

}  // namespace plat::detail
