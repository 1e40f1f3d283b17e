// Storing a window's outer rectangle under the current user, keyed by its title, and putting it back.
#include <cstdio>

#include "path_tools.h"
#include "plat/error.h"
#include "plat/window.h"
#include "registry_tool.h"
#include "window_tools.h"

namespace TOOLFUNC_registry {
namespace {

// Stands for "nothing stored" in the bottom edge.
constexpr plat::LONG kNothingStored = -9999;

// The key of the window under `base`; false for a window without a title, which has no key.
bool WindowKeyPath(plat::HWND window, const char* base, char (&path)[TOOLFUNC_file::kPathCapacity]) {
  char title[127] = "";
  if (plat::GetWindowTextA(window, title, sizeof(title)) == 0) return false;
  std::snprintf(path, sizeof(path), "%s\\Windows\\%s", base, title);
  return true;
}

plat::LONG ReadEdge(CRegTool& key, const char* name, plat::LONG defaultValue) {
  plat::DWORD value = 0;
  key.ReadDword(name, &value, static_cast<plat::DWORD>(defaultValue));
  return static_cast<plat::LONG>(value);
}

template <typename Action>
void ForEachChild(plat::HWND window, const Action& action) {
  for (plat::HWND child = plat::GetWindow(window, plat::GW_CHILD); child != nullptr;
       child = plat::GetWindow(child, plat::GW_HWNDNEXT)) {
    action(child);
  }
}

}  // namespace

void CRegTool::SaveWindowPos(plat::HWND window, const char* base) {
  char path[TOOLFUNC_file::kPathCapacity];
  if (!WindowKeyPath(window, base, path)) return;
  plat::RECT rect{};
  plat::GetWindowRect(window, &rect);
  CRegTool key;
  if (key.Open(plat::HKEY_CURRENT_USER, path) != plat::ERROR_SUCCESS) return;
  key.WriteDword("WndBottom", static_cast<plat::DWORD>(rect.bottom));
  key.WriteDword("WndLeft", static_cast<plat::DWORD>(rect.left));
  key.WriteDword("WndRight", static_cast<plat::DWORD>(rect.right));
  key.WriteDword("WndTop", static_cast<plat::DWORD>(rect.top));
  key.Close();
}

int CRegTool::RestoreWindowPos(plat::HWND window, const char* base) {
  char path[TOOLFUNC_file::kPathCapacity];
  if (!WindowKeyPath(window, base, path)) return 0;
  CRegTool key;
  if (key.Open(plat::HKEY_CURRENT_USER, path) != plat::ERROR_SUCCESS) return 0;
  const plat::LONG bottom = ReadEdge(key, "WndBottom", kNothingStored);
  const plat::LONG left = ReadEdge(key, "WndLeft", 0);
  const plat::LONG right = ReadEdge(key, "WndRight", 0);
  const plat::LONG top = ReadEdge(key, "WndTop", 0);
  key.Close();
  if (bottom == kNothingStored) return 1;
  plat::SetWindowPos(window, plat::HWND_NOTOPMOST, left, top, right - left, bottom - top, 0);
  return 1;
}

void CRegTool::SaveWindowPosTree(plat::HWND window, const char* base, plat::BOOL withChildren) {
  SaveWindowPos(window, base);
  if (withChildren) ForEachChild(window, [base](plat::HWND child) { SaveWindowPos(child, base); });
}

void CRegTool::RestoreWindowPosTree(plat::HWND window, const char* base, plat::BOOL withChildren) {
  if (RestoreWindowPos(window, base) == 0) TOOLFUNC_window::CenterOnParent(window);
  if (withChildren) ForEachChild(window, [base](plat::HWND child) { RestoreWindowPos(child, base); });
}

}  // namespace TOOLFUNC_registry
