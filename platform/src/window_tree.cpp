// The window tree: windows made and destroyed, the default procedure, and the relations between
// windows (parent, children, siblings, dialog items, owner thread).
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/error.h"
#include "plat/process.h"
#include "plat/thread.h"
#include "window_system.h"

namespace plat {

using detail::CallerQueue;
using detail::ClassOfNewWindow;
using detail::FindOrFail;
using detail::InvalidWindow;
using detail::RemoveWindowTakingLock;
using detail::System;
using detail::ThreadQueue;
using detail::Window;
using detail::WindowClass;
using detail::WindowSystem;
using detail::WindowTree;

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
    const WindowClass* windowClass = ClassOfNewWindow(system, className);
    if (windowClass == nullptr) return nullptr;
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
    RemoveWindowTakingLock(window);
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
  RemoveWindowTakingLock(window);
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

}  // namespace plat
