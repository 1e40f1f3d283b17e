// Conversions between the ANSI code page (Windows-1252) and UTF-16, and comparing its texts without case.
#pragma once

#include "plat/types.h"

// Both directions: a source count of -1 means up to and including the terminator; a destination
// size of 0 asks for the size needed; a destination too small receives what fits before the call
// fails. Flags are accepted and change nothing. Each byte is one unit; the five bytes Windows-1252
// leaves undefined are the units of the same value. No look-alike is ever substituted: a unit
// without a byte becomes the default character, a surrogate pair counts as one such character and
// a surrogate without its partner as one of its own.
namespace plat {

// The system's active code page; here always Windows-1252.
constexpr UINT CP_ACP = 0;
// Asks for precomposed characters, all that Windows-1252 bytes ever give.
constexpr DWORD MB_PRECOMPOSED = 0x00000001;

// Returns the units written (or needed when dstUnits is 0); 0 with ERROR_INVALID_PARAMETER for a
// code page other than CP_ACP, a null or empty source, a bad destination or src == dst, and 0 with
// ERROR_INSUFFICIENT_BUFFER when dstUnits is too small.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst, int dstUnits);

// Returns the bytes written (or needed when dstBytes is 0), the default character being the first
// byte of defaultChar or "?" and *usedDefault telling whether it was used; fails as
// MultiByteToWideChar, with the same errors.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcUnits, LPSTR dst, int dstBytes,
                        LPCSTR defaultChar, BOOL* usedDefault);

// Compares two texts without regard to case: ASCII and the letters of Windows-1252 are folded to
// lower case, then the bytes are compared. Negative, 0 or positive as `a` sorts before, with or after `b`;
// a null text counts as empty.
int lstrcmpiA(LPCSTR a, LPCSTR b);

}  // namespace plat
