// The profile (INI file) functions.
#pragma once

#include "plat/types.h"

namespace plat {

// Profile files: a name without "\", "/" or a drive lives in the Windows directory, a null name is
// "win.ini" there, any other name is mapped with ToHostPath. Sections and keys are compared without
// regard to case and the first match wins.

// Returns the number of characters copied to `buffer` without the terminator: the key's value (blanks
// around it and one pair of matching quotes removed), cut to size - 1; the default (null is "", its
// trailing blanks removed) when the file, section or key is missing. A null key lists the section's
// keys, a null section lists the sections: each name NUL-terminated and a second NUL at the end, cut
// to size - 2. Size 0 returns 0. Sets ERROR_FILE_NOT_FOUND when the file is missing.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);

// Returns the key's value read as a number (leading blanks, optional sign, decimal digits or "0x" and
// hexadecimal digits; the rest ignored; no digits give 0; negative values as their 32-bit two's
// complement), or `defaultValue` when the file, section or key is missing. Sets ERROR_FILE_NOT_FOUND
// when the file is missing.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);

// Returns TRUE after setting the key to `value` (a new key goes after the last non-blank line of its
// section, a new section at the end of the file, which is created when missing), deleting the key
// (null value) or the whole section (null key); every other line is kept byte for byte. FALSE with
// ERROR_PATH_NOT_FOUND when the file's directory is missing, ERROR_ACCESS_DENIED when the file is
// read-only or its directory not writable, ERROR_INVALID_PARAMETER for a null section with a key or
// value, ERROR_WRITE_FAULT when the new content cannot be written.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

}  // namespace plat
