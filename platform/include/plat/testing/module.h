// Test seam of the module functions: the program's file name they report.
#pragma once

#include "plat/module.h"

namespace plat {

// Makes GetModuleFileNameA report `windowsPath` for the program; null restores the real one.
void SetProgramFileNameForTesting(LPCSTR windowsPath);

}  // namespace plat
