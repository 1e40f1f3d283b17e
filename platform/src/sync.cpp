// Critical sections as recursive mutexes living inside the caller's structure.
#include "plat/sync.h"

#include <new>

namespace plat {
namespace {

std::recursive_mutex& LockOf(CRITICAL_SECTION* section) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) { new (section->storage) std::recursive_mutex; }

void EnterCriticalSection(CRITICAL_SECTION* section) { LockOf(section).lock(); }

void LeaveCriticalSection(CRITICAL_SECTION* section) { LockOf(section).unlock(); }

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  using Lock = std::recursive_mutex;
  LockOf(section).~Lock();
}

}  // namespace plat
