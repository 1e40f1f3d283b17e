// What the service program's entry shares: the settings file and the splitting of its command text.
#pragma once

// The settings file: "VELCORA.INI" beside the program, else the bare name, or the -c value.
extern char g_szIniFile[260];

// Cuts the command text into arguments: blanks, tabs, CR and LF separate them outside double quotes;
// quotes group and are dropped. One block that lives as long as the process; the vector ends with null.
char** SplitCommandLine(const char* text, int* count);
