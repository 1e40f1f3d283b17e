// Thread end, process priority, process start and search, privileges, and the adapter address.
#pragma once

#include <atomic>

#include "plat/types.h"

namespace TOOLFUNC_process {

// Clears the variable; when it held a handle, closes it and ends the calling thread with exit code 0.
// Returns only when the variable held 0. The variable is taken in one exchange: another thread that
// may close the same handle (a shutdown ending the thread) takes it the same way, and only one of
// the two gets it.
void CloseHandleAndExitThread(std::atomic<plat::HANDLE>* handle);

// Sets the priority class of the own process; a failure leaves the priority as it was.
void SetProcessPriority(plat::DWORD priorityClass);

// Starts the command line and returns the new process's identifier without waiting; 0 when it fails.
plat::DWORD RunCommandLine(char* commandLine);

// Writes the path of the process's first module into `buffer` (MAX_PATH bytes); a process that cannot be
// opened leaves it unchanged. 1 when the process library could be loaded; else shows a warning and
// gives 0.
plat::BOOL GetProcessModuleName(plat::DWORD processId, char* buffer);

// The first process, in identifier order, whose whole executable path occurs in `text` (ignoring
// case); 0 when none does.
plat::DWORD FindProcessByModule(const char* text);

// The process of the first visible top-level window, in Z order, whose program's path contains
// "\CMD.EXE" without regard to case; 0 when there is none.
plat::DWORD FindCommandWindow();

// Enables or disables one privilege in `token`; 1 only when the token holds it and it was set.
plat::BOOL SetTokenPrivilege(plat::HANDLE token, const char* privilegeName, plat::BOOL enable);

// Enables the privilege in the own process's token; 0 when that fails.
plat::BOOL EnablePrivilege(const char* privilegeName);

// Ends the process with the debug privilege enabled for the time of the call; 0 when the privilege
// cannot be enabled (the process is then not touched) or the process cannot be ended.
plat::BOOL KillProcess(plat::DWORD processId);

// Gives Everyone and the Administrators full access to the file, taking its ownership for the
// Administrators when the access list may not be changed otherwise; failures go to the debugger only.
plat::BOOL GrantFileAccess(const char* path);

// What DelayedShellExecute works on: its own thread's handle, which the creator stores, and the file
// or command to open.
struct ShellExecuteBlock {
  std::atomic<plat::HANDLE> thread;
  char text[plat::MAX_PATH];
};

// Thread procedure: waits 100 ms, opens the block's text through the shell, waits 100 ms and ends its
// thread through CloseHandleAndExitThread on the block's handle.
plat::DWORD DelayedShellExecute(plat::LPVOID block);

// The first network adapter's hardware address as 12 hexadecimal digits, "000000000000" when there is
// none; a static text that every call rewrites.
char* GetAdapterAddress();

}  // namespace TOOLFUNC_process
