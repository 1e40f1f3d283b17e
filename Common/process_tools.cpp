// Thread end, process priority and process start for the programs.
#include "plat/handle.h"
#include "plat/process.h"
#include "plat/thread.h"
#include "tool_process.h"

namespace TOOLFUNC_process {

void CloseHandleAndExitThread(plat::HANDLE* handle) {
  plat::HANDLE own = *handle;
  *handle = nullptr;
  if (own == nullptr) return;
  plat::CloseHandle(own);
  plat::ExitThread(0);
}

void SetProcessPriority(plat::DWORD priorityClass) {
  plat::HANDLE process =
      plat::OpenProcess(plat::PROCESS_SET_INFORMATION, plat::FALSE, plat::GetCurrentProcessId());
  if (process == nullptr) return;
  plat::SetPriorityClass(process, priorityClass);
  plat::CloseHandle(process);
}

plat::DWORD RunCommandLine(char* commandLine) {
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  plat::PROCESS_INFORMATION started = {};
  if (!plat::CreateProcessA(nullptr, commandLine, nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                            &startup, &started))
    return 0;
  plat::CloseHandle(started.hProcess);
  plat::CloseHandle(started.hThread);
  return started.dwProcessId;
}

}  // namespace TOOLFUNC_process
