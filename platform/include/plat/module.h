// Loading shared objects by name and finding the file of the program or of a loaded library.
#pragma once

#include "plat/types.h"

namespace plat {

// Loads the shared object and returns its handle. A bare name is looked for in the program's directory,
// the system directory, the Windows directory and the current directory, in that order; a path is
// mapped to the host. Null with ERROR_INVALID_PARAMETER for a null or empty name, ERROR_MOD_NOT_FOUND
// when there is no such file, ERROR_BAD_FORMAT when it is no loadable library.
HMODULE LoadLibraryA(LPCSTR fileName);

// The address of the exported function; null with ERROR_PROC_NOT_FOUND when the library has none,
// ERROR_INVALID_HANDLE for a null module.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

// Unloads the library once its last load is freed; FALSE with ERROR_INVALID_HANDLE for a bad handle.
BOOL FreeLibrary(HMODULE module);

// The Windows-form path of the program (module null or the program's instance) or of a loaded library.
// Returns its length; when it does not fit, the path is cut to size - 1 characters and terminated, and
// the result is `size` with ERROR_INSUFFICIENT_BUFFER. 0 with ERROR_MOD_NOT_FOUND for an unknown module.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

}  // namespace plat
