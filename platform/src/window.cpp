// Window classes, the window tree (each window's children in Z order, topmost first) and the
// per-thread message queues, all behind one process-wide lock.
#include "plat/window.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "message_wait.h"
#include "plat/codepage.h"
#include "plat/error.h"
#include "plat/process.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "plat/winmain.h"
#include "plat/testing/window.h"
#include "system_classes.h"

namespace plat {
namespace {

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
  std::shared_ptr<detail::MessageWaitSet> waitSet;
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

// Leaked on purpose: detached threads may still post while the process runs its exit handlers.
WindowSystem& System() {
  static WindowSystem* system = new WindowSystem;
  return *system;
}

HWND InvalidWindow() {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

// The window, or null with ERROR_INVALID_WINDOW_HANDLE set.
Window* FindOrFail(WindowSystem& system, HWND window) {
  Window* found = system.tree.Find(window);
  if (found == nullptr) InvalidWindow();
  return found;
}

HWND ThreadMessagesOnly() { return reinterpret_cast<HWND>(static_cast<intptr_t>(-1)); }

bool IsAtom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

std::vector<WindowClass>::iterator FindClass(WindowSystem& system, LPCSTR name) {
  return std::find_if(system.classes.begin(), system.classes.end(), [name](const WindowClass& entry) {
    if (IsAtom(name)) return name != nullptr && entry.atom == reinterpret_cast<uintptr_t>(name);
    return lstrcmpiA(entry.name.c_str(), name) == 0;
  });
}

// Whether FindClass found one; else ERROR_CLASS_DOES_NOT_EXIST is set.
bool ClassFound(WindowSystem& system, std::vector<WindowClass>::iterator found) {
  if (found != system.classes.end()) return true;
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return false;
}

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

// With the lock held: removes `window` and its descendants without any message.
void RemoveWindow(WindowSystem& system, HWND window) {
  std::vector<HWND> removed;
  system.tree.Remove(window, removed);
  ++system.removals;
  AnswerMessagesFor(system, removed);
}

void RemoveWindowUnlocked(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  RemoveWindow(system, window);
}

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

// Must be called without the system lock: the first call of a thread takes it.
const std::shared_ptr<ThreadQueue>& CallerQueue() {
  thread_local QueueOfThisThread mine;
  return mine.queue;
}

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

int CopyText(const std::string& text, LPSTR buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  const size_t copied = std::min(text.size(), static_cast<size_t>(size) - 1);
  text.copy(buffer, copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

}  // namespace

// ---- Classes ----

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  if (windowClass == nullptr ||
      (windowClass->cbSize != sizeof(WNDCLASSEXA) && windowClass->cbSize != kWindowClassSize32) ||
      windowClass->lpfnWndProc == nullptr || IsAtom(windowClass->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  if (FindClass(system, windowClass->lpszClassName) != system.classes.end()) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  if (system.nextAtom > 0xFFFF) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const ATOM atom = static_cast<ATOM>(system.nextAtom++);
  system.classes.push_back(WindowClass{atom, windowClass->lpszClassName, windowClass->lpfnWndProc,
                                       windowClass->style, windowClass->hInstance, windowClass->hIcon,
                                       windowClass->hCursor});
  return atom;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* windowClass) {
  if (windowClass == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  auto found = FindClass(system, className);
  if (!ClassFound(system, found)) return FALSE;
  *windowClass = WNDCLASSA{found->style, found->procedure, 0,       0,       found->instance,
                           found->icon,  found->cursor,    nullptr, nullptr, found->name.c_str()};
  return TRUE;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  auto found = FindClass(system, className);
  if (!ClassFound(system, found)) return FALSE;
  if (system.tree.HasWindowOfClass(found->atom)) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  system.classes.erase(found);
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
  static char arrow;
  if (instance == nullptr && cursorName == IDC_ARROW) return reinterpret_cast<HCURSOR>(&arrow);
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

// ---- Windows ----

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const std::shared_ptr<ThreadQueue>& mine = CallerQueue();
  // There is no screen to choose a place or size on.
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  HWND window = nullptr;
  {
    WindowSystem& system = System();
    std::lock_guard<std::mutex> lock(system.mutex);
    auto windowClass = FindClass(system, className);
    WNDPROC control = windowClass == system.classes.end() && !IsAtom(className)
                          ? detail::SystemClassProcedure(className)
                          : nullptr;
    if (control != nullptr && system.nextAtom <= 0xFFFF) {
      // A built-in control's class comes into being with its first window.
      system.classes.push_back(WindowClass{static_cast<ATOM>(system.nextAtom++), className, control});
      windowClass = system.classes.end() - 1;
    }
    if (windowClass == system.classes.end()) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    HWND parentWindow = parent != nullptr ? parent : GetDesktopWindow();
    if (system.tree.Find(parentWindow) == nullptr) return InvalidWindow();
    Window created;
    created.visible = (style & WS_VISIBLE) != 0;
    created.minimised = (style & WS_MINIMIZE) != 0;
    created.ownerThread = mine->threadId;
    created.procedure = windowClass->procedure;
    created.classAtom = windowClass->atom;
    created.title = windowName != nullptr ? windowName : "";
    created.style = style;
    created.exStyle = exStyle;
    created.placement = {x, y, x + width, y + height};
    created.instance = instance;
    created.menu = menu;
    window = system.tree.Add(parentWindow, std::move(created));
  }
  CREATESTRUCTA creation{};
  creation.lpCreateParams = param;
  creation.hInstance = instance;
  creation.hMenu = menu;
  creation.hwndParent = parent;
  creation.cy = height;
  creation.cx = width;
  creation.y = y;
  creation.x = x;
  creation.style = static_cast<LONG>(style);
  creation.lpszName = windowName;
  creation.lpszClass = className;
  creation.dwExStyle = exStyle;
  const LPARAM creationParameter = reinterpret_cast<LPARAM>(&creation);
  if (SendMessageA(window, WM_NCCREATE, 0, creationParameter) == FALSE) {
    RemoveWindowUnlocked(window);
    return nullptr;
  }
  if (SendMessageA(window, WM_CREATE, 0, creationParameter) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  return window;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> doomed;
  {
    WindowSystem& system = System();
    std::lock_guard<std::mutex> lock(system.mutex);
    Window* found = system.tree.Find(window);
    if (found == nullptr || window == GetDesktopWindow() || found->destroying) {
      InvalidWindow();
      return FALSE;
    }
    if (found->ownerThread != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    doomed = system.tree.Subtree(window);
    for (HWND each : doomed) system.tree.Find(each)->destroying = true;
  }
  // A window is still whole while it handles WM_DESTROY; its children follow it.
  for (HWND each : doomed) SendMessageA(each, WM_DESTROY, 0, 0);
  for (auto each = doomed.rbegin(); each != doomed.rend(); ++each) SendMessageA(*each, WM_NCDESTROY, 0, 0);
  RemoveWindowUnlocked(window);
  return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_NCCREATE:
    case WM_POWERBROADCAST:
      return TRUE;
  }
  return 0;
}

HWND GetDesktopWindow() { return WindowTree::Desktop(); }

HWND GetWindow(HWND window, UINT command) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  WindowTree& tree = system.tree;
  Window* found = tree.Find(window);
  if (found == nullptr) return InvalidWindow();
  if (command == GW_CHILD) return found->children.empty() ? nullptr : found->children.front();
  if (command == GW_OWNER || window == GetDesktopWindow()) return nullptr;
  const std::vector<HWND>& siblings = tree.Find(found->parent)->children;
  auto position = std::find(siblings.begin(), siblings.end(), window);
  switch (command) {
    case GW_HWNDFIRST:
      return siblings.front();
    case GW_HWNDLAST:
      return siblings.back();
    case GW_HWNDNEXT:
      return position + 1 == siblings.end() ? nullptr : *(position + 1);
    case GW_HWNDPREV:
      return position == siblings.begin() ? nullptr : *(position - 1);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HWND GetTopWindow(HWND window) {
  return GetWindow(window != nullptr ? window : GetDesktopWindow(), GW_CHILD);
}

HWND GetParent(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr || found->parent == GetDesktopWindow()) return nullptr;
  return found->parent;
}

HWND GetDlgItem(HWND dialog, int id) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  if (FindOrFail(system, dialog) == nullptr) return nullptr;
  std::vector<HWND> order = system.tree.Subtree(dialog);
  auto item = std::find_if(order.begin() + 1, order.end(), [&](HWND window) {
    return reinterpret_cast<intptr_t>(system.tree.Find(window)->menu) == id;
  });
  if (item != order.end()) return *item;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(item, buffer, size));
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr && SetWindowTextA(item, text);
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return 0;
  if (processId != nullptr) *processId = found->processId != 0 ? found->processId : GetCurrentProcessId();
  return found->ownerThread;
}

BOOL IsWindow(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  return system.tree.Find(window) != nullptr;
}

namespace {

// The window of a Get/SetWindowLong call; null with the last error set for a bad window.
Window* FindForLong(WindowTree& tree, HWND window) {
  Window* found = tree.Find(window);
  if (found == nullptr) InvalidWindow();
  return found;
}

// The style bits with WS_VISIBLE and WS_MINIMIZE as the window is now.
DWORD StyleOf(const Window& window) {
  DWORD style = window.style & ~(WS_VISIBLE | WS_MINIMIZE);
  if (window.visible) style |= WS_VISIBLE;
  if (window.minimised) style |= WS_MINIMIZE;
  return style;
}

LONG_PTR InvalidIndex() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

}  // namespace

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindForLong(system.tree, window);
  if (found == nullptr) return 0;
  switch (index) {
    case GWLP_USERDATA:
      return found->userData;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(StyleOf(*found));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(found->exStyle);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(found->instance);
    case GWLP_ID:
      return reinterpret_cast<LONG_PTR>(found->menu);
  }
  return InvalidIndex();
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindForLong(system.tree, window);
  if (found == nullptr) return 0;
  LONG_PTR previous = 0;
  switch (index) {
    case GWLP_USERDATA:
      previous = found->userData;
      found->userData = value;
      return previous;
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(StyleOf(*found));
      found->style = static_cast<DWORD>(value);
      found->visible = (found->style & WS_VISIBLE) != 0;
      found->minimised = (found->style & WS_MINIMIZE) != 0;
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG_PTR>(found->exStyle);
      found->exStyle = static_cast<DWORD>(value);
      return previous;
  }
  return InvalidIndex();
}

LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(static_cast<uint32_t>(GetWindowLongPtrA(window, index)));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(static_cast<uint32_t>(SetWindowLongPtrA(window, index, value)));
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return 0;
  return CopyText(found->title, buffer, size);
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return FALSE;
  found->title = text != nullptr ? text : "";
  return TRUE;
}

int GetClassNameA(HWND window, LPSTR buffer, int size) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return 0;
  auto windowClass =
      std::find_if(system.classes.begin(), system.classes.end(),
                   [found](const WindowClass& entry) { return entry.atom == found->classAtom; });
  return windowClass == system.classes.end() ? 0 : CopyText(windowClass->name, buffer, size);
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return FALSE;
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const POINT origin = system.tree.ScreenOrigin(found->parent);
  *rect = {found->placement.left + origin.x, found->placement.top + origin.y,
           found->placement.right + origin.x, found->placement.bottom + origin.y};
  return TRUE;
}

namespace {

// Moves the point by the window's screen origin, scaled by `direction` (+1 to the screen, -1 from it).
BOOL ShiftPoint(HWND window, POINT* point, int direction) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  if (FindOrFail(system, window) == nullptr) return FALSE;
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const POINT origin = system.tree.ScreenOrigin(window);
  point->x += direction * origin.x;
  point->y += direction * origin.y;
  return TRUE;
}

// The deepest visible window below `window` that holds `point`, given in `window`'s client coordinates.
HWND DeepestAt(WindowTree& tree, HWND window, POINT point) {
  for (HWND child : tree.Find(window)->children) {
    const Window& found = *tree.Find(child);
    const RECT& place = found.placement;
    if (!found.visible || point.x < place.left || point.x >= place.right || point.y < place.top ||
        point.y >= place.bottom) {
      continue;
    }
    return DeepestAt(tree, child, POINT{point.x - place.left, point.y - place.top});
  }
  return window;
}

}  // namespace

BOOL ClientToScreen(HWND window, POINT* point) { return ShiftPoint(window, point, 1); }

BOOL ScreenToClient(HWND window, POINT* point) { return ShiftPoint(window, point, -1); }

HWND WindowFromPoint(POINT point) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  return DeepestAt(system.tree, GetDesktopWindow(), point);
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  WindowTree& tree = system.tree;
  Window* found = tree.Find(window);
  if (found == nullptr || window == GetDesktopWindow()) {
    InvalidWindow();
    return FALSE;
  }
  RECT& place = found->placement;
  if ((flags & SWP_NOMOVE) == 0) {
    place = {x, y, x + place.right - place.left, y + place.bottom - place.top};
  }
  if ((flags & SWP_NOSIZE) == 0) {
    place.right = place.left + width;
    place.bottom = place.top + height;
  }
  if ((flags & SWP_NOZORDER) == 0) {
    std::vector<HWND>& siblings = tree.Find(found->parent)->children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    auto after = std::find(siblings.begin(), siblings.end(), insertAfter);
    if (insertAfter == HWND_BOTTOM) {
      siblings.push_back(window);
    } else if (after != siblings.end()) {
      siblings.insert(after + 1, window);
    } else {
      siblings.insert(siblings.begin(), window);  // HWND_TOP, HWND_TOPMOST, HWND_NOTOPMOST
    }
  }
  if ((flags & SWP_NOACTIVATE) == 0 && found->parent == GetDesktopWindow()) tree.m_foreground = window;
  return TRUE;
}

