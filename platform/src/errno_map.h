// The Windows error codes of host errno values, looked up in the layer's one table (errno_map.def).
#pragma once

#include "plat/types.h"

namespace plat::detail {

// The Win32 error for `error`. ERROR_GEN_FAILURE (31) for an errno the table has no Win32 code for:
// the call failed for a reason of the host, not of its arguments. A choice that depends on the call
// (a missing parent directory is ERROR_PATH_NOT_FOUND) is the caller's, next to this lookup.
DWORD Win32ErrorOf(int error);

// The Windows Sockets error for `error`. WSAENETDOWN (10050) for an errno the table has no socket code
// for: every socket call may report that the network subsystem failed and its callers are prepared for
// it, while WSAEINVAL would blame an argument the program passed correctly.
DWORD WsaErrorOf(int error);

}  // namespace plat::detail
