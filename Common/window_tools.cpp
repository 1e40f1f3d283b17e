// Window tools of the programs: the notification menu at the cursor, raising a window, and numbers shown
// as window text.
#include "window_tools.h"

#include <cstdio>

#include "plat/shell.h"
#include "plat/time.h"
#include "plat/window.h"
#include "plat/winmain.h"
#include "string_tools.h"

namespace TOOLFUNC_window {

plat::BOOL TrackPopupMenuAtCursor(plat::HWND window, plat::HMENU menu) {
  plat::POINT cursor = {0, 0};
  plat::GetCursorPos(&cursor);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  plat::SetForegroundWindow(window);
  return plat::TrackPopupMenuEx(menu, plat::TPM_RIGHTBUTTON, cursor.x + 10, cursor.y, window, nullptr);
}

void BringWindowToFront(plat::HWND window) {
  if (plat::IsIconic(window)) plat::ShowWindow(window, plat::SW_RESTORE);
  plat::SetForegroundWindow(window);
  plat::Sleep(10);
}

void SetWindowNumber(plat::HWND window, plat::DWORD number) {
  char text[31];
  std::snprintf(text, sizeof text, " %u", number);
  plat::SetWindowTextA(window, text);
}

plat::LONG GetWindowNumber(plat::HWND window) {
  // A bad window leaves the buffer as it was, so it starts empty.
  char text[31] = {};
  plat::GetWindowTextA(window, text, sizeof text);
  return TOOLFUNC_string::ReadDecimal(text);
}

void SetWindowPercent(plat::HWND window, plat::DWORD part, plat::DWORD whole) {
  const double ratio = whole != 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
  char text[15];
  std::snprintf(text, sizeof text, "  %0.2f%%", ratio * 100.0);
  plat::SetWindowTextA(window, text);
}

}  // namespace TOOLFUNC_window
