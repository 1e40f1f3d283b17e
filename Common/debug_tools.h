// Logging through log4cxx, and the debugger and message-box tools of both programs.
#pragma once

#include "plat/types.h"

#define TOOLFUNC_PRINTF(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))

// The levels of LogMessage. 0 and 1 are written as ERROR, like any value outside this list; 4 and 5
// both as DEBUG: 4 carries the values of a step, 5 names the function or step being taken.
enum LogLevel : plat::LONG {
  kLogCritical = 0,
  kLogError = 1,
  kLogWarning = 2,
  kLogInfo = 3,
  kLogDetail = 4,
  kLogTrace = 5,
};

// Opens the gate of LogMessage; false until ConfigureLogging has configured log4cxx.
extern bool g_bLoggingConfigured;
// The log4cxx configuration file; the start-up copies the -l value into it (TOOLFUNC_file::kPathCapacity
// bytes at most).
extern char g_szLogConfigFile[plat::MAX_PATH];

namespace TOOLFUNC_debug {

// The prefix of the debugger and message-box tools; each program defines its own.
extern const char LogPrefix[];
extern const plat::DWORD LogPrefixLength;

// Configures log4cxx from g_szLogConfigFile and opens the gate; returns 0.
int ConfigureLogging();

// Writes one event through the logger "Velcora" at the log4cxx level of `level` (see LogLevel).
void LogMessage(plat::LONG level, const char* format, ...) TOOLFUNC_PRINTF(2, 3);

// LogPrefix and the text to the debugger, whatever the level.
void DebugTrace(plat::LONG level, const char* format, ...) TOOLFUNC_PRINTF(2, 3);
// LogPrefix and the text in a message box, only for a level below kLogError.
void DebugBox(plat::LONG level, const char* format, ...) TOOLFUNC_PRINTF(2, 3);
// The text to the debugger, without prefix.
void DebugOutput(const char* format, ...) TOOLFUNC_PRINTF(1, 2);

// The system's text for the calling thread's last error, in a buffer the next call overwrites.
char* GetLastErrorText();
// The system's text for the last error to the debugger; nothing when the last error is 0.
void TraceLastError();
// The system's text for the last error in a message box; nothing when the last error is 0.
void ShowLastError();

}  // namespace TOOLFUNC_debug
