// Data sections shared by every process that runs the same program file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "plat/types.h"

namespace plat {

// One 32-bit value of the program file, a single copy seen by every process that runs that file: it
// lives while any of them is attached and is found at 0 by the first one to attach after the last
// one detached (or died). Kept as a file in the machine directory, its space reserved before it is
// mapped shared, and held with a shared lock; atomic operations on the value are atomic across the
// processes. A section that cannot be had never faults the process: it has no value and an error.
class SharedSection {
 public:
  // Attaches to section `name` of the file GetModuleFileNameA names for the program, in the machine
  // directory in force now. Sets no last error; Error() tells how it went.
  explicit SharedSection(const std::string& name);
  // Detaches; the last process to detach ends the value's life. Sets no last error.
  ~SharedSection();
  SharedSection(const SharedSection&) = delete;
  SharedSection& operator=(const SharedSection&) = delete;

  // The value, lock-free, so it needs nothing but the shared memory; null when the section could not
  // be attached. Sets no last error.
  std::atomic<int32_t>* Value() { return m_value; }
  // ERROR_SUCCESS when attached, else why not: ERROR_DISK_FULL (no space for the section file),
  // ERROR_WRITE_PROTECT (a read-only filesystem), ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND (the
  // machine directory is not a directory), ... Sets no last error.
  DWORD Error() const { return m_error; }

 private:
  DWORD Attach(const std::string& path);
  void Release();

  int m_fd = -1;
  void* m_mapping = nullptr;
  std::atomic<int32_t>* m_value = nullptr;
  DWORD m_error = 0;
};

// Returns the value of section `name` of the running program, attached on the first call for that
// name and kept until the process ends; later calls give the same object. A process holds the
// section from that first call or never: when it could not be attached, this and every later call
// return null and set the last error to SharedSection::Error(). Sets no last error otherwise.
std::atomic<int32_t>* SharedSectionValue(const std::string& name);

}  // namespace plat
