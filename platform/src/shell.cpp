// Shell start of programs: a process start with the show state handed on, and a record of each call.
#include "plat/shell.h"

#include <mutex>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/process.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::vector<ShellExecution> g_executions;

std::string TextOf(LPCSTR text) { return text ? text : ""; }

void Record(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT showCommand) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_executions.push_back(
      {owner, TextOf(verb), TextOf(file), TextOf(parameters), TextOf(directory), showCommand});
}

HINSTANCE Result(int code) { return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(code)); }

int ShellErrorOf(DWORD error) {
  switch (error) {
    case ERROR_PATH_NOT_FOUND:
      return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_FORMAT:
      return SE_ERR_ACCESSDENIED;
    default:
      return SE_ERR_FNF;
  }
}

}  // namespace

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand) {
  Record(owner, verb, file, parameters, directory, showCommand);
  if (verb != nullptr && *verb != '\0' && std::string(verb) != "open") {
    SetLastError(ERROR_INVALID_FUNCTION);
    return Result(SE_ERR_NOASSOC);
  }
  if (file == nullptr || *file == '\0') {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return Result(SE_ERR_FNF);
  }
  std::string commandLine = "\"" + std::string(file) + "\"";
  if (parameters != nullptr && *parameters != '\0') commandLine += " " + std::string(parameters);

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(file, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory && *directory ? directory : nullptr, &startup, &started))
    return Result(ShellErrorOf(GetLastError()));
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  return Result(42);
}

std::vector<ShellExecution> TakeShellExecutions() {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<ShellExecution> taken;
  taken.swap(g_executions);
  return taken;
}

}  // namespace plat
