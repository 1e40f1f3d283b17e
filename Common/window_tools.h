// Window tools: the popup menu at the cursor, bringing a window to the front, window numbers, the
// searches through the window tree, centring, style and user-data bits, rectangles and icons.
#pragma once

#include "plat/types.h"
#include "plat/window.h"

namespace TOOLFUNC_window {

// Makes `window` the foreground window and opens `menu` 10 pixels right of the cursor, left and top
// aligned, either button picking; the choice reaches `window` as WM_COMMAND. Returns TrackPopupMenuEx's
// result (non-zero on success).
plat::BOOL TrackPopupMenuAtCursor(plat::HWND window, plat::HMENU menu);

// Restores the window when it is minimised and makes it the foreground window.
void BringWindowToFront(plat::HWND window);

// Sets the window's text to a blank and the decimal number.
void SetWindowNumber(plat::HWND window, plat::DWORD number);
// The first 30 characters of the window's text read as a signed decimal number (optional white
// space and a sign, up to the first non-digit, clamped to the 32-bit range); 0 for a bad window.
plat::LONG GetWindowNumber(plat::HWND window);
// Sets the window's text to two blanks and 100 * part / whole with two decimals and "%" (0 for a
// whole of 0), at most 14 characters.
void SetWindowPercent(plat::HWND window, plat::DWORD part, plat::DWORD whole);

// ---- Searches, depth first in Z order from `root` itself; null when nothing matches ----

// The first window whose user data equals `value`.
plat::HWND FindWindowByUserData(plat::HWND root, plat::DWORD value);
// FindWindowByUserData from the desktop, null when the window it finds belongs to another process.
plat::HWND FindOwnWindowByUserData(plat::DWORD value);
// The first window whose child id (GWLP_ID) is `id`.
plat::HWND FindWindowById(plat::HWND root, int id);
// The first window whose class name equals `className` in its first 127 characters, case-sensitive.
plat::HWND FindWindowByClass(plat::HWND root, const char* className);
// The first window whose title begins with `text` (at most 127 characters compared, case-sensitive).
plat::HWND FindWindowByTitle(plat::HWND root, const char* text);
// As FindWindowByTitle, and the window's style (or extended style) shares at least one of `bits`.
plat::HWND FindWindowByTitleAndStyle(plat::HWND root, const char* text, plat::DWORD bits);
plat::HWND FindWindowByTitleAndExStyle(plat::HWND root, const char* text, plat::DWORD bits);
// The highest ancestor reached through parents of the window's own process: the window itself when its
// parent is of another process or it has none.
plat::HWND FindTopLevelOwner(plat::HWND window);

// ---- Placement, bits and icons ----

// Centres the window on its parent's rectangle (the desktop's without a parent; on a desktop at least
// twice as wide as high, its left half) and brings it to the top of the Z order.
void CenterOnParent(plat::HWND window);
// Sets or clears bits of the window's style (GWL_STYLE) or extended style (GWL_EXSTYLE).
void AddStyle(plat::HWND window, plat::DWORD bits);
void RemoveStyle(plat::HWND window, plat::DWORD bits);
void AddExStyle(plat::HWND window, plat::DWORD bits);
void RemoveExStyle(plat::HWND window, plat::DWORD bits);
// Bit 0 of the window's user data as a flag; the other bits stay as they are.
void SetUserDataFlag(plat::HWND window, plat::BOOL flag);
plat::BOOL GetUserDataFlag(plat::HWND window);
// Leaves a rectangle with positive extent and positive right and bottom edges alone; any other becomes
// 0, 0, 600, 400.
void NormalizeWindowRect(plat::RECT* rect);
// Converts both corners from screen to the window's client coordinates.
void ScreenToClientRect(plat::HWND window, plat::RECT* rect);
// The window's small, second small or big icon as it answers WM_GETICON, else its class's icon (by atom,
// then by name, with `instance`); null for a null window or when there is none.
plat::HICON GetWindowIcon(plat::HWND window, plat::HINSTANCE instance);

}  // namespace TOOLFUNC_window
