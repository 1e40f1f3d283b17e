// Temporary directories and a per-test machine directory.
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velcora-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

ScopedMachine::ScopedMachine() : m_path(m_dir.path()) {
  if (const char* previous = std::getenv("VELCORA_MACHINE")) {
    m_hadPrevious = true;
    m_previous = previous;
  }
  setenv("VELCORA_MACHINE", m_path.c_str(), 1);
}

ScopedMachine::ScopedMachine(size_t systemDirectoryLength) : ScopedMachine() {
  // The layer's system directory is the machine directory's "windows\system32".
  const size_t kSystemBelowMachine = std::string("\\windows\\system32").size();
  if (systemDirectoryLength < kSystemBelowMachine) throw std::invalid_argument("system directory too short");
  m_path = DirectoryOfWindowsLength(m_dir.path(), systemDirectoryLength - kSystemBelowMachine);
  setenv("VELCORA_MACHINE", m_path.c_str(), 1);
}

ScopedMachine::~ScopedMachine() {
  if (m_hadPrevious)
    setenv("VELCORA_MACHINE", m_previous.c_str(), 1);
  else
    unsetenv("VELCORA_MACHINE");
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& directory)
    : m_previous(std::filesystem::current_path().string()) {
  std::filesystem::current_path(directory);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  std::error_code ignored;
  std::filesystem::current_path(m_previous, ignored);
}

std::string DirectoryOfWindowsLength(const std::string& base, size_t length) {
  if (length < WindowsForm(base).size() + 2) throw std::invalid_argument("base too long for " + base);
  const size_t hostLength = length - WindowsForm("").size();
  std::string path = base;
  size_t part = 0;
  while (path.size() < hostLength) {
    size_t room = hostLength - path.size() - 1;
    size_t take = std::min<size_t>(room, 200);
    // A single character left over would need a name of none.
    if (room - take == 1) --take;
    path += "/" + std::string(take, static_cast<char>('a' + part++ % 26));
  }
  std::filesystem::create_directories(path);
  return path;
}

std::string WindowsForm(std::string hostPath) {
  std::replace(hostPath.begin(), hostPath.end(), '/', '\\');
  return "C:" + hostPath;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace testsupport
