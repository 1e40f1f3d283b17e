// Command lines by the Windows rules, shared by process start and the start-up shim.
#pragma once

#include <string>
#include <vector>

namespace plat::detail {

// The environment variable in which a process started by the layer finds its command line as written.
constexpr char kCommandLineVariable[] = "VELCORA_COMMAND_LINE";

// Fields separated by blanks and tabs outside quotes; 2n backslashes before a quote give n and a quote
// that toggles, 2n+1 give n and a literal quote; other backslashes are literal.
std::vector<std::string> SplitWindowsCommandLine(const char* text);

// What follows the program name (quoted or not) and the blanks behind it: the text a program's
// WinMain receives.
const char* SkipProgramName(const char* text);

}  // namespace plat::detail
