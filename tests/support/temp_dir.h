// Temporary directories for tests: fresh ones, ones of an exact path length, a test's machine and cwd.
#pragma once

#include <string>

namespace testsupport {

// A new empty directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  // path() joined with a relative host path.
  std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

 private:
  std::string m_path;
};

// Points VELCORA_MACHINE at a fresh directory for the life of the object and restores it after.
class ScopedMachine {
 public:
  ScopedMachine();
  // A machine whose system directory has a Windows form of exactly `systemDirectoryLength` characters.
  explicit ScopedMachine(size_t systemDirectoryLength);
  ~ScopedMachine();
  ScopedMachine(const ScopedMachine&) = delete;
  ScopedMachine& operator=(const ScopedMachine&) = delete;

  const std::string& path() const { return m_path; }

 private:
  TempDir m_dir;
  std::string m_path;
  bool m_hadPrevious = false;
  std::string m_previous;
};

// Makes the calling process work in `directory` for the life of the object and goes back after.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& directory);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::string m_previous;
};

// The Windows form the layer gives an absolute host path: "C:" and the path with backslashes.
std::string WindowsForm(std::string hostPath);

// Makes a directory below the host directory `base` whose Windows form has exactly `length` characters
// (names of at most 200 characters each) and returns its host path. Throws when `base` is too long.
std::string DirectoryOfWindowsLength(const std::string& base, size_t length);

// Writes `content` to the host file `path` byte for byte.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of the host file `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testsupport
