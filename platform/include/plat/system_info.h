// Who and where the program runs: the system version, the user's name and the computer's name.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};

// Fills the record when its size field says sizeof(OSVERSIONINFOA) and returns TRUE: by default the
// NT family, version 5.1, build 2600, no service pack text. FALSE with ERROR_INSUFFICIENT_BUFFER for
// another size, FALSE with ERROR_INVALID_PARAMETER for a null record.
BOOL GetVersionExA(OSVERSIONINFOA* info);

constexpr DWORD UNLEN = 256;
constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// The name of the account the process runs as (the host login name). In: `*size` the buffer's size;
// out: the length written including the terminator. FALSE with ERROR_INSUFFICIENT_BUFFER and `*size`
// set to the size needed when it does not fit; FALSE with ERROR_INVALID_PARAMETER for a null size.
BOOL GetUserNameA(LPSTR buffer, LPDWORD size);
// The computer's name: the host name cut at its first ".", upper-cased, at most
// MAX_COMPUTERNAME_LENGTH characters. In: `*size` the buffer's size; out: the length written without
// the terminator. FALSE with ERROR_BUFFER_OVERFLOW and `*size` set to the size needed including the
// terminator when it does not fit; FALSE with ERROR_INVALID_PARAMETER for a null size.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);

}  // namespace plat
