// The event log: event sources, reported events appended to the machine's log, and the message tables
// that give an event its description.
#pragma once

#include <string>
#include <vector>

#include "plat/types.h"

namespace plat {

constexpr WORD EVENTLOG_SUCCESS = 0x0000;
constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;
constexpr WORD EVENTLOG_AUDIT_SUCCESS = 0x0008;
constexpr WORD EVENTLOG_AUDIT_FAILURE = 0x0010;

// A handle to report events of `source` to this machine's log "Application"; succeeds for a source that is
// not registered, as on Windows. Null with ERROR_INVALID_PARAMETER without a source name,
// RPC_S_SERVER_UNAVAILABLE for another machine (`server` not null, empty or ".").
HANDLE RegisterEventSourceA(LPCSTR server, LPCSTR source);

// Appends one event to the log: its time, source, type, category, identifier, insertion strings and the
// description an event viewer shows (see RegisterMessageTable). User identifier and raw data are not
// kept. FALSE with ERROR_INVALID_HANDLE for a handle that is no event source, ERROR_INVALID_PARAMETER
// for insertion strings missing where a count is given, ERROR_WRITE_FAULT when the log cannot be
// written.
BOOL ReportEventA(HANDLE source, WORD type, WORD category, DWORD eventId, void* userSid, WORD numStrings,
                  DWORD dataSize, LPCSTR* strings, void* rawData);

// Closes the handle; FALSE with ERROR_INVALID_HANDLE for one that is no event source.
BOOL DeregisterEventSource(HANDLE source);

// The message table compiled into a program, known to the layer under the program's file name. An event's
// description is the message of its identifier in the table of the file that the source's registration
// names as "EventMessageFile" (file names compared without case), %1 to %9 replaced by the insertion
// strings and the closing line end dropped; without such a message, the insertion strings joined by
// blanks.
struct MessageTableEntry {
  DWORD id;
  const char* text;
};
void RegisterMessageTable(LPCSTR moduleFileName, const std::vector<MessageTableEntry>& entries);

// The events of the log `logName` ("Application"), oldest first; the log is the file
// <machine>/eventlog/<logName>.log.
struct EventRecord {
  std::string time;  // UTC, "YYYY-MM-DD hh:mm:ss"
  std::string source;
  WORD type;
  WORD category;
  DWORD eventId;
  std::vector<std::string> strings;
  std::string description;
};
std::vector<EventRecord> ReadEventLog(LPCSTR logName);

}  // namespace plat
