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

ScopedMachine::ScopedMachine() {
  if (const char* previous = std::getenv("VELCORA_MACHINE")) {
    m_hadPrevious = true;
    m_previous = previous;
  }
  setenv("VELCORA_MACHINE", m_dir.path().c_str(), 1);
}

ScopedMachine::~ScopedMachine() {
  if (m_hadPrevious)
    setenv("VELCORA_MACHINE", m_previous.c_str(), 1);
  else
    unsetenv("VELCORA_MACHINE");
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
