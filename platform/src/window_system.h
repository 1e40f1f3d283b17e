// What the window calls share: the process-wide window system (classes, the window tree and the
// per-thread message queues, all behind one lock) and the lookups more than one of them makes.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "message_wait.h"
#include "plat/window.h"

namespace plat::detail {

struct Window {
  HWND parent = nullptr;
  std::vector<HWND> children;  // topmost first
  LONG_PTR userData = 0;
  bool visible = true;
  bool minimised = false;
  DWORD ownerThread = 0;
  WNDPROC procedure = nullptr;
  ATOM classAtom = 0;  // 0: made without a class
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT placement = {0, 0, 0, 0};  // relative to the parent's origin
  HINSTANCE instance = nullptr;
  HMENU menu = nullptr;
  DWORD processId = 0;  // 0: this process
  bool destroying = false;
};

class WindowTree {
 public:
  WindowTree() {
    Window desktop;
    desktop.placement = {0, 0, 1920, 1080};
    m_windows[Desktop()] = desktop;
  }

  static HWND Desktop() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }

  Window* Find(HWND window) {
    auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : &found->second;
  }

  HWND Add(HWND parent, Window added) {
    Window* parentWindow = Find(parent);
    if (parentWindow == nullptr) return nullptr;
    // Handles grow by 2 as on Windows and are never reused.
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(m_nextHandle += 2));
    parentWindow->children.insert(parentWindow->children.begin(), window);
    added.parent = parent;
    m_windows[window] = std::move(added);
    return window;
  }

  // Removes `window` and its descendants, adding their handles to `removed`.
  void Remove(HWND window, std::vector<HWND>& removed) {
    Window* gone = Find(window);
    if (gone == nullptr || window == Desktop()) return;
    for (HWND child : std::vector<HWND>(gone->children)) Remove(child, removed);
    std::vector<HWND>& siblings = Find(gone->parent)->children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    if (m_foreground == window) m_foreground = nullptr;
    m_windows.erase(window);
    removed.push_back(window);
  }

  // `window` followed by its descendants, each before its children.
  std::vector<HWND> Subtree(HWND window) {
    std::vector<HWND> order{window};
    for (size_t next = 0; next < order.size(); ++next) {
      const std::vector<HWND>& children = Find(order[next])->children;
      order.insert(order.begin() + static_cast<std::ptrdiff_t>(next) + 1, children.begin(), children.end());
    }
    return order;
  }

  bool IsSelfOrDescendant(HWND window, HWND ancestor) {
    for (Window* found = Find(window); found != nullptr; window = found->parent, found = Find(window)) {
      if (window == ancestor) return true;
    }
    return false;
  }

  std::vector<HWND> OwnedBy(DWORD threadId) const {
    std::vector<HWND> owned;
    for (const auto& [handle, window] : m_windows) {
      if (window.ownerThread == threadId) owned.push_back(handle);
    }
    return owned;
  }

  bool HasWindowOfClass(ATOM classAtom) const {
    return std::any_of(m_windows.begin(), m_windows.end(),
                       [classAtom](const auto& entry) { return entry.second.classAtom == classAtom; });
  }

  // Where the window's top-left corner is on the screen: its placement added up with its ancestors'.
  POINT ScreenOrigin(HWND window) {
    POINT origin = {0, 0};
    for (Window* found = Find(window); found != nullptr; found = Find(found->parent)) {
      origin.x += found->placement.left;
      origin.y += found->placement.top;
    }
    return origin;
  }

  HWND TopLevelOf(HWND window) {
    while (window != Desktop() && Find(window)->parent != Desktop()) window = Find(window)->parent;
    return window;
  }

  HWND m_foreground = nullptr;
  POINT m_cursor = {0, 0};

 private:
  std::map<HWND, Window> m_windows;
  uintptr_t m_nextHandle = 0x10010;
};

struct WindowClass {
  ATOM atom;
  std::string name;
  WNDPROC procedure;
  UINT style = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
};

class ThreadQueue;

// A message another thread waits on until the owner of its window has handled it.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::shared_ptr<ThreadQueue> sender;
  bool answered = false;
  LRESULT result = 0;
};

