// Starting programs through the shell.
#pragma once

#include <string>
#include <vector>

#include "plat/types.h"

namespace plat {

constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_NOASSOC = 31;

// Starts the program `file` (the verb null or "open"; the file is found as CreateProcessA finds a
// program) with `parameters` behind its name on the command line, in `directory` when given, with the
// show state `showCommand`, and does not wait for it. Returns a value above 32 on success, else
// SE_ERR_FNF, SE_ERR_PNF or SE_ERR_ACCESSDENIED, or SE_ERR_NOASSOC for another verb (there is no file
// association here); sets the last error as CreateProcessA does.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);

// For tests: every ShellExecuteA call of this process, in order, whatever it returned.
struct ShellExecution {
  HWND owner;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  INT showCommand;
};
std::vector<ShellExecution> TakeShellExecutions();

}  // namespace plat
