// Whole-file reads and crash-safe whole-file replacement on host paths, for the layer's own stores.
#pragma once

#include <string>

namespace plat::detail {

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }
  // Closes now and tells whether the close succeeded (it may report a failed write).
  bool Close();

 private:
  int m_fd;
};

// Reads the whole file into `content`: 0, or the errno of the failure (ENOENT for a missing file).
int ReadHostFile(const std::string& path, std::string& content);

// Replaces the file's content through a new file beside it that is flushed and renamed over it, so a
// crash leaves the old or the new content, never a mix. An existing file keeps its permissions and a
// link keeps pointing to the file it names. Temporary files of the same file that writers left when
// they were killed mid-write are removed first. Returns 0, or the errno of the failure (EIO when a
// write failed).
int ReplaceHostFile(const std::string& path, const std::string& content);

}  // namespace plat::detail
