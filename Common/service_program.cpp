// What of the tool library only the service program has: its debugger prefix, its log file and its
// event source.
#include "debug_tools.h"
#include "event_logger.h"
#include "logging_file.h"

namespace TOOLFUNC_debug {
const char LogPrefix[] = "VELCORA: ";
const plat::DWORD LogPrefixLength = sizeof(LogPrefix) - 1;
}  // namespace TOOLFUNC_debug

TOOLFUNC_debug::CLoggingFile g_LoggingFile;

// Every start registers the source again, whatever the mode.
TOOLFUNC_service::CEventLogger g_EventLogger("Velcora", "VELCORA.EXE");
