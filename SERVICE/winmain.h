// What the service program's entry shares: the settings file, the splitting of its command text and the
// attachment of the instance count.
#pragma once

#include "plat/types.h"

// The settings file: "VELCORA.INI" beside the program, else the bare name, or the -c value.
extern char g_szIniFile[plat::MAX_PATH];

// Cuts the command text into arguments: blanks, tabs, CR and LF separate them outside double quotes;
// quotes group and are dropped. One block that lives as long as the process; the vector ends with null.
// When no block can be had: no arguments, in a vector that is not to be freed.
char** SplitCommandLine(const char* text, int* count);

// Attaches the instance count shared by the program's processes. Every process attaches at its start,
// whatever its mode, so the count lives as long as any of them runs. False, logged at level 1 with the
// reason, when the count cannot be had.
bool AttachInstanceCount();
