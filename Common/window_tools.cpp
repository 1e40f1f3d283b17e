// Window tools of the programs: the notification menu at the cursor, and the settings applet found by
// the tag in its user data.
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

plat::HWND FindWindowByUserData(plat::HWND root, plat::DWORD value) {
  // Compared as 32-bit values, so a tag with the top bit set matches whatever the width of the data.
  if (static_cast<plat::DWORD>(plat::GetWindowLongA(root, plat::GWL_USERDATA)) == value) return root;
  for (plat::HWND child = plat::GetWindow(root, plat::GW_CHILD); child != nullptr;
       child = plat::GetWindow(child, plat::GW_HWNDNEXT)) {
    if (plat::HWND found = FindWindowByUserData(child, value)) return found;
  }
  return nullptr;
}

void BringWindowToFront(plat::HWND window) {
  if (plat::IsIconic(window)) plat::ShowWindow(window, plat::SW_RESTORE);
  plat::SetForegroundWindow(window);
  plat::Sleep(10);
}

}  // namespace TOOLFUNC_window
