// Window classes: their registration, what is known of them, their removal, and the system cursor.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "plat/codepage.h"
#include "plat/error.h"
#include "system_classes.h"
#include "window_system.h"

namespace plat {

using detail::System;
using detail::WindowClass;
using detail::WindowSystem;

namespace {

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

}  // namespace

// A built-in control's class comes into being with its first window.
const WindowClass* detail::ClassOfNewWindow(WindowSystem& system, LPCSTR className) {
  auto windowClass = FindClass(system, className);
  WNDPROC control = windowClass == system.classes.end() && !IsAtom(className)
                        ? detail::SystemClassProcedure(className)
                        : nullptr;
  if (control != nullptr && system.nextAtom <= 0xFFFF) {
    system.classes.push_back(WindowClass{static_cast<ATOM>(system.nextAtom++), className, control});
    return &system.classes.back();
  }
  if (windowClass == system.classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  return &*windowClass;
}

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

}  // namespace plat
