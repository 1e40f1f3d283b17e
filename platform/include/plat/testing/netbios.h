// Test seam of NetBIOS: the adapters Netbios reports instead of the machine's.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "plat/netbios.h"

namespace plat {

// The adapters' hardware addresses instead of the machine's; nullopt returns to the machine.
void SetNetbiosAdaptersForTesting(std::optional<std::vector<std::array<BYTE, 6>>> addresses);

}  // namespace plat
