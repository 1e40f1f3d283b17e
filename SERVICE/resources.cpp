// The program's resources: the menu of the notification icon.
#include "plat/shell.h"
#include "service_window.h"

namespace {

plat::HMENU BuildIconMenu() {
  plat::HMENU popup = plat::CreatePopupMenu();
  plat::AppendMenuA(popup, plat::MF_STRING, ID_MENU_SETTINGS, "Settings");
  plat::AppendMenuA(popup, plat::MF_SEPARATOR, 0, nullptr);
  plat::AppendMenuA(popup, plat::MF_STRING, ID_MENU_STOP, "Stop");
  plat::AppendMenuA(popup, plat::MF_STRING | plat::MF_GRAYED, ID_MENU_CONTINUE, "Continue");
  plat::AppendMenuA(popup, plat::MF_SEPARATOR, 0, nullptr);
  plat::AppendMenuA(popup, plat::MF_STRING, ID_MENU_END, "End");
  plat::HMENU menu = plat::CreateMenu();
  plat::AppendMenuA(menu, plat::MF_POPUP, reinterpret_cast<plat::UINT_PTR>(popup), "");
  return menu;
}

}  // namespace

void CServiceWindow::RegisterResources() { plat::RegisterMenuResource(IDR_ICON_MENU, BuildIconMenu); }
