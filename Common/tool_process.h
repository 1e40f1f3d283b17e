// Thread end, process priority and process start.
#pragma once

#include "plat/types.h"

namespace TOOLFUNC_process {

// Clears the variable; when it held a handle, closes it and ends the calling thread with exit code 0.
// Returns only when the variable held 0.
void CloseHandleAndExitThread(plat::HANDLE* handle);

// Sets the priority class of the own process; a failure leaves the priority as it was.
void SetProcessPriority(plat::DWORD priorityClass);

// Starts the command line and returns the new process's identifier without waiting; 0 when it fails.
plat::DWORD RunCommandLine(char* commandLine);

}  // namespace TOOLFUNC_process
