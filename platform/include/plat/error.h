// The calling thread's last error and the system texts of the Windows error codes.
#pragma once

#include "plat/types.h"

namespace plat {

#define PLAT_ERROR(name, code, text) constexpr DWORD name = code;
#include "plat/errors.def"
#undef PLAT_ERROR

constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;

// Returns the calling thread's last error (0 on a new thread).
DWORD GetLastError();
// Sets the calling thread's last error.
void SetLastError(DWORD code);

// FROM_SYSTEM only: writes the text of `messageId`, ending in "\r\n", and returns its length. Returns 0
// and leaves `buffer` as it was for other flags (ERROR_INVALID_PARAMETER), an unknown code (317) or a
// text that does not fit into `size` - 1 characters (ERROR_INSUFFICIENT_BUFFER).
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     void* arguments);

}  // namespace plat
