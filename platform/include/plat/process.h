// Starting processes, process identity and the priority class.
#pragma once

#include "plat/thread.h"
#include "plat/types.h"

namespace plat {

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD PROCESS_TERMINATE = 0x0001;
constexpr DWORD PROCESS_VM_READ = 0x0010;
constexpr DWORD PROCESS_SET_INFORMATION = 0x0200;
constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;

constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD IDLE_PRIORITY_CLASS = 0x00000040;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x00000080;
constexpr DWORD REALTIME_PRIORITY_CLASS = 0x00000100;
constexpr DWORD BELOW_NORMAL_PRIORITY_CLASS = 0x00004000;
constexpr DWORD ABOVE_NORMAL_PRIORITY_CLASS = 0x00008000;

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

// Starts the program that `applicationName`, or else the first field of `commandLine`, names; the
// fields of the command line, split by the Windows rules, become its argument vector (its first field
// the program's own name). A bare program name is
// looked for in the program's directory, the current directory, the system and Windows directories and
// then PATH. The new process gets the show state of `startupInfo` only with STARTF_USESHOWWINDOW, and
// `environment` (a block of "NAME=value" texts ending with an empty one) or else ours. Both handles of
// `processInformation` signal when the process ends. FALSE with ERROR_FILE_NOT_FOUND when the program is
// not there, ERROR_ACCESS_DENIED or ERROR_BAD_FORMAT when it cannot be run, ERROR_INVALID_PARAMETER
// without program or result record; nothing is left running then.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPVOID processAttributes,
                    LPVOID threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCSTR currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation);

// STILL_ACTIVE while the process runs, else its exit code (128 + signal for a killed one); FALSE with
// ERROR_INVALID_HANDLE for a handle that is no process.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// The calling process's identifier; sets no error.
DWORD GetCurrentProcessId();

// A handle for the running process `processId`; null with ERROR_INVALID_PARAMETER when no such process
// runs, ERROR_ACCESS_DENIED when PROCESS_VM_READ is asked for and its executable cannot be read (another
// account's process).
HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);

// A pseudo handle for the own process, valid without closing; sets no error.
HANDLE GetCurrentProcess();

// Ends the process by SIGKILL (Linux cannot give it `exitCode`). FALSE with ERROR_INVALID_HANDLE for a
// handle that is no process, ERROR_ACCESS_DENIED without PROCESS_TERMINATE or when the host refuses.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

// The identifiers of the running processes in ascending order, as many as `bytes` holds; `bytesUsed`
// gets the bytes written. FALSE with ERROR_INVALID_PARAMETER without buffer or result.
BOOL EnumProcesses(DWORD* processIds, DWORD bytes, DWORD* bytesUsed);

// The process's modules as the layer knows them: its executable alone. `bytesNeeded` gets the bytes
// the full list takes. FALSE with ERROR_INVALID_HANDLE for a handle that is no process.
BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD bytes, DWORD* bytesNeeded);

// The Windows form of the executable's path (module null or the one EnumProcessModules gives), cut to
// `size` - 1 characters; the length written, 0 on failure (ERROR_INVALID_HANDLE, or ERROR_ACCESS_DENIED
// when the executable cannot be read).
DWORD GetModuleFileNameExA(HANDLE process, HMODULE module, LPSTR fileName, DWORD size);

// Records the class for the process; the Linux scheduling stays as it is, since a real-time class
// could starve the machine. FALSE with ERROR_INVALID_PARAMETER for an unknown class,
// ERROR_INVALID_HANDLE for a handle that is no process.
BOOL SetPriorityClass(HANDLE process, DWORD priorityClass);

// The class last set for the process, NORMAL_PRIORITY_CLASS before any; 0 with ERROR_INVALID_HANDLE.
DWORD GetPriorityClass(HANDLE process);

}  // namespace plat
