// Window tools of the programs: the notification menu at the cursor, and raising the settings applet.
#include "plat/shell.h"
#include "plat/time.h"
#include "plat/window.h"
#include "plat/winmain.h"
#include "tool_window.h"

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

}  // namespace TOOLFUNC_window
