// What of the tool library only the removal tool has: its debugger prefix.
#include "debug_tools.h"

namespace TOOLFUNC_debug {
// A constant, not computed at start-up, so no caller can ever see a length of 0 behind the prefix.
const char LogPrefix[] = "REMOVE: ";
const plat::DWORD LogPrefixLength = sizeof(LogPrefix) - 1;
}  // namespace TOOLFUNC_debug
