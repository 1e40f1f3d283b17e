// Window tools: the popup menu at the cursor, finding a window by its user data, bringing it to the front.
#pragma once

#include "plat/types.h"
#include "plat/window.h"

namespace TOOLFUNC_window {

// Makes `window` the foreground window and opens `menu` 10 pixels right of the cursor, left and top
// aligned, either button picking; the choice reaches `window` as WM_COMMAND. Returns TrackPopupMenuEx's
// result (non-zero on success).
plat::BOOL TrackPopupMenuAtCursor(plat::HWND window, plat::HMENU menu);

// The first window, depth first in Z order from `root` itself, whose user data equals `value`; null
// when there is none.
plat::HWND FindWindowByUserData(plat::HWND root, plat::DWORD value);

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

}  // namespace TOOLFUNC_window
