// The install and remove tool: enters the service and opens the settings applet, or takes both away.
#pragma once

#include "plat/types.h"

// Creates the entry `name` (own process plus `extraType`) that starts `programPath` as it stands, a bare
// file name taken from the system directory; 1 when created, else 0 with the reason as the last error.
int InstallPlainService(plat::DWORD extraType, const char* name, const char* programPath,
                        plat::DWORD startType, const char* dependencies, const char* description,
                        const char* displayName);

// Enters the service "Velcora", traces the last error to the debugger and opens the settings applet.
void RunInstall();
// Closes the settings applet, stops and deletes the service and deletes the installed files.
void RunUninstall();

// The whole run for the command text behind the program name; always 0.
int RunRemoveTool(const char* commandText);
