// Thread end, process priority and start for the programs; process and console-window search,
// privileges, adapter address.
#include "process_tools.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "debug_tools.h"
#include "path_tools.h"
#include "plat/debug.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/module.h"
#include "plat/netbios.h"
#include "plat/process.h"
#include "plat/security.h"
#include "plat/shell.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "plat/window.h"
#include "plat/winmain.h"
#include "string_tools.h"

namespace TOOLFUNC_process {

void CloseHandleAndExitThread(std::atomic<plat::HANDLE>* handle) {
  plat::HANDLE own = handle->exchange(nullptr);
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

namespace {

void ToUpper(char* text) {
  for (; *text; ++text) *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

}  // namespace

plat::BOOL GetProcessModuleName(plat::DWORD processId, char* buffer) {
  plat::HMODULE library = plat::LoadLibraryA("PSAPI.DLL");
  if (library == nullptr) {
    plat::MessageBoxA(nullptr, "Please install the PSAPI.DLL on your System.", "Warning",
                      plat::MB_ICONEXCLAMATION);
    return 0;
  }
  plat::HANDLE process =
      plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION | plat::PROCESS_VM_READ, plat::FALSE, processId);
  if (process != nullptr) {
    plat::HMODULE module = nullptr;
    plat::DWORD needed = 0;
    if (plat::EnumProcessModules(process, &module, sizeof(module), &needed))
      plat::GetModuleFileNameExA(process, module, buffer, TOOLFUNC_file::kPathCapacity);
    plat::CloseHandle(process);
  }
  plat::FreeLibrary(library);
  return 1;
}

plat::DWORD FindProcessByModule(const char* text) {
  plat::DWORD processes[256];
  plat::DWORD used = 0;
  if (!plat::EnumProcesses(processes, sizeof(processes), &used)) return 0;
  char wanted[plat::MAX_PATH];
  TOOLFUNC_string::CopyText(wanted, text, TOOLFUNC_file::kPathCapacity);
  ToUpper(wanted);
  for (plat::DWORD i = 0; i < used / sizeof(plat::DWORD); ++i) {
    plat::HANDLE process =
        plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION | plat::PROCESS_VM_READ, plat::FALSE, processes[i]);
    if (process == nullptr) continue;
    char name[plat::MAX_PATH] = {};
    plat::GetModuleFileNameExA(process, nullptr, name, TOOLFUNC_file::kPathCapacity);
    ToUpper(name);
    plat::CloseHandle(process);
    if (name[0] != '\0' && std::strstr(wanted, name) != nullptr) return processes[i];
  }
  return 0;
}

plat::DWORD FindCommandWindow() {
  char name[plat::MAX_PATH] = {};
  for (plat::HWND window = plat::GetTopWindow(nullptr); window != nullptr;
       window = plat::GetWindow(window, plat::GW_HWNDNEXT)) {
    if (!plat::IsWindowVisible(window)) continue;
    plat::DWORD processId = 0;
    plat::GetWindowThreadProcessId(window, &processId);
    if (!GetProcessModuleName(processId, name)) continue;
    ToUpper(name);
    if (std::strstr(name, "\\CMD.EXE") != nullptr) return processId;
  }
  return 0;
}

plat::BOOL SetTokenPrivilege(plat::HANDLE token, const char* privilegeName, plat::BOOL enable) {
  plat::LUID luid;
  if (!plat::LookupPrivilegeValueA(nullptr, privilegeName, &luid)) return 0;
  plat::TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid = luid;
  privileges.Privileges[0].Attributes = enable ? plat::SE_PRIVILEGE_ENABLED : 0;
  // The call succeeds for a privilege the token lacks; only the last error tells.
  plat::AdjustTokenPrivileges(token, plat::FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
  return plat::GetLastError() == plat::ERROR_SUCCESS ? 1 : 0;
}

plat::BOOL EnablePrivilege(const char* privilegeName) {
  plat::HANDLE token = nullptr;
  if (!plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_ADJUST_PRIVILEGES | plat::TOKEN_QUERY,
                              &token))
    return 0;
  plat::BOOL enabled = SetTokenPrivilege(token, privilegeName, plat::TRUE);
  plat::CloseHandle(token);
  return enabled;
}

plat::BOOL KillProcess(plat::DWORD processId) {
  plat::HANDLE token = nullptr;
  if (!plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_ADJUST_PRIVILEGES | plat::TOKEN_QUERY,
                              &token))
    return 0;
  if (!SetTokenPrivilege(token, "SeDebugPrivilege", plat::TRUE)) {
    plat::CloseHandle(token);
    return 0;
  }
  plat::BOOL killed = 0;
  plat::HANDLE process = plat::OpenProcess(plat::PROCESS_TERMINATE, plat::FALSE, processId);
  if (process != nullptr) {
    killed = plat::TerminateProcess(process, 0) ? 1 : 0;
    plat::CloseHandle(process);
  }
  SetTokenPrivilege(token, "SeDebugPrivilege", plat::FALSE);
  plat::CloseHandle(token);
  return killed;
}

