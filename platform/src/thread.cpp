// Threads on pthreads: creation, identity and ending.
#include "plat/thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "handle_table.h"
#include "plat/error.h"
#include "sleep_point.h"

namespace plat {
namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId() { return g_nextThreadId.fetch_add(1); }

class ThreadObject : public detail::Waitable {
 public:
  // The first ending counts: a thread that returns after TerminateThread ended its object keeps the
  // terminating code. The exit code is stored before the handle is signalled, so a waiter that wakes
  // sees it.
  void Finish(DWORD exitCode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    FinishLocked(exitCode);
  }

  void Terminate(DWORD exitCode) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!FinishLocked(exitCode)) return;
      m_isTerminated = true;
    }
    m_terminated.notify_all();
  }

  // Called on the thread itself.
  void SleepOrEnd(std::optional<std::chrono::nanoseconds> duration) {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto terminated = [this] { return m_isTerminated; };
    if (duration)
      m_terminated.wait_for(lock, *duration, terminated);
    else
      m_terminated.wait(lock, terminated);
    if (!m_isTerminated) return;
    lock.unlock();
    ExitThread(ExitCode());
  }

  DWORD ExitCode() const { return m_exitCode.load(); }

 private:
  bool FinishLocked(DWORD exitCode) {
    if (m_hasEnded) return false;
    m_hasEnded = true;
    m_exitCode.store(exitCode);
    Signal();
    return true;
  }

  std::atomic<DWORD> m_exitCode{STILL_ACTIVE};
  std::mutex m_mutex;
  std::condition_variable m_terminated;
  bool m_hasEnded = false;
  bool m_isTerminated = false;
};

// Lives on the bottom frame of a CreateThread thread. Its destructor runs however the thread ends,
// including the unwinding that ExitThread's pthread_exit does, and ends the thread object.
class ThreadEnd {
 public:
  explicit ThreadEnd(std::shared_ptr<ThreadObject> thread);
  ~ThreadEnd();
  ThreadEnd(const ThreadEnd&) = delete;
  ThreadEnd& operator=(const ThreadEnd&) = delete;

  void SetExitCode(DWORD exitCode) { m_exitCode = exitCode; }
  ThreadObject& Thread() { return *m_thread; }

 private:
  std::shared_ptr<ThreadObject> m_thread;
  DWORD m_exitCode = 0;
};

thread_local ThreadEnd* t_threadEnd = nullptr;

ThreadEnd::ThreadEnd(std::shared_ptr<ThreadObject> thread) : m_thread(std::move(thread)) {
  t_threadEnd = this;
}

ThreadEnd::~ThreadEnd() {
  t_threadEnd = nullptr;
  m_thread->Finish(m_exitCode);
}

struct StartBlock {
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  DWORD threadId;
  std::shared_ptr<ThreadObject> thread;
};

// No catch here: pthread_exit unwinds with a forced unwind that must reach the bottom of the thread.
void* RunThread(void* rawBlock) {
  std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(rawBlock));
  t_threadId = block->threadId;
  ThreadEnd end(std::move(block->thread));
  end.SetExitCode(block->start(block->parameter));
  return nullptr;
}

// Windows reserves at least the program's default stack whatever size is asked for, so a small size
// never shrinks the stack here either.
bool PrepareAttributes(pthread_attr_t& attributes, size_t stackSize) {
  size_t defaultSize = 0;
  if (pthread_attr_getstacksize(&attributes, &defaultSize) != 0) return false;
  if (stackSize > defaultSize && pthread_attr_setstacksize(&attributes, stackSize) != 0) return false;
  return pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
}

bool StartThread(StartBlock* block, size_t stackSize) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  const bool started =
      PrepareAttributes(attributes, stackSize) && pthread_create(&thread, &attributes, RunThread, block) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

}  // namespace

HANDLE CreateThread(LPVOID, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (start == nullptr || creationFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>();
  auto block = std::make_unique<StartBlock>(StartBlock{start, parameter, NewThreadId(), thread});
  // Written before the thread exists: the procedure may read the id from the creator's variable.
  if (threadId != nullptr) *threadId = block->threadId;
  if (!StartThread(block.get(), stackSize)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  block.release();  // now owned by the running thread
  return detail::AddHandle(std::move(thread));
}

void ExitThread(DWORD exitCode) {
  if (t_threadEnd != nullptr) t_threadEnd->SetExitCode(exitCode);
  pthread_exit(nullptr);
}

DWORD GetCurrentThreadId() {
  if (t_threadId == 0) t_threadId = NewThreadId();
  return t_threadId;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto object = std::dynamic_pointer_cast<ThreadObject>(detail::FindHandle(thread));
  if (!object || exitCode == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = object->ExitCode();
  return TRUE;
}

BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
  auto object = std::dynamic_pointer_cast<ThreadObject>(detail::FindHandle(thread));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (t_threadEnd != nullptr && &t_threadEnd->Thread() == object.get()) ExitThread(exitCode);
  object->Terminate(exitCode);
  return TRUE;
}

namespace detail {

// Only threads made by CreateThread have a handle that TerminateThread could be given.
void SleepOrEnd(std::optional<std::chrono::nanoseconds> duration) {
  if (t_threadEnd != nullptr) {
    t_threadEnd->Thread().SleepOrEnd(duration);
    return;
  }
  if (duration) {
    std::this_thread::sleep_for(*duration);
    return;
  }
  for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
}

}  // namespace detail
}  // namespace plat
