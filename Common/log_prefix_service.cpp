// The service program's prefix of its debugger messages.
#include "tool_debug.h"

namespace TOOLFUNC_debug {
const char LogPrefix[] = "VELCORA: ";
const plat::DWORD LogPrefixLength = sizeof(LogPrefix) - 1;
}  // namespace TOOLFUNC_debug