BOOL GetWindowInfo(HWND window, WINDOWINFO* info) {
  RECT rect;
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!GetWindowRect(window, &rect)) return FALSE;
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return FALSE;
  *info = WINDOWINFO{};
  info->cbSize = sizeof(WINDOWINFO);
  info->rcWindow = info->rcClient = rect;
  info->dwStyle = StyleOf(*found);
  info->dwExStyle = found->exStyle;
  info->atomWindowType = found->classAtom;
  return TRUE;
}

BOOL IsIconic(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = system.tree.Find(window);
  return found != nullptr && found->minimised;
}

BOOL IsWindowVisible(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = system.tree.Find(window);
  return found != nullptr && found->visible;
}

BOOL ShowWindow(HWND window, int showCommand) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  Window* found = FindOrFail(system, window);
  if (found == nullptr) return FALSE;
  BOOL wasVisible = found->visible;
  switch (showCommand) {
    case SW_HIDE:
      found->visible = false;
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      found->visible = true;
      found->minimised = true;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      found->visible = true;
      found->minimised = false;
      break;
    default:
      found->visible = true;
      break;
  }
  return wasVisible;
}

BOOL SetForegroundWindow(HWND window) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  WindowTree& tree = system.tree;
  if (tree.Find(window) == nullptr || window == GetDesktopWindow()) return FALSE;
  HWND topLevel = tree.TopLevelOf(window);
  std::vector<HWND>& order = tree.Find(GetDesktopWindow())->children;
  order.erase(std::find(order.begin(), order.end(), topLevel));
  order.insert(order.begin(), topLevel);
  tree.m_foreground = topLevel;
  return TRUE;
}

HWND GetForegroundWindow() {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  return system.tree.m_foreground;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  *point = system.tree.m_cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  system.tree.m_cursor = {x, y};
  return TRUE;
}

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

// ---- Test seams ----

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

void RemoveWindowForTesting(HWND window) { RemoveWindowUnlocked(window); }

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
