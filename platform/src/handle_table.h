// The process-wide table that gives kernel objects their handle values, and the signalled-once object.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "plat/types.h"

namespace plat::detail {

// What a handle stands for; an object frees what it holds in its destructor, once the last user lets go.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Becomes signalled once and stays signalled (threads, processes).
class Waitable : public KernelObject {
 public:
  void Signal();
  bool IsSignaled() const;
  // True once signalled; false when `milliseconds` (scaled by the sleeper's factor) passed first.
  // INFINITE waits without limit.
  bool Wait(DWORD milliseconds);

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_signaledChanged;
  bool m_isSignaled = false;
};

// Returns a new value for `object`: never 0, never -1, never reused in the process.
HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// Returns the object of `handle`; null when unknown or already closed.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
// Drops the table's reference to the object of `handle`; false when unknown or already closed.
bool RemoveHandle(HANDLE handle);

}  // namespace plat::detail
