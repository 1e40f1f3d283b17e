// What each window holds and shows: its longs, title and class name, its rectangle and place on the
// screen, its show state; and the foreground window and the cursor position.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/winmain.h"
#include "text_buffer.h"
#include "window_system.h"

namespace plat {

using detail::CopyToBuffer;
using detail::FindOrFail;
using detail::InvalidWindow;
using detail::System;
using detail::Window;
using detail::WindowClass;
using detail::WindowSystem;
using detail::WindowTree;

namespace {

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
  Window* found = FindOrFail(system, window);
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
  Window* found = FindOrFail(system, window);
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
  return CopyToBuffer(found->title, buffer, size);
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
  return windowClass == system.classes.end() ? 0 : CopyToBuffer(windowClass->name, buffer, size);
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

}  // namespace plat