namespace {

plat::EXPLICIT_ACCESS_A FullAccessFor(plat::PSID sid, plat::TRUSTEE_TYPE type) {
  plat::EXPLICIT_ACCESS_A entry = {};
  entry.grfAccessPermissions = plat::GENERIC_ALL;
  entry.grfAccessMode = plat::SET_ACCESS;
  entry.grfInheritance = plat::NO_INHERITANCE;
  entry.Trustee.TrusteeForm = plat::TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = type;
  entry.Trustee.ptstrName = static_cast<char*>(sid);
  return entry;
}

// The steps after the access list was refused: take ownership for the Administrators, then set it again.
plat::BOOL TakeOwnershipAndGrant(char* path, plat::PSID administrators, plat::PACL acl, plat::HANDLE* token) {
  if (!plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_ADJUST_PRIVILEGES, token)) {
    *token = nullptr;
    TOOLFUNC_debug::DebugTrace(kLogError, "OpenProcessToken failed");
    return 0;
  }
  if (!SetTokenPrivilege(*token, "SeTakeOwnershipPrivilege", plat::TRUE)) {
    TOOLFUNC_debug::DebugTrace(kLogError, "SetTokenPrivilege (1) failed");
    return 0;
  }
  plat::DWORD result =
      plat::SetNamedSecurityInfoA(path, plat::SE_FILE_OBJECT, plat::OWNER_SECURITY_INFORMATION,
                                  administrators, nullptr, nullptr, nullptr);
  TOOLFUNC_debug::DebugTrace(kLogError, "SetNamedSecurityInfo (2) returns: %d", static_cast<int>(result));
  if (result != plat::ERROR_SUCCESS) return 0;
  if (!SetTokenPrivilege(*token, "SeTakeOwnershipPrivilege", plat::FALSE)) {
    TOOLFUNC_debug::DebugTrace(kLogError, "SetTokenPrivilege (2) failed");
    return 0;
  }
  result = plat::SetNamedSecurityInfoA(path, plat::SE_FILE_OBJECT, plat::DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, acl, nullptr);
  TOOLFUNC_debug::DebugTrace(kLogError, "SetNamedSecurityInfo (3) returns: %d", static_cast<int>(result));
  return result == plat::ERROR_SUCCESS ? 1 : 0;
}

}  // namespace

