// The install and remove tool: enters the service and opens the settings applet, or takes both away.
#include "remove_tool.h"

#include <cstdio>
#include <cstring>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/service.h"
#include "plat/time.h"
#include "plat/window.h"

namespace {

// The registered program path has to fit the 128-character buffer the system's tools read it into.
constexpr size_t kProgramPathLimit = 126;

// The state of the service the way the polling reads it; 0 when it cannot be read.
plat::DWORD ServiceState() { return TOOLFUNC_service::QueryServiceState(TOOLFUNC_service::ServiceName); }

}  // namespace

int InstallPlainService(plat::DWORD extraType, const char* name, const char* programPath,
                        plat::DWORD startType, const char* dependencies, const char* description,
                        const char* displayName) {
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr) return 0;
  char drive[3] = "";
  char directory[plat::MAX_PATH] = "";
  plat::SplitPath(programPath, drive, sizeof(drive), directory, TOOLFUNC_file::kPathCapacity, nullptr, 0,
                  nullptr, 0);
  char path[plat::MAX_PATH] = "";
  // A system directory that does not fit its 127 characters could only be registered cut or left out,
  // and either would name some other file.
  bool fits = true;
  if (drive[0] == '\0' && directory[0] == '\0') {
    const plat::UINT length = plat::GetSystemDirectoryA(path, 127);
    fits = length != 0 && length < 127;
    if (length >= 127) plat::SetLastError(plat::ERROR_FILENAME_EXCED_RANGE);
    TOOLFUNC_file::AddBackslash(path);
  }
  std::strncat(path, programPath, 258 - std::strlen(path));
  // A path cut at the limit would start some other file, and one with a blank would start whatever its
  // first word names: the first is refused, the second quoted.
  char registered[plat::MAX_PATH];
  const bool quoted = std::strchr(path, ' ') != nullptr;
  std::snprintf(registered, sizeof(registered), quoted ? "\"%s\"" : "%s", path);
  int result = 0;
  if (fits && (std::strlen(path) >= 258 || std::strlen(registered) > kProgramPathLimit)) {
    plat::SetLastError(plat::ERROR_FILENAME_EXCED_RANGE);
    fits = false;
  }
  if (fits) {
    result = TOOLFUNC_service::CreateServiceEntry(manager, extraType, name, registered, startType,
                                                  dependencies, description, displayName);
  }
  // Closing the manager must not hide why the entry was not made.
  const plat::DWORD error = plat::GetLastError();
  plat::CloseServiceHandle(manager);
  plat::SetLastError(error);
  return result;
}

void RunInstall() {
  // A tool's directory that cannot hold the name beside it counts as one without the program.
  char path[plat::MAX_PATH];
  if (!TOOLFUNC_file::JoinFilePath(path, TOOLFUNC_file::GetModuleDirectory(),
                                   TOOLFUNC_service::ServiceProgramFile) ||
      plat::_access(path, 0) != 0)
    std::snprintf(path, TOOLFUNC_file::kPathCapacity, "%s", TOOLFUNC_service::ServiceProgramFile);
  plat::SetLastError(0);
  InstallPlainService(plat::SERVICE_INTERACTIVE_PROCESS, TOOLFUNC_service::ServiceName, path,
                      plat::SERVICE_AUTO_START, "\0", TOOLFUNC_service::ServiceDescription,
                      TOOLFUNC_service::ServiceDisplayName);
  TOOLFUNC_debug::TraceLastError();
  TOOLFUNC_service::OpenControlPanelApplet(nullptr, TOOLFUNC_service::AppletWindowTag,
                                           TOOLFUNC_service::AppletFile);
}

void RunUninstall() {
  plat::HWND applet =
      TOOLFUNC_window::FindWindowByUserData(plat::GetDesktopWindow(), TOOLFUNC_service::AppletWindowTag);
  if (applet != nullptr) {
    plat::SendMessageA(applet, plat::WM_CLOSE, 0, 0);
    plat::Sleep(2000);
  }
  if (TOOLFUNC_service::ServiceExists(TOOLFUNC_service::ServiceName)) {
    plat::DWORD state = ServiceState();
    if (state != plat::SERVICE_STOPPED) {
      TOOLFUNC_service::ControlServiceByName(plat::SERVICE_CONTROL_STOP, TOOLFUNC_service::ServiceName,
                                             plat::SC_MANAGER_ALL_ACCESS, plat::SERVICE_ALL_ACCESS);
      for (int poll = 0; poll < 100; ++poll) {
        state = ServiceState();
        if (state == plat::SERVICE_STOPPED) break;
        plat::Sleep(100);
      }
      plat::Sleep(2000);
    }
    if (state == plat::SERVICE_STOPPED) TOOLFUNC_service::RemoveService(TOOLFUNC_service::ServiceName);
  }
  plat::Sleep(5000);
  // A file whose path does not fit is left: a cut or bare name would delete some other file.
  char path[plat::MAX_PATH];
  for (const char* file : {TOOLFUNC_service::ServiceProgramFile, TOOLFUNC_service::AppletFile}) {
    if (TOOLFUNC_file::GetSystemFilePath(file, path)) plat::DeleteFileA(path);
  }
}

int RunRemoveTool(const char* commandText) {
  if (commandText == nullptr || commandText[0] == '\0') return 0;
  switch (commandText[1]) {
    case 'I':
    case 'i':
      RunInstall();
      break;
    case 'U':
    case 'u':
      RunUninstall();
      break;
    default:
      break;
  }
  return 0;
}
