// Windows of the process: the tree below the desktop, user data, show state and the foreground window.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;

constexpr int GWL_USERDATA = -21;
constexpr int GWLP_USERDATA = -21;

struct POINT {
  LONG x;
  LONG y;
};

// The root of every window of the process; never null.
HWND GetDesktopWindow();

// The window in relation `command` to `window` (GW_CHILD: its topmost child; GW_HWNDNEXT / GW_HWNDPREV:
// the sibling below / above it in the Z order; GW_HWNDFIRST / GW_HWNDLAST: the topmost / lowest
// sibling), null when there is none; null with ERROR_INVALID_WINDOW_HANDLE for a bad window.
HWND GetWindow(HWND window, UINT command);

// Whether `window` exists; sets no error.
BOOL IsWindow(HWND window);

// The window's user data (GWLP_USERDATA), 0 with ERROR_INVALID_WINDOW_HANDLE for a bad window and
// ERROR_INVALID_PARAMETER (87) for another index. The Set forms return the previous value.
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
// The low 32 bits of the same value.
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);

// Whether the window is minimised; FALSE for a bad window.
BOOL IsIconic(HWND window);
// Whether the window is shown; FALSE for a bad window.
BOOL IsWindowVisible(HWND window);
// Hides, shows, minimises or restores the window (SW_ values of plat/winmain.h); returns whether it was
// visible before. FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad window.
BOOL ShowWindow(HWND window, int showCommand);

// Makes the window's top-level window the foreground window and puts it on top of the Z order; FALSE
// for a bad window.
BOOL SetForegroundWindow(HWND window);
// The foreground window, null when there is none.
HWND GetForegroundWindow();

// The cursor position; there is no pointer here, so it stays where SetCursorPos put it (0, 0 at first).
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

// For tests: a window below `parent` (null: the desktop) on top of its siblings, visible, not
// minimised, with the given user data; and its removal with all its descendants.
HWND CreateWindowForTesting(HWND parent, LONG_PTR userData);
void RemoveWindowForTesting(HWND window);

}  // namespace plat
