// Handles of kernel objects: closing and waiting.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Returns TRUE and drops the handle; the object lives on while it is in use (a thread keeps running).
// FALSE with ERROR_INVALID_HANDLE for an unknown or already closed handle.
BOOL CloseHandle(HANDLE handle);

// Returns WAIT_OBJECT_0 once the object is signalled, WAIT_TIMEOUT when `milliseconds` (scaled by the
// sleeper's factor; INFINITE has no limit) passed first; WAIT_FAILED with ERROR_INVALID_HANDLE for an
// unknown handle or an object that cannot be waited for.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

}  // namespace plat
