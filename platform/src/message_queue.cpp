// The per-thread message queues: posted and sent messages, the waits of GetMessageA and PeekMessageA,
// dispatching, and the socket layer's way into those waits.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "message_wait.h"
#include "plat/error.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "window_system.h"

namespace plat {

using detail::CallerQueue;
using detail::InvalidWindow;
using detail::RemoveWindow;
using detail::SentMessage;
using detail::System;
using detail::ThreadQueue;
using detail::Window;
using detail::WindowSystem;
using detail::WindowTree;

namespace {

HWND ThreadMessagesOnly() { return reinterpret_cast<HWND>(static_cast<intptr_t>(-1)); }

void Answer(SentMessage& sent, LRESULT result) {
  sent.answered = true;
  sent.result = result;
  sent.sender->wake.notify_all();
}

// Releases the senders still waiting on windows that are gone: nobody can handle their messages now.
void AnswerMessagesFor(WindowSystem& system, const std::vector<HWND>& removed) {
  for (auto& [threadId, queue] : system.queues) {
    auto isForRemoved = [&removed](const std::shared_ptr<SentMessage>& sent) {
      if (std::find(removed.begin(), removed.end(), sent->window) == removed.end()) return false;
      Answer(*sent, 0);
      return true;
    };
    queue->sent.erase(std::remove_if(queue->sent.begin(), queue->sent.end(), isForRemoved),
                      queue->sent.end());
  }
}

}  // namespace

void detail::RemoveWindow(WindowSystem& system, HWND window) {
  std::vector<HWND> removed;
  system.tree.Remove(window, removed);
  ++system.removals;
  AnswerMessagesFor(system, removed);
}

void detail::RemoveWindowTakingLock(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  RemoveWindow(system, window);
}

namespace {

// The calling thread's registration: makes its queue on first use and, when the thread ends, drops
// the queue with everything in it, answers its waiting senders and removes the thread's windows.
class QueueOfThisThread {
 public:
  QueueOfThisThread() : queue(std::make_shared<ThreadQueue>(GetCurrentThreadId())) {
    WindowSystem& system = System();
    std::lock_guard<std::mutex> lock(system.mutex);
    system.queues[queue->threadId] = queue;
  }
  ~QueueOfThisThread() {
    WindowSystem& system = System();
    std::lock_guard<std::mutex> lock(system.mutex);
    system.queues.erase(queue->threadId);
    for (const std::shared_ptr<SentMessage>& sent : queue->sent) Answer(*sent, 0);
    queue->sent.clear();
    queue->posted.clear();
    queue->inbox.clear();
    for (HWND window : system.tree.OwnedBy(queue->threadId)) RemoveWindow(system, window);
  }
  QueueOfThisThread(const QueueOfThisThread&) = delete;
  QueueOfThisThread& operator=(const QueueOfThisThread&) = delete;

