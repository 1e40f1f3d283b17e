// File calls on Windows-form paths.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Returns FILE_ATTRIBUTE_DIRECTORY for a directory, FILE_ATTRIBUTE_NORMAL for a writable file and
// FILE_ATTRIBUTE_READONLY for one that is not; INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND when
// the name is missing, ERROR_PATH_NOT_FOUND when its directory is missing too, ERROR_ACCESS_DENIED
// when a directory on the way may not be searched.
DWORD GetFileAttributesA(LPCSTR path);

// Returns TRUE after making `path` the current directory; FALSE with ERROR_FILE_NOT_FOUND when it is
// missing, ERROR_PATH_NOT_FOUND when its parent is missing, ERROR_DIRECTORY when it is a file,
// ERROR_ACCESS_DENIED when it may not be entered.
BOOL SetCurrentDirectoryA(LPCSTR path);

// Returns the length of the current directory's Windows-form path written to `buffer`, or, when it
// does not fit into `size`, the size needed including the terminator with `buffer` untouched; 0 with
// ERROR_FILE_NOT_FOUND when the current directory has been removed.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);

}  // namespace plat
