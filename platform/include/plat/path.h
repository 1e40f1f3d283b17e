// Mapping between Windows-form paths and host paths, and the C runtime's path splitting.
#pragma once

#include <cstddef>
#include <string>

#include "plat/types.h"

namespace plat {

// Returns whether `a` and `b` are equal without regard to ASCII case, the way Windows compares file,
// section and key names. Sets no last error.
bool EqualsIgnoringAsciiCase(const std::string& a, const char* b);

// Returns the Windows form of a host path: "/a/b" gives "C:\a\b", a relative path keeps its form with
// "\" for "/". Sets no last error.
std::string ToWindowsPath(const std::string& hostPath);

// Returns the host path for a Windows-form (or host) path: any drive letter is dropped and the path is
// absolute, "\" and "/" both separate, repeated separators fold into one. Each component that does not
// exist under its exact name takes the name of an entry of its directory that matches it without
// regard to ASCII case; components that do not exist at all are kept as given. Null or empty gives "".
// Sets no last error.
std::string ToHostPath(const char* windowsPath);

// Copies `path` with its terminator into `buffer` when it fits into `size` and returns its length;
// otherwise leaves `buffer` untouched and returns the size needed including the terminator, as the
// Windows calls that report a path do. Sets no last error.
DWORD CopyPathResult(const std::string& path, LPSTR buffer, DWORD size);

// The C runtime's _splitpath: drive ("X:"), directory (up to and including the last "\" or "/"), file
// name and extension (from the last "." of the name). Each part is cut to its buffer (size - 1
// characters and a terminator); a null buffer or size 0 skips that part. Sets no last error.
void SplitPath(const char* path, char* drive, size_t driveSize, char* dir, size_t dirSize, char* fname,
               size_t fnameSize, char* ext, size_t extSize);

}  // namespace plat