// The posted messages of a thread, oldest first. The nodes of taken messages are kept for the next ones
// (up to a bound), so a busy message loop posts and takes without allocating.
class PostedMessages {
 public:
  using iterator = std::list<MSG>::iterator;
  iterator begin() { return m_queue.begin(); }
  iterator end() { return m_queue.end(); }
  size_t size() const { return m_queue.size(); }
  bool empty() const { return m_queue.empty(); }
  void push_back(const MSG& message) {
    if (m_spare.empty()) {
      m_queue.push_back(message);
      return;
    }
    m_spare.front() = message;
    m_queue.splice(m_queue.end(), m_spare, m_spare.begin());
  }
  void erase(iterator taken) {
    if (m_spare.size() < kSpareNodes) {
      m_spare.splice(m_spare.begin(), m_queue, taken);
    } else {
      m_queue.erase(taken);
    }
  }
  void clear() {
    m_queue.clear();
    m_spare.clear();
  }
  // Moves every message of `from` behind these and gives `from`, where the next ones are posted, the
  // spare nodes of these.
  void TakeAll(PostedMessages& from) {
    m_queue.splice(m_queue.end(), from.m_queue);
    from.m_spare.splice(from.m_spare.end(), m_spare);
    while (from.m_spare.size() > kSpareNodes) from.m_spare.pop_back();
  }

 private:
  // Enough for the messages a loop has waiting at a time; a burst beyond it allocates and frees.
  static constexpr size_t kSpareNodes = 1024;
  std::list<MSG> m_queue;
  std::list<MSG> m_spare;
};

class ThreadQueue {
 public:
  explicit ThreadQueue(DWORD threadId) : threadId(threadId) {}
  const DWORD threadId;
  PostedMessages posted;  // where other threads post, under the lock
  // The posted messages the thread has taken over, oldest first, which only it touches, with or
  // without the lock: a busy loop takes them one by one without meeting the threads that post.
  PostedMessages inbox;
  std::atomic<size_t> inboxSize{0};
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::atomic<bool> sentWaiting{false};
  bool quitPending = false;
  int quitCode = 0;
  bool waitingInGetMessage = false;
  // Wakes the thread for a message posted or sent to it, or the answer to a message it sent.
  std::condition_variable wake;
  // Made when a socket first reports to one of the thread's windows; from then on the thread waits
  // for messages and for its sockets in this set.
  std::shared_ptr<MessageWaitSet> waitSet;
  bool waitingInSet = false;
  unsigned roundsSincePoll = 0;
};

struct WindowSystem {
  std::mutex mutex;
  WindowTree tree;
  std::vector<WindowClass> classes;
  unsigned nextAtom = 0xC000;  // where Windows numbers registered classes
  std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
  std::condition_variable idleChanged;
  std::atomic<uint64_t> removals{0};  // of windows, for the threads' dispatch caches
};

// The one window system of the process, made on first use and never destroyed: detached threads may
// still post while the process runs its exit handlers.
WindowSystem& System();

// Sets ERROR_INVALID_WINDOW_HANDLE and returns null.
HWND InvalidWindow();

// The window, or null with ERROR_INVALID_WINDOW_HANDLE set.
Window* FindOrFail(WindowSystem& system, HWND window);

// With the lock held: the class a new window of the class named (or MAKEINTATOM-numbered) `className`
// is made of, the built-in control classes included; null with ERROR_CLASS_DOES_NOT_EXIST set when
// there is none.
const WindowClass* ClassOfNewWindow(WindowSystem& system, LPCSTR className);

// With the lock held: removes `window` and its descendants without any message; the senders still
// waiting on them are answered 0.
void RemoveWindow(WindowSystem& system, HWND window);
// The same, taking the lock.
void RemoveWindowTakingLock(HWND window);

// The calling thread's queue, made on its first call; it goes when the thread ends, with the thread's
// windows. Must be called without the lock: the first call of a thread takes it.
const std::shared_ptr<ThreadQueue>& CallerQueue();

}  // namespace plat::detail
