// The program's resources: the menu of the notification icon and the message table of its events.
#include "plat/eventlog.h"
#include "plat/shell.h"
#include "service_window.h"

namespace {

// The program is the message file of its event source: the table is known to the layer before main runs,
// as a resource of the file would be.
const bool g_messageTableRegistered = [] {
  plat::RegisterMessageTable("VELCORA.EXE", {{0x20000004, "CTI-Service\r\n"}, {0x20000065, "%1\r\n"}});
  return true;
}();

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
