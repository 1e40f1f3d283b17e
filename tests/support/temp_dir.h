// Fresh temporary directories for tests, and a machine directory that lives as long as a test.
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
  ~ScopedMachine();
  ScopedMachine(const ScopedMachine&) = delete;
  ScopedMachine& operator=(const ScopedMachine&) = delete;

  const std::string& path() const { return m_dir.path(); }

 private:
  TempDir m_dir;
  bool m_hadPrevious = false;
  std::string m_previous;
};

// The Windows form the layer gives an absolute host path: "C:" and the path with backslashes.
std::string WindowsForm(std::string hostPath);

// Writes `content` to the host file `path` byte for byte.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of the host file `path`; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testsupport
