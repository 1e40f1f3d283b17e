// The window test seams: windows made and removed without messages, a window of another process, the
// screen size, and what a thread's queue holds.
#include <chrono>
#include <memory>
#include <mutex>

#include "plat/testing/window.h"
#include "window_system.h"

namespace plat {

using detail::CallerQueue;
using detail::RemoveWindowTakingLock;
using detail::System;
using detail::ThreadQueue;
using detail::Window;
using detail::WindowSystem;

HWND CreateWindowForTesting(HWND parent, LONG_PTR userData) {
  const std::shared_ptr<ThreadQueue>& mine = CallerQueue();
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window created;
  created.userData = userData;
  created.ownerThread = mine->threadId;
  created.procedure = DefWindowProcA;
  return system.tree.Add(parent ? parent : GetDesktopWindow(), std::move(created));
}

void RemoveWindowForTesting(HWND window) { RemoveWindowTakingLock(window); }

void SetWindowProcessForTesting(HWND window, DWORD processId) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  if (Window* found = system.tree.Find(window)) found->processId = processId;
}

void SetScreenSizeForTesting(int width, int height) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  system.tree.Find(GetDesktopWindow())->placement = {0, 0, width, height};
}

QueueLength QueueLengthForTesting(DWORD threadId) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  auto found = system.queues.find(threadId);
  if (found == system.queues.end()) return QueueLength{0, 0};
  return QueueLength{found->second->posted.size() + found->second->inboxSize, found->second->sent.size()};
}

bool WaitForThreadIdleForTesting(DWORD threadId, DWORD milliseconds) {
  WindowSystem& system = System();
  std::unique_lock<std::mutex> lock(system.mutex);
  return system.idleChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    auto found = system.queues.find(threadId);
    return found != system.queues.end() && found->second->waitingInGetMessage &&
           found->second->posted.empty() && found->second->inboxSize == 0 && found->second->sent.empty();
  });
}

}  // namespace plat
