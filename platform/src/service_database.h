// Service entries in the registry, the status records of services and their control sockets, shared
// by the controlling programs and the service processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/service.h"

namespace plat::detail {

// The markers StartServiceA puts into the environment of a service process: the service name, the
// number of StartServiceA arguments and each argument (VELCORA_SERVICE_ARG1, ...).
constexpr char kServiceNameVariable[] = "VELCORA_SERVICE_NAME";
constexpr char kServiceArgumentCountVariable[] = "VELCORA_SERVICE_ARGC";
constexpr char kServiceArgumentVariablePrefix[] = "VELCORA_SERVICE_ARG";

// How long StartServiceA waits for the dispatcher and ControlService for the handler (scaled).
constexpr DWORD kServiceResponseMilliseconds = 30000;

// ---- entries ------------------------------------------------------------------------------------

// The configuration of a service as its registry key holds it.
struct ServiceEntry {
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  DWORD startType = SERVICE_DEMAND_START;
  DWORD errorControl = SERVICE_ERROR_NORMAL;
  std::string imagePath;
  std::string group;
  std::vector<std::string> dependencies;
  std::string startName;
  std::string displayName;
  std::string description;
  bool isMarkedForDelete = false;
};

// Whether `name` can name a service: not null, 1-256 characters, no "\" or "/".
bool IsValidServiceName(LPCSTR name);
// Whether the registry value names a type, start type and error control of a Win32 service.
bool IsValidServiceType(DWORD type);
bool IsValidStartType(DWORD startType);
bool IsValidErrorControl(DWORD errorControl);

// ERROR_SUCCESS with the entry; ERROR_SERVICE_DOES_NOT_EXIST when no key of that name holds a "Type".
DWORD ReadServiceEntry(const std::string& name, ServiceEntry& entry);
// Writes every value of the entry (creating the key); the registry's error code.
DWORD WriteServiceEntry(const std::string& name, const ServiceEntry& entry);
// Sets "DeleteFlag" 1; the registry's error code.
DWORD MarkServiceEntryForDelete(const std::string& name);
// Removes the entry's key with everything below it.
void RemoveServiceEntry(const std::string& name);
// Whether another entry than `name` has `name` as its display name, or `displayName` as its name or
// display name.
bool IsServiceNameInUse(const std::string& name, const std::string& displayName);
// ERROR_SUCCESS when the entry of `name` (or with an empty name the list of entries) may be written,
// else the registry's refusal.
DWORD CheckServiceEntryWritable(const std::string& name);

// ---- status records -----------------------------------------------------------------------------

// The manager's record of a service and the process that runs it.
struct ServiceRuntime {
  SERVICE_STATUS status = {
      SERVICE_WIN32_OWN_PROCESS, SERVICE_STOPPED, 0, ERROR_SERVICE_NEVER_STARTED, 0, 0, 0};
  DWORD processId = 0;
  uint64_t processStartTime = 0;  // from /proc/<pid>/stat, so a reused process id is no match
  bool isDispatcherConnected = false;
};

// Holds the status record of one service locked against every other process and thread. The record
// as read already has the rule applied that a service whose process is gone is stopped
// (ERROR_PROCESS_ABORTED), and an entry marked for deletion is then removed.
class LockedServiceStatus {
 public:
  explicit LockedServiceStatus(const std::string& name);
  ~LockedServiceStatus();
  LockedServiceStatus(const LockedServiceStatus&) = delete;
  LockedServiceStatus& operator=(const LockedServiceStatus&) = delete;

  const ServiceRuntime& Current() const { return m_runtime; }
  // Stores `runtime` and appends its status to the history; a stopped record removes an entry
  // marked for deletion.
  void Record(const ServiceRuntime& runtime);
  // As Record, without a history line: for marks that are no status change.
  void Store(const ServiceRuntime& runtime);

 private:
  std::string m_name;
  int m_fd = -1;
  ServiceRuntime m_runtime;
};

// The identity of a running process: its start time, 0 when no process of that id runs (or only its
// zombie).
uint64_t ProcessStartTime(DWORD processId);

// ---- output ----------------------------------------------------------------------------------------

// The file in <machine>/services/ that a started service writes its standard output and error to:
// <name folded to lower case>.out.
std::string ServiceOutputPath(const std::string& name);

// ---- control sockets ----------------------------------------------------------------------------

// A listening Unix stream socket for the service process `processId` in <machine>/services/, replacing
// a stale one; -1 on failure.
int ListenOnControlSocket(DWORD processId);
// A socket connected to the control socket of `processId`; -1 when there is none that listens.
int ConnectToControlSocket(DWORD processId);
// Removes the control socket file of `processId`.
void RemoveControlSocket(DWORD processId);

// A control travels as one DWORD, and the dispatcher answers with one once the handler has returned.
bool SendDword(int fd, DWORD value);
enum class Received { Value, Closed, TimedOut };
// Waits at most `milliseconds` (scaled) for the whole DWORD.
Received ReceiveDword(int fd, DWORD& value, DWORD milliseconds);

}  // namespace plat::detail
