// Threads: creation, identity and ending.
#pragma once

#include <cstddef>

#include "plat/types.h"

namespace plat {

// The exit code of a thread that is still running.
constexpr DWORD STILL_ACTIVE = 259;

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

// Returns the handle of a new thread running start(parameter); the handle is signalled when the thread
// ends, with the procedure's result (or ExitThread's code) as exit code. *threadId (when not null) holds
// the thread's id before the procedure runs. A stackSize below the default stack gives the default.
// Null with ERROR_INVALID_PARAMETER for a null start or creationFlags other than 0, null with
// ERROR_NOT_ENOUGH_MEMORY when the thread cannot be created.
HANDLE CreateThread(LPVOID securityAttributes, size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);

// Never returns: ends the calling thread, running the destructors on its stack; a thread made by
// CreateThread ends with `exitCode`. Sets no error.
[[noreturn]] void ExitThread(DWORD exitCode);

// Returns the calling thread's id: non-zero, never shared with or reused by another thread of the
// process, on every thread. Sets no error.
DWORD GetCurrentThreadId();

// Returns TRUE with *exitCode set to STILL_ACTIVE while the thread runs, else to its exit code. FALSE
// with ERROR_INVALID_HANDLE for a handle that is unknown, closed or not a thread's.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

// Returns TRUE and ends the thread object at once: its handle is signalled and GetExitCodeThread gives
// `exitCode`, whatever the thread does afterwards. The thread itself stops at its next Sleep, or at
// once when it terminates itself, unwinding its stack as ExitThread does. TRUE and no change for a
// thread that has already ended or been terminated. FALSE with ERROR_INVALID_HANDLE for a handle that
// is unknown, closed or not a thread's.
BOOL TerminateThread(HANDLE thread, DWORD exitCode);

}  // namespace plat