plat::BOOL GrantFileAccess(const char* path) {
  plat::PSID everyone = nullptr;
  plat::PSID administrators = nullptr;
  plat::PACL acl = nullptr;
  plat::HANDLE token = nullptr;
  plat::BOOL granted = 0;
  // The security calls take the name as writable text; a whole copy, since a cut name could be another
  // file's.
  std::string copy = path != nullptr ? path : "";
  char* name = copy.data();
  if (!plat::AllocateAndInitializeSid(&plat::SECURITY_WORLD_SID_AUTHORITY, 1, plat::SECURITY_WORLD_RID, 0, 0,
                                      0, 0, 0, 0, 0, &everyone)) {
    everyone = nullptr;
    TOOLFUNC_debug::DebugTrace(kLogError, "AllocateAndInitializeSid (1) failed");
  } else if (!plat::AllocateAndInitializeSid(&plat::SECURITY_NT_AUTHORITY, 2,
                                             plat::SECURITY_BUILTIN_DOMAIN_RID, plat::DOMAIN_ALIAS_RID_ADMINS,
                                             0, 0, 0, 0, 0, 0, &administrators)) {
    administrators = nullptr;
    TOOLFUNC_debug::DebugTrace(kLogError, "AllocateAndInitializeSid (2) failed");
  } else {
    plat::EXPLICIT_ACCESS_A entries[2] = {FullAccessFor(everyone, plat::TRUSTEE_IS_WELL_KNOWN_GROUP),
                                          FullAccessFor(administrators, plat::TRUSTEE_IS_GROUP)};
    if (plat::SetEntriesInAclA(2, entries, nullptr, &acl) != plat::ERROR_SUCCESS) {
      acl = nullptr;
      TOOLFUNC_debug::DebugTrace(kLogError, "SetEntriesInAcl failed");
    } else {
      plat::DWORD result = plat::SetNamedSecurityInfoA(
          name, plat::SE_FILE_OBJECT, plat::DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr);
      if (result == plat::ERROR_SUCCESS)
        granted = 1;
      else if (result == plat::ERROR_ACCESS_DENIED)
        granted = TakeOwnershipAndGrant(name, administrators, acl, &token);
    }
  }
  if (everyone != nullptr) plat::FreeSid(everyone);
  if (administrators != nullptr) plat::FreeSid(administrators);
  if (acl != nullptr) plat::LocalFree(acl);
  if (token != nullptr) plat::CloseHandle(token);
  return granted;
}

plat::DWORD DelayedShellExecute(plat::LPVOID block) {
  auto* parameters = static_cast<ShellExecuteBlock*>(block);
  plat::Sleep(100);
  plat::ShellExecuteA(nullptr, nullptr, parameters->text, nullptr, nullptr, plat::SW_SHOWNORMAL);
  plat::Sleep(100);
  CloseHandleAndExitThread(&parameters->thread);
  return 0;
}

char* GetAdapterAddress() {
  static char address[128];
  // The adapter's status followed by room for its name table.
  plat::BYTE status[636];
  std::memset(status, 0, sizeof(status));
  plat::LANA_ENUM adapters;
  std::memset(&adapters, 0, sizeof(adapters));
  plat::NCB control;
  std::memset(&control, 0, sizeof(control));
  control.ncb_command = plat::NCBENUM;
  control.ncb_buffer = reinterpret_cast<plat::BYTE*>(&adapters);
  control.ncb_length = sizeof(adapters);
  plat::Netbios(&control);
  if (adapters.length > 0) {
    std::memset(&control, 0, sizeof(control));
    control.ncb_command = plat::NCBRESET;
    control.ncb_lana_num = adapters.lana[0];
    plat::Netbios(&control);
    std::memset(&control, 0, sizeof(control));
    control.ncb_command = plat::NCBASTAT;
    control.ncb_lana_num = adapters.lana[0];
    TOOLFUNC_string::CopyText(reinterpret_cast<char*>(control.ncb_callname), "*               ", 15);
    control.ncb_buffer = status;
    control.ncb_length = sizeof(status);
    plat::Netbios(&control);
  }
  std::snprintf(address, 127, "%02X%02X%02X%02X%02X%02X", status[0], status[1], status[2], status[3],
                status[4], status[5]);
  return address;
}

}  // namespace TOOLFUNC_process
