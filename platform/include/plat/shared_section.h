// Data sections shared by every process that runs the same program file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace plat {

// One 32-bit value of the program file, a single copy seen by every process that runs that file: it
// lives while any of them is attached and is found at 0 by the first one to attach after the last
// one detached (or died). Kept as a file in the machine directory, mapped shared and held with a
// shared lock; atomic operations on the value are atomic across the processes.
class SharedSection {
 public:
  // Attaches to section `name` of the file GetModuleFileNameA names for the program, in the machine
  // directory in force now. When the section file cannot be made or mapped, the value is this
  // object's own, starting at 0. Sets no last error.
  explicit SharedSection(const std::string& name);
  // Detaches; the last process to detach ends the value's life. Sets no last error.
  ~SharedSection();
  SharedSection(const SharedSection&) = delete;
  SharedSection& operator=(const SharedSection&) = delete;

  // The value; lock-free, so it needs nothing but the shared memory. Sets no last error.
  std::atomic<int32_t>& Value() { return *m_value; }

 private:
  bool Attach(const std::string& path);
  void Release();

  int m_fd = -1;
  void* m_mapping = nullptr;
  std::atomic<int32_t> m_ownValue{0};
  std::atomic<int32_t>* m_value = &m_ownValue;
};

// Returns the value of section `name` of the running program, attached on the first call for that
// name and kept until the process ends; later calls give the same object. Sets no last error.
std::atomic<int32_t>& SharedSectionValue(const std::string& name);

}  // namespace plat
