// Lets a thread wait for its descriptors in the same wait as its messages, so the socket layer turns
// readiness into messages on the thread that owns the window and no hand-off between threads is needed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/window.h"

namespace plat::detail {

// The descriptors one thread's message wait also watches (an epoll set and the wake-up of its queue).
// Only a set that was built whole exists: a thread never waits on one it could not make.
class MessageWaitSet {
 public:
  // Null with errno set when the system gives no descriptor or no memory for the set.
  static std::unique_ptr<MessageWaitSet> Create();
  ~MessageWaitSet();
  MessageWaitSet(const MessageWaitSet&) = delete;
  MessageWaitSet& operator=(const MessageWaitSet&) = delete;

  // Reports `fd` with `key` for as long as one of the epoll `events` holds (level-triggered). Both
  // return 0 or the errno value of the refusal, which leaves the set as it was.
  int Add(int fd, uint64_t key, uint32_t events);
  int Modify(int fd, uint64_t key, uint32_t events);
  void Remove(int fd);

  // Waits up to `timeoutMs` (-1: until something is ready) and hands every ready descriptor but the
  // wake-up to the handler. Called by the owning thread only, without window locks. False, with errno
  // set, when the set could not be waited on at all (a signal is no such failure).
  bool Wait(int timeoutMs);
  // Ends a Wait of the owning thread from any other thread.
  void Wake();
  // Makes the wait of the owning thread end by `due` at the latest and call the due handler then, so
  // that what has to be done later needs no descriptor of its own. From any thread.
  void CallBackBy(std::chrono::steady_clock::time_point due);
  // Hands `key` to the ready handler with no events after every Wait, which does not block meanwhile,
  // until Unmark: readiness the system cannot see, such as data a socket holds in its own buffer. From
  // any thread; marking from the owning thread costs no system call.
  void MarkReady(uint64_t key);
  void Unmark(uint64_t key);

 private:
  MessageWaitSet(int epoll, int wake) : m_epoll(epoll), m_wake(wake) {}
  int Control(int operation, int fd, uint64_t key, uint32_t events);

  const int m_epoll;
  const int m_wake;
  // The earliest CallBackBy not yet called back, as steady clock ticks; kNothingDue when none.
  static constexpr int64_t kNothingDue = INT64_MAX;
  std::atomic<int64_t> m_due{kNothingDue};
  // Whether the owning thread is in Wait or about to block in it; with m_anyMarked, it tells MarkReady
  // whether the wait must be woken.
  std::atomic<bool> m_waiting{false};
  std::atomic<bool> m_anyMarked{false};
  std::mutex m_markMutex;  // guards m_marked
  std::vector<uint64_t> m_marked;
  std::vector<uint64_t> m_handing;  // the owning thread's copy of m_marked, kept to reuse its memory
};

// Called on the waiting thread, outside every window lock: for each ready descriptor, and once the
// time of a CallBackBy has come.
using ReadyHandler = void (*)(uint64_t key, uint32_t events);
using DueHandler = void (*)();
void SetHandlers(ReadyHandler ready, DueHandler due);

// The wait set of the thread that owns `window`, made on first use. Null when the window or its thread
// is gone (`*error` 0), or when the set cannot be made (`*error` the errno value); a later call tries
// to make it again.
std::shared_ptr<MessageWaitSet> WaitSetOfOwner(HWND window, int* error);

}  // namespace plat::detail
