// Critical sections.
#pragma once

#include <mutex>

#include "plat/types.h"

namespace plat {

// A recursive lock the programs embed by value; usable between InitializeCriticalSection and
// DeleteCriticalSection. The owner may enter again and must leave as often as it entered.
struct CRITICAL_SECTION {
  alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
};

// Makes `section` ready for use, not owned by any thread. Sets no error.
void InitializeCriticalSection(CRITICAL_SECTION* section);
// Returns once the calling thread owns `section`; at once when it owns it already. Sets no error.
void EnterCriticalSection(CRITICAL_SECTION* section);
// Undoes one enter by the owning thread; the last one lets other threads in. Sets no error.
void LeaveCriticalSection(CRITICAL_SECTION* section);
// Ends the life of an unowned `section`; it may be initialized again. Sets no error.
void DeleteCriticalSection(CRITICAL_SECTION* section);

// Enters `section` when made and leaves it at the end of the scope; `section` must outlive the guard.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION* section) : m_section(section) {
    EnterCriticalSection(section);
  }
  ~CriticalSectionLock() { LeaveCriticalSection(m_section); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CRITICAL_SECTION* m_section;
};

}  // namespace plat
