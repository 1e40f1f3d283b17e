// Handles of kernel objects: the handle table, signalled-once objects, closing and waiting.
#include "plat/handle.h"

#include <unordered_map>

#include "handle_table.h"
#include "plat/error.h"
#include "plat/time.h"

namespace plat {
namespace detail {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t nextValue = 0x100;
};

// Leaked on purpose: detached threads may still close handles while the process runs its exit handlers.
HandleTable& TheTable() {
  static HandleTable* table = new HandleTable;
  return *table;
}

}  // namespace

void Waitable::Signal() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_isSignaled = true;
  }
  m_signaledChanged.notify_all();
}

bool Waitable::IsSignaled() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_isSignaled;
}

bool Waitable::Wait(DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  auto signaled = [this] { return m_isSignaled; };
  if (milliseconds == INFINITE) {
    m_signaledChanged.wait(lock, signaled);
    return true;
  }
  return m_signaledChanged.wait_for(lock, ScaledDuration(milliseconds), signaled);
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const uintptr_t value = table.nextValue;
  table.nextValue += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
  HandleTable& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.objects.end()) return nullptr;
  return found->second;
}

bool RemoveHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> removed;  // released after the lock: its destructor may use the table
  HandleTable& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.objects.end()) return false;
  removed = std::move(found->second);
  table.objects.erase(found);
  return true;
}

}  // namespace detail

BOOL CloseHandle(HANDLE handle) {
  if (!detail::RemoveHandle(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto waitable = std::dynamic_pointer_cast<detail::Waitable>(detail::FindHandle(handle));
  if (!waitable) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return waitable->Wait(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // namespace plat
