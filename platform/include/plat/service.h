// The service control manager: service entries, their control and the service process side.
#pragma once

#include <cstdint>
#include <vector>

#include "plat/types.h"

namespace plat {

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;
struct SERVICE_STATUS_HANDLE__;
using SERVICE_STATUS_HANDLE = SERVICE_STATUS_HANDLE__*;

// Rights on the manager handle.
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0x000F003F;

// Rights on a service handle (DELETE is in types.h).
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr DWORD SERVICE_ALL_ACCESS = 0x000F01FF;

// Service types.
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x00000010;
constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x00000020;
constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x00000100;

// Start types: stored only; nothing starts a service but StartServiceA.
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;

// Error control: stored only.
constexpr DWORD SERVICE_ERROR_IGNORE = 0;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;
constexpr DWORD SERVICE_ERROR_SEVERE = 2;
constexpr DWORD SERVICE_ERROR_CRITICAL = 3;

// A DWORD argument of ChangeServiceConfigA that leaves the setting as it is.
constexpr DWORD SERVICE_NO_CHANGE = 0xFFFFFFFF;

// States.
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;

// Controls; 128 to 255 are the service's own.
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
constexpr DWORD SERVICE_CONTROL_CONTINUE = 3;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;
constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 5;

// Controls a service accepts (dwControlsAccepted).
constexpr DWORD SERVICE_ACCEPT_STOP = 0x00000001;
constexpr DWORD SERVICE_ACCEPT_PAUSE_CONTINUE = 0x00000002;
constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x00000004;

// ChangeServiceConfig2A information level.
constexpr DWORD SERVICE_CONFIG_DESCRIPTION = 1;

// QueryServiceStatusEx information level.
enum SC_STATUS_TYPE { SC_STATUS_PROCESS_INFO = 0 };

struct SERVICE_STATUS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
};

// SERVICE_STATUS and the process that runs the service (0 while it is stopped).
struct SERVICE_STATUS_PROCESS {
  DWORD dwServiceType;
  DWORD dwCurrentState;
  DWORD dwControlsAccepted;
  DWORD dwWin32ExitCode;
  DWORD dwServiceSpecificExitCode;
  DWORD dwCheckPoint;
  DWORD dwWaitHint;
  DWORD dwProcessId;
  DWORD dwServiceFlags;
};

// The texts point into the caller's buffer, behind the structure. lpDependencies is a list of texts,
// each ended by a zero, ended by one more zero.
struct QUERY_SERVICE_CONFIGA {
  DWORD dwServiceType;
  DWORD dwStartType;
  DWORD dwErrorControl;
  LPSTR lpBinaryPathName;
  LPSTR lpLoadOrderGroup;
  DWORD dwTagId;
  LPSTR lpDependencies;
  LPSTR lpServiceStartName;
  LPSTR lpDisplayName;
};

struct SERVICE_DESCRIPTIONA {
  LPSTR lpDescription;
};

using LPSERVICE_MAIN_FUNCTIONA = void (*)(DWORD argc, LPSTR* argv);
using LPHANDLER_FUNCTION = void (*)(DWORD control);
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);

// A table of services a process runs, ended by an entry with null members.
struct SERVICE_TABLE_ENTRYA {
  LPSTR lpServiceName;
  LPSERVICE_MAIN_FUNCTIONA lpServiceProc;
};

// ---- the calls of a controlling program -----------------------------------------------------------
// Handles are never reused. Service names and display names are compared without regard to case.

// Returns a manager handle, which always grants SC_MANAGER_CONNECT; machine and database are ignored
// (there is only this machine's). Null with ERROR_ACCESS_DENIED when CREATE_SERVICE, LOCK or
// MODIFY_BOOT_CONFIG is asked and the service entries of the registry may not be written.
SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess);

// Returns a handle of the new entry HKLM\SYSTEM\CurrentControlSet\Services\<name> (values Type, Start,
// ErrorControl, ImagePath as given, DisplayName (the name when null), ObjectName ("LocalSystem" when
// null), Group and DependOnService when given); the password is ignored. Null with ERROR_SERVICE_EXISTS
// for an existing entry (left unchanged), ERROR_SERVICE_MARKED_FOR_DELETE when that entry is marked,
// ERROR_DUPLICATE_SERVICE_NAME when the name or display name is another entry's name or display name,
// ERROR_ACCESS_DENIED without SC_MANAGER_CREATE_SERVICE, ERROR_INVALID_NAME for an empty name or one
// with "\" or "/", ERROR_INVALID_PARAMETER for a bad type, start type, error control or no image path,
// ERROR_INVALID_HANDLE for a bad manager handle.
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName, DWORD desiredAccess,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPathName,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName,
                         LPCSTR password);

