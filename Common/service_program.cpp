// What of the tool library only the service program has: its debugger prefix and its log file.
#include "tool_debug.h"
#include "tool_logfile.h"

namespace TOOLFUNC_debug {
const char LogPrefix[] = "VELCORA: ";
const plat::DWORD LogPrefixLength = sizeof(LogPrefix) - 1;
}  // namespace TOOLFUNC_debug

TOOLFUNC_debug::CLoggingFile g_LoggingFile;
