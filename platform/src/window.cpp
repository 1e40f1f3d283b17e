// The window tree of the process: each window's children in Z order, topmost first.
#include "plat/window.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/error.h"
#include "plat/winmain.h"

namespace plat {
namespace {

struct Window {
  HWND parent = nullptr;
  std::vector<HWND> children;  // topmost first
  LONG_PTR userData = 0;
  bool visible = true;
  bool minimised = false;
};

class WindowTree {
 public:
  WindowTree() { m_windows[Desktop()] = Window{}; }

  static HWND Desktop() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }

  std::mutex mutex;

  Window* Find(HWND window) {
    auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : &found->second;
  }

  HWND Add(HWND parent, LONG_PTR userData) {
    Window* parentWindow = Find(parent);
    if (parentWindow == nullptr) return nullptr;
    // Handles grow by 2 as on Windows and are never reused.
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(m_nextHandle += 2));
    parentWindow->children.insert(parentWindow->children.begin(), window);
    Window& added = m_windows[window];
    added.parent = parent;
    added.userData = userData;
    return window;
  }

  void Remove(HWND window) {
    Window* removed = Find(window);
    if (removed == nullptr || window == Desktop()) return;
    for (HWND child : std::vector<HWND>(removed->children)) Remove(child);
    std::vector<HWND>& siblings = Find(removed->parent)->children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    if (m_foreground == window) m_foreground = nullptr;
    m_windows.erase(window);
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

WindowTree& Tree() {
  static WindowTree tree;
  return tree;
}

HWND InvalidWindow() {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

}  // namespace

HWND GetDesktopWindow() { return WindowTree::Desktop(); }

HWND GetWindow(HWND window, UINT command) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
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

BOOL IsWindow(HWND window) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  return tree.Find(window) != nullptr;
}

namespace {

// The user data slot of `window`; null with the last error set for a bad window or another index.
LONG_PTR* UserDataSlot(WindowTree& tree, HWND window, int index) {
  Window* found = tree.Find(window);
  if (found == nullptr) {
    InvalidWindow();
    return nullptr;
  }
  if (index != GWLP_USERDATA) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &found->userData;
}

}  // namespace

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  LONG_PTR* slot = UserDataSlot(tree, window, index);
  return slot ? *slot : 0;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  LONG_PTR* slot = UserDataSlot(tree, window, index);
  if (slot == nullptr) return 0;
  LONG_PTR previous = *slot;
  *slot = value;
  return previous;
}

LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(static_cast<uint32_t>(GetWindowLongPtrA(window, index)));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(static_cast<uint32_t>(SetWindowLongPtrA(window, index, value)));
}

BOOL IsIconic(HWND window) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  Window* found = tree.Find(window);
  return found != nullptr && found->minimised;
}

BOOL IsWindowVisible(HWND window) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  Window* found = tree.Find(window);
  return found != nullptr && found->visible;
}

BOOL ShowWindow(HWND window, int showCommand) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  Window* found = tree.Find(window);
  if (found == nullptr) {
    InvalidWindow();
    return FALSE;
  }
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
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  if (tree.Find(window) == nullptr || window == GetDesktopWindow()) return FALSE;
  HWND topLevel = tree.TopLevelOf(window);
  std::vector<HWND>& order = tree.Find(GetDesktopWindow())->children;
  order.erase(std::find(order.begin(), order.end(), topLevel));
  order.insert(order.begin(), topLevel);
  tree.m_foreground = topLevel;
  return TRUE;
}

HWND GetForegroundWindow() {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  return tree.m_foreground;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  *point = tree.m_cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  tree.m_cursor = {x, y};
  return TRUE;
}

HWND CreateWindowForTesting(HWND parent, LONG_PTR userData) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  return tree.Add(parent ? parent : GetDesktopWindow(), userData);
}

void RemoveWindowForTesting(HWND window) {
  WindowTree& tree = Tree();
  std::lock_guard<std::mutex> lock(tree.mutex);
  tree.Remove(window);
}

}  // namespace plat