  const std::shared_ptr<ThreadQueue> queue;
};

}  // namespace

const std::shared_ptr<ThreadQueue>& detail::CallerQueue() {
  thread_local QueueOfThisThread mine;
  return mine.queue;
}

namespace {

// Handles the messages sent to `queue`, oldest first, until none is left; the lock is released around
// each procedure call, so the procedure may use every window and message call.
void HandleSentMessages(WindowSystem& system, ThreadQueue& queue, std::unique_lock<std::mutex>& lock) {
  queue.sentWaiting = false;
  while (!queue.sent.empty()) {
    std::shared_ptr<SentMessage> sent = queue.sent.front();
    queue.sent.pop_front();
    Window* target = system.tree.Find(sent->window);
    WNDPROC procedure = target == nullptr ? nullptr : target->procedure;
    LRESULT result = 0;
    if (procedure != nullptr) {
      lock.unlock();
      result = procedure(sent->window, sent->message, sent->wParam, sent->lParam);
      lock.lock();
    }
    Answer(*sent, result);
  }
}

bool IsValidFilter(WindowTree& tree, HWND filter) {
  return filter == nullptr || filter == ThreadMessagesOnly() || tree.Find(filter) != nullptr;
}

bool PassesFilter(WindowTree& tree, const MSG& message, HWND filter, UINT minMessage, UINT maxMessage) {
  const bool inRange = (minMessage == 0 && maxMessage == 0) ||
                       (minMessage <= message.message && message.message <= maxMessage);
  if (!inRange) return false;
  if (filter == nullptr) return true;
  if (filter == ThreadMessagesOnly()) return message.hwnd == nullptr;
  return message.hwnd != nullptr && tree.IsSelfOrDescendant(message.hwnd, filter);
}

enum class Taken { kMessage, kQuit, kNothing };

// With the lock held: handles the sent messages, then copies the oldest posted message that passes the
// filter (or, with none left, the pending quit) into *message, removing it when `remove` is set.
Taken TakeMessage(WindowSystem& system, ThreadQueue& queue, std::unique_lock<std::mutex>& lock, MSG* message,
                  HWND filter, UINT minMessage, UINT maxMessage, bool remove) {
  HandleSentMessages(system, queue, lock);
  queue.inbox.TakeAll(queue.posted);
  auto found = std::find_if(queue.inbox.begin(), queue.inbox.end(), [&](const MSG& posted) {
    return PassesFilter(system.tree, posted, filter, minMessage, maxMessage);
  });
  queue.inboxSize = queue.inbox.size();
  if (found != queue.inbox.end()) {
    *message = *found;
    if (remove) {
      queue.inbox.erase(found);
      --queue.inboxSize;
    }
    return message->message == WM_QUIT ? Taken::kQuit : Taken::kMessage;
  }
  if (!queue.quitPending) return Taken::kNothing;
  *message =
      MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, GetTickCount(), system.tree.m_cursor};
  if (remove) queue.quitPending = false;
  return Taken::kQuit;
}

// With the lock held: ends the wait of the queue's thread. A thread that polls its sockets is awake
// already when it posts to itself.
void Wake(ThreadQueue& queue) {
  queue.wake.notify_all();
  if (queue.waitingInSet && queue.threadId != GetCurrentThreadId()) queue.waitSet->Wake();
}

constexpr std::chrono::milliseconds kSetRetryPause{100};

// With the lock held, which is released meanwhile: lets the thread's sockets post what they have, waiting
// up to `timeoutMs` (-1: until a message or a socket event comes) when the thread is idle.
void PollSockets(WindowSystem& system, ThreadQueue& queue, std::unique_lock<std::mutex>& lock,
                 int timeoutMs) {
  std::shared_ptr<detail::MessageWaitSet> set = queue.waitSet;
  const bool idle = timeoutMs != 0;
  queue.roundsSincePoll = 0;
  if (idle) {
    queue.waitingInSet = true;
    queue.waitingInGetMessage = true;
    system.idleChanged.notify_all();
  }
  lock.unlock();
  const bool waited = set->Wait(timeoutMs);
  lock.lock();
  // A set that cannot be waited on (it would take a descriptor broken under it) must not turn the wait
  // into a loop that never blocks: the queue's own wake-up waits instead, and the set is tried again
  // after a while. Messages still end that wait at once; only socket events come late.
  if (!waited && idle) queue.wake.wait_for(lock, kSetRetryPause);
  if (idle) {
    queue.waitingInSet = false;
    queue.waitingInGetMessage = false;
  }
}

// A thread whose queue never runs empty still hears of its sockets this often.
constexpr unsigned kRoundsBetweenPolls = 16;

void PollSocketsIfDue(WindowSystem& system, ThreadQueue& queue, std::unique_lock<std::mutex>& lock) {
  if (++queue.roundsSincePoll < kRoundsBetweenPolls) return;
  queue.roundsSincePoll = 0;
  if (queue.waitSet != nullptr) PollSockets(system, queue, lock, 0);
}

// Without the lock: takes the oldest message of the thread's inbox when nothing else has to come
// first (a filter, a sent message, a due poll of the sockets).
bool TakeFromInbox(ThreadQueue& queue, HWND filter, UINT minMessage, UINT maxMessage, MSG* message) {
  if (filter != nullptr || minMessage != 0 || maxMessage != 0) return false;
  if (queue.inbox.empty() || queue.sentWaiting || queue.roundsSincePoll + 1 >= kRoundsBetweenPolls) {
    return false;
  }
  ++queue.roundsSincePoll;
  *message = *queue.inbox.begin();
  queue.inbox.erase(queue.inbox.begin());
  --queue.inboxSize;
  return true;
}

// Appends a message to the queue of thread `threadId`; false when that thread has no queue.
bool Post(WindowSystem& system, DWORD threadId, const MSG& message) {
  auto found = system.queues.find(threadId);
  if (found == system.queues.end()) return false;
  found->second->posted.push_back(message);
  Wake(*found->second);
  return true;
}

}  // namespace

