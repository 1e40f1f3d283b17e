// Path tools: the program's own directory and the trailing backslash.
#pragma once

#include "plat/types.h"

namespace TOOLFUNC_file {

// Appends "\" unless the path already ends with one; null and empty paths stay as they are.
// The buffer must have room for one more character.
void AddBackslash(char* path);

// Drive and directory of the running program, ending with "\", in a buffer the next call overwrites.
char* GetModuleDirectory();

}  // namespace TOOLFUNC_file
