// C runtime file streams on Windows-form paths, with text-mode line ends.
#pragma once

#include <cstdio>

#include "plat/types.h"

namespace plat {

// The runtime's fopen on a Windows-form (or host) path whose components are found without regard to
// case. Mode "r", "w" or "a", each optionally with "+", and "b" for plain bytes or "t" (or neither) for
// text mode: every "\n" written is "\r\n" in the file and every "\r\n" read gives "\n". The stream
// shares reading and writing with other opens but not deleting, so DeleteFileA refuses the file while
// the stream is open. Returns a stream that fprintf, fputs, fgets, fflush and fclose work on; null with
// errno ENOENT (no such file or directory), EACCES (no permission, a directory, or a file held open
// without sharing) or EINVAL (null path, unknown mode). Sets no last error.
FILE* OpenFileStream(LPCSTR path, const char* mode);

}  // namespace plat
