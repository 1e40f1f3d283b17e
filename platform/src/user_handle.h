// Handle values for the objects of the window manager and of drawing: icons, menus, fonts, contexts.
#pragma once

#include <atomic>
#include <cstdint>

namespace plat::detail {

// One counter for all of them, so no value ever names two objects of any kind and none is reused.
inline std::atomic<uintptr_t> g_lastUserHandle{0x30000};

template <typename Handle>
Handle NewUserHandle() {
  return reinterpret_cast<Handle>(g_lastUserHandle.fetch_add(4) + 4);
}

}  // namespace plat::detail
