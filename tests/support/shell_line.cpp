// Runs a shell line as another process through the layer.
#include "support/shell_line.h"

#include "plat/handle.h"
#include "plat/process.h"
#include "plat/thread.h"

namespace testsupport {

plat::DWORD RunShellLine(const std::string& line, std::chrono::milliseconds bound) {
  // The line is one argument in double quotes of the Windows command line: its own quotes are escaped.
  std::string quoted;
  for (char c : line) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  std::string commandLine = "/bin/sh -c \"" + quoted + "\"";
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  plat::PROCESS_INFORMATION started = {};
  if (!plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                            &startup, &started))
    return 0xFFFFFFFF;
  plat::DWORD code = plat::STILL_ACTIVE;
  if (plat::WaitForSingleObject(started.hProcess, static_cast<plat::DWORD>(bound.count())) ==
      plat::WAIT_OBJECT_0)
    plat::GetExitCodeProcess(started.hProcess, &code);
  plat::CloseHandle(started.hProcess);
  plat::CloseHandle(started.hThread);
  return code;
}

}  // namespace testsupport