// Returns a handle of an existing entry (also of one marked for deletion). Null with
// ERROR_SERVICE_DOES_NOT_EXIST when there is none, ERROR_ACCESS_DENIED when CHANGE_CONFIG or DELETE is
// asked and the entry may not be written, ERROR_INVALID_NAME for an
// empty or null name, ERROR_INVALID_HANDLE for a bad manager handle.
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess);

// Returns TRUE after changing what is given: DWORDs other than SERVICE_NO_CHANGE, non-null texts (an
// empty dependency list removes the dependencies); tagId and password are ignored. FALSE with
// ERROR_ACCESS_DENIED without CHANGE_CONFIG, ERROR_SERVICE_MARKED_FOR_DELETE for a marked or removed
// entry, ERROR_DUPLICATE_SERVICE_NAME for a display name in use, ERROR_INVALID_PARAMETER for a bad
// type, start type or error control, ERROR_INVALID_HANDLE for a bad handle.
BOOL ChangeServiceConfigA(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPathName, LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                          LPCSTR serviceStartName, LPCSTR password, LPCSTR displayName);

// SERVICE_CONFIG_DESCRIPTION with a SERVICE_DESCRIPTIONA: returns TRUE after storing "Description"
// (an empty text removes it, a null one changes nothing). FALSE with ERROR_INVALID_LEVEL for another
// level, ERROR_INVALID_PARAMETER for a null info, ERROR_ACCESS_DENIED without CHANGE_CONFIG,
// ERROR_SERVICE_MARKED_FOR_DELETE for a marked or removed entry, ERROR_INVALID_HANDLE.
BOOL ChangeServiceConfig2A(SC_HANDLE service, DWORD infoLevel, LPVOID info);

// Returns TRUE with the configuration, its texts packed behind the structure, and *bytesNeeded set to
// the size used. FALSE with ERROR_INSUFFICIENT_BUFFER and *bytesNeeded set when it does not fit into
// bufferSize, ERROR_ACCESS_DENIED without QUERY_CONFIG, ERROR_SERVICE_MARKED_FOR_DELETE for a removed
// entry, ERROR_INVALID_PARAMETER for a null bytesNeeded, ERROR_INVALID_HANDLE.
BOOL QueryServiceConfigA(SC_HANDLE service, QUERY_SERVICE_CONFIGA* config, DWORD bufferSize,
                         LPDWORD bytesNeeded);

// Returns TRUE with the record the service reported last; a service whose process ended without
// reporting SERVICE_STOPPED reads as stopped with ERROR_PROCESS_ABORTED, one never started as stopped
// with ERROR_SERVICE_NEVER_STARTED. FALSE with ERROR_ACCESS_DENIED without QUERY_STATUS,
// ERROR_INVALID_ADDRESS for a null status, ERROR_INVALID_HANDLE.
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);

// SC_STATUS_PROCESS_INFO: as QueryServiceStatus, into a SERVICE_STATUS_PROCESS with the process id.
// FALSE with ERROR_INSUFFICIENT_BUFFER (and *bytesNeeded) for a smaller buffer, ERROR_INVALID_LEVEL for
// another level, ERROR_INVALID_PARAMETER for a null bytesNeeded, and the errors of QueryServiceStatus.
BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE infoLevel, BYTE* buffer, DWORD bufferSize,
                          LPDWORD bytesNeeded);

// Delivers `control` to the service's handler, which runs on the dispatcher's thread of the service
// process, waits until the handler has returned and returns TRUE with the record reported last (a stop
// control alone does not make the service stopped). INTERROGATE is always delivered and 128-255 are
// delivered to the handler. SHUTDOWN, which on Windows only the system sends, is accepted here too (it
// needs SERVICE_STOP), so that tests can stand in for a system shutdown. FALSE, with *status filled
// with the current record, with ERROR_SERVICE_NOT_ACTIVE when the service is stopped or its process is
// gone, ERROR_SERVICE_CANNOT_ACCEPT_CTRL while it is start or stop pending,
// ERROR_INVALID_SERVICE_CONTROL for a stop, pause, continue or shutdown it does not accept or an
// unknown control; FALSE with *status untouched with ERROR_SERVICE_REQUEST_TIMEOUT when the handler
// does not return within 30 s (scaled), ERROR_ACCESS_DENIED without the control's right (STOP,
// PAUSE_CONTINUE, INTERROGATE, USER_DEFINED_CONTROL), ERROR_INVALID_ADDRESS for a null status,
// ERROR_INVALID_HANDLE.
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);

