// Window tools of the programs: the settings applet is found by the tag in its user data.
#include "plat/time.h"
#include "plat/window.h"
#include "plat/winmain.h"
#include "tool_window.h"

namespace TOOLFUNC_window {

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
