// The machine directory that holds what Windows keeps machine-wide.
#pragma once

#include <string>

#include "plat/types.h"

namespace plat {

// Returns the host path of the machine directory: VELCORA_MACHINE (read at every call; a relative
// value is taken from the current directory), else $HOME/.velcora-machine. Creates it with its parents
// when missing. Sets no last error.
std::string MachineDirectory();
// Returns the host path of the Windows directory, <machine>/windows, created when missing. Sets no
// last error.
std::string WindowsDirectoryHost();
// Returns the host path of the system directory, <machine>/windows/system32, created when missing.
// Sets no last error.
std::string SystemDirectoryHost();

// Returns the length of the Windows directory's Windows-form path (no trailing "\") written to
// `buffer`, or, when it does not fit into `size`, the size needed including the terminator with
// `buffer` untouched. Sets no last error.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
// Returns the length of the system directory's Windows-form path (no trailing "\") written to
// `buffer`, or, when it does not fit into `size`, the size needed including the terminator with
// `buffer` untouched. Sets no last error.
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);

}  // namespace plat
