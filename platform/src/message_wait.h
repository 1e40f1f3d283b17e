// Lets a thread wait for its descriptors in the same wait as its messages, so the socket layer turns
// readiness into messages on the thread that owns the window and no hand-off between threads is needed.
#pragma once

#include <cstdint>
#include <memory>

#include "plat/window.h"

namespace plat::detail {

// The descriptors one thread's message wait also watches (an epoll set and the wake-up of its queue).
class MessageWaitSet {
 public:
  MessageWaitSet();
  ~MessageWaitSet();
  MessageWaitSet(const MessageWaitSet&) = delete;
  MessageWaitSet& operator=(const MessageWaitSet&) = delete;

  // Reports `fd` with `key` for as long as one of the epoll `events` holds (level-triggered).
  void Add(int fd, uint64_t key, uint32_t events);
  void Modify(int fd, uint64_t key, uint32_t events);
  void Remove(int fd);

  // Waits up to `timeoutMs` (-1: until something is ready) and hands every ready descriptor but the
  // wake-up to the handler. Called by the owning thread only, without window locks.
  void Wait(int timeoutMs);
  // Ends a Wait of the owning thread from any other thread.
  void Wake();

 private:
  void Control(int operation, int fd, uint64_t key, uint32_t events);

  int m_epoll = -1;
  int m_wake = -1;
};

// Called on the waiting thread for each ready descriptor, outside every window lock.
using ReadyHandler = void (*)(uint64_t key, uint32_t events);
void SetReadyHandler(ReadyHandler handler);

// The wait set of the thread that owns `window`, made on first use; null when the window or its
// thread is gone.
std::shared_ptr<MessageWaitSet> WaitSetOfOwner(HWND window);

}  // namespace plat::detail
