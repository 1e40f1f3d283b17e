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

}  // namespace TOOLFUNC_window
