// The process-wide window system and the lookups every window call starts with.
#include "window_system.h"

#include "plat/error.h"

namespace plat::detail {

WindowSystem& System() {
  static WindowSystem* system = new WindowSystem;
  return *system;
}

HWND InvalidWindow() {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

Window* FindOrFail(WindowSystem& system, HWND window) {
  Window* found = system.tree.Find(window);
  if (found == nullptr) InvalidWindow();
  return found;
}

}  // namespace plat::detail
