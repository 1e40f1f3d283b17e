// Window tools: finding a window by its user data and bringing it to the front.
#pragma once

#include "plat/types.h"

namespace TOOLFUNC_window {

// The first window, depth first in Z order from `root` itself, whose user data equals `value`; null
// when there is none.
plat::HWND FindWindowByUserData(plat::HWND root, plat::DWORD value);

// Restores the window when it is minimised and makes it the foreground window.
void BringWindowToFront(plat::HWND window);

}  // namespace TOOLFUNC_window