// ---- Messages ----

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only a thread message needs the poster's own queue.
  const DWORD caller = window == nullptr ? CallerQueue()->threadId : 0;
  const DWORD time = GetTickCount();
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  DWORD owner = caller;
  if (window != nullptr) {
    Window* target = system.tree.Find(window);
    if (target == nullptr) {
      InvalidWindow();
      return FALSE;
    }
    owner = target->ownerThread;
  }
  // Only the desktop has no owner queue: a thread's windows go when its queue does.
  if (!Post(system, owner, MSG{window, message, wParam, lParam, time, system.tree.m_cursor})) {
    InvalidWindow();
    return FALSE;
  }
  return TRUE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  const DWORD time = GetTickCount();
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  if (!Post(system, threadId, MSG{nullptr, message, wParam, lParam, time, system.tree.m_cursor})) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  const std::shared_ptr<ThreadQueue>& mine = CallerQueue();
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  mine->quitPending = true;
  mine->quitCode = exitCode;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const std::shared_ptr<ThreadQueue>& mine = CallerQueue();
  WindowSystem& system = System();
  std::unique_lock<std::mutex> lock(system.mutex);
  Window* target = system.tree.Find(window);
  if (target == nullptr) {
    InvalidWindow();
    return 0;
  }
  if (target->ownerThread == mine->threadId) {
    WNDPROC procedure = target->procedure;
    lock.unlock();
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
  }
  auto owner = system.queues.find(target->ownerThread);
  if (owner == system.queues.end()) return 0;
  auto sent = std::make_shared<SentMessage>(SentMessage{window, message, wParam, lParam, mine});
  owner->second->sent.push_back(sent);
  owner->second->sentWaiting = true;
  Wake(*owner->second);
  // Messages sent to this thread meanwhile are answered, so two threads sending to each other go on.
  for (;;) {
    HandleSentMessages(system, *mine, lock);
    if (sent->answered) return sent->result;
    mine->wake.wait(lock);
  }
}

BOOL GetMessageA(MSG* message, HWND window, UINT minMessage, UINT maxMessage) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  const std::shared_ptr<ThreadQueue>& mine = CallerQueue();
  if (TakeFromInbox(*mine, window, minMessage, maxMessage, message)) return message->message != WM_QUIT;
  WindowSystem& system = System();
  std::unique_lock<std::mutex> lock(system.mutex);
  for (;;) {
    // Checked on every round: a filter window destroyed while waiting would otherwise block for ever.
    if (!IsValidFilter(system.tree, window)) {
      InvalidWindow();
      return -1;
    }
    PollSocketsIfDue(system, *mine, lock);
    switch (TakeMessage(system, *mine, lock, message, window, minMessage, maxMessage, true)) {
      case Taken::kMessage:
        return TRUE;
      case Taken::kQuit:
        return FALSE;
      case Taken::kNothing:
        break;
    }
    if (!IsValidFilter(system.tree, window)) continue;
    if (mine->waitSet != nullptr) {
      PollSockets(system, *mine, lock, -1);
      continue;
    }
    mine->waitingInGetMessage = true;
    system.idleChanged.notify_all();
    mine->wake.wait(lock);
    mine->waitingInGetMessage = false;
  }
}

BOOL PeekMessageA(MSG* message, HWND window, UINT minMessage, UINT maxMessage, UINT removeFlags) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::shared_ptr<ThreadQueue>& mine = CallerQueue();
  WindowSystem& system = System();
  std::unique_lock<std::mutex> lock(system.mutex);
  if (!IsValidFilter(system.tree, window)) {
    InvalidWindow();
    return FALSE;
  }
  const bool remove = (removeFlags & PM_REMOVE) != 0;
  PollSocketsIfDue(system, *mine, lock);
  Taken taken = TakeMessage(system, *mine, lock, message, window, minMessage, maxMessage, remove);
  if (taken == Taken::kNothing && mine->waitSet != nullptr) {
    PollSockets(system, *mine, lock, 0);
    taken = TakeMessage(system, *mine, lock, message, window, minMessage, maxMessage, remove);
  }
  return taken != Taken::kNothing;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return 0;
  // The procedure of the window the thread dispatched to last, good until a window is removed.
  struct Dispatched {
    HWND window = nullptr;
    WNDPROC procedure = nullptr;
    uint64_t removals = 0;
  };
  thread_local Dispatched last;
  WindowSystem& system = System();
  if (last.window != message->hwnd || last.removals != system.removals) {
    std::lock_guard<std::mutex> lock(system.mutex);
    Window* target = system.tree.Find(message->hwnd);
    if (target == nullptr || target->ownerThread != GetCurrentThreadId()) return 0;
    last = Dispatched{message->hwnd, target->procedure, system.removals};
  }
  return last.procedure != nullptr
             ? last.procedure(message->hwnd, message->message, message->wParam, message->lParam)
             : 0;
}

// ---- The socket layer's way in ----

// A set that cannot be made is not kept: the thread goes on waiting for its messages alone, blocked
// on its queue, and the next socket that needs the set tries again (and tells its caller if it fails).
std::shared_ptr<detail::MessageWaitSet> detail::WaitSetOfOwner(HWND window, int* error) {
  *error = 0;
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* target = system.tree.Find(window);
  if (target == nullptr) return nullptr;
  auto owner = system.queues.find(target->ownerThread);
  if (owner == system.queues.end()) return nullptr;
  ThreadQueue& queue = *owner->second;
  if (queue.waitSet == nullptr) {
    queue.waitSet = detail::MessageWaitSet::Create();
    if (queue.waitSet == nullptr) {
      *error = errno;
      return nullptr;
    }
    queue.wake.notify_all();  // a thread already waiting goes over to the set
  }
  return queue.waitSet;
}

}  // namespace plat