// Starts the entry's ImagePath as a process (split by the Windows rules, no show state, the service
// markers in its environment) and returns TRUE once its StartServiceCtrlDispatcherA has connected; the
// service main function gets {name, arguments...}. The status is START_PENDING from the start. FALSE
// with ERROR_SERVICE_REQUEST_TIMEOUT, the status STOPPED, when the process ended before connecting or
// did not connect within 30 s (scaled; the process is then ended); ERROR_SERVICE_ALREADY_RUNNING when
// not stopped, ERROR_SERVICE_MARKED_FOR_DELETE for a marked or removed entry, ERROR_SERVICE_DISABLED
// for a disabled one, CreateProcessA's error when the program cannot be started, ERROR_ACCESS_DENIED
// without SERVICE_START, ERROR_INVALID_PARAMETER for arguments without a vector, ERROR_INVALID_HANDLE.
BOOL StartServiceA(SC_HANDLE service, DWORD argc, LPCSTR* argv);

// Marks the entry ("DeleteFlag" 1) and returns TRUE; the registry key goes at once when the service
// is stopped, else as soon as it is seen stopped (its STOPPED report, or a query that finds its
// process gone). FALSE with ERROR_SERVICE_MARKED_FOR_DELETE when already marked or removed,
// ERROR_ACCESS_DENIED without DELETE, ERROR_INVALID_HANDLE.
BOOL DeleteService(SC_HANDLE service);

// Returns TRUE and drops a manager or service handle; FALSE with ERROR_INVALID_HANDLE for any other.
BOOL CloseServiceHandle(SC_HANDLE handle);

// ---- the service process side ------------------------------------------------------------------

// In a process that StartServiceA started: connects to the manager, runs the table's entry for the
// service (the one of its name, else the first) on a new thread and delivers each control to the
// registered handler on the calling thread; returns TRUE once the service has reported
// SERVICE_STOPPED (the process runs on). FALSE at once with ERROR_FAILED_SERVICE_CONTROLLER_CONNECT in
// any other process, ERROR_SERVICE_ALREADY_RUNNING for a second call, ERROR_INVALID_PARAMETER for an
// empty table.
BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* serviceTable);

// Returns the status handle for the service's handler, which then gets every control. Null with
// ERROR_FAILED_SERVICE_CONTROLLER_CONNECT while no dispatcher runs in the process,
// ERROR_SERVICE_DOES_NOT_EXIST for a name other than the service's, ERROR_INVALID_PARAMETER for a null
// handler.
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR serviceName, LPHANDLER_FUNCTION handler);

// As RegisterServiceCtrlHandlerA; the handler gets eventType 0, eventData null and `context`.
SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR serviceName, LPHANDLER_FUNCTION_EX handler,
                                                    LPVOID context);

// Returns TRUE after storing the record as the manager's view and adding it to the history; a
// SERVICE_STOPPED record ends the dispatcher and removes an entry marked for deletion. FALSE without
// effect with ERROR_INVALID_HANDLE for a null or unknown handle or one whose service has since been
// started in another process, ERROR_INVALID_DATA for a state outside 1-7, ERROR_INVALID_ADDRESS for a
// null record.
BOOL SetServiceStatus(SERVICE_STATUS_HANDLE statusHandle, SERVICE_STATUS* status);

// ---- layer addition: the status history ---------------------------------------------------------

// One change of the manager's record of a service: each SetServiceStatus, the START_PENDING of
// StartServiceA and the STOPPED that the manager records for a failed start or a process found gone.
struct ServiceHistoryEntry {
  uint64_t milliseconds;  // on the monotonic clock shared by all processes
  DWORD state;
  DWORD checkPoint;
  DWORD controlsAccepted;
  DWORD win32ExitCode;
};

// Returns the history of the service `serviceName`, oldest first; empty when there is none. Sets no
// last error.
std::vector<ServiceHistoryEntry> ReadServiceHistory(LPCSTR serviceName);

}  // namespace plat
