// The entry "Velcora" that runs the layer's test service program, and the end of a service's process.
#include "support/test_service_entry.h"

#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/service.h"
#include "plat/testing/time.h"
#include "support/eventually.h"

namespace testsupport {

bool QueryServiceProcess(const std::string& name, plat::SERVICE_STATUS_PROCESS& status) {
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CONNECT);
  plat::SC_HANDLE service = plat::OpenServiceA(manager, name.c_str(), plat::SERVICE_QUERY_STATUS);
  plat::DWORD needed = 0;
  const bool read = service != nullptr && plat::QueryServiceStatusEx(service, plat::SC_STATUS_PROCESS_INFO,
                                                                     reinterpret_cast<plat::BYTE*>(&status),
                                                                     sizeof(status), &needed);
  if (service != nullptr) plat::CloseServiceHandle(service);
  plat::CloseServiceHandle(manager);
  return read;
}

namespace {

bool IsStopped(const std::string& name) {
  plat::SERVICE_STATUS_PROCESS status = {};
  return !QueryServiceProcess(name, status) || status.dwCurrentState == plat::SERVICE_STOPPED;
}

// Polls with the host's own sleep: a plat::Sleep here would come back to the observer that calls it.
bool WaitUntilStopped(const std::string& name) {
  return Eventually([&name] { return IsStopped(name); });
}

}  // namespace

bool InstallServiceEntry(const std::string& command) {
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  plat::SC_HANDLE service = plat::CreateServiceA(
      manager, "Velcora", "Wendrath Velcora", plat::SERVICE_ALL_ACCESS, 0x110, plat::SERVICE_DEMAND_START,
      plat::SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (service != nullptr) plat::CloseServiceHandle(service);
  plat::CloseServiceHandle(manager);
  return service != nullptr;
}

bool InstallTestService(const std::string& program, const std::string& mode) {
  return InstallServiceEntry("\"" + plat::ToWindowsPath(program) + "\" Velcora " + mode);
}

bool EndServiceProcess(const std::string& name) {
  plat::SERVICE_STATUS_PROCESS status = {};
  // The manager reports a process only while it is the one it started, so no other is hit.
  if (QueryServiceProcess(name, status) && status.dwProcessId != 0) {
    plat::HANDLE process = plat::OpenProcess(plat::PROCESS_TERMINATE, plat::FALSE, status.dwProcessId);
    if (process != nullptr) {
      plat::TerminateProcess(process, 1);
      plat::CloseHandle(process);
    }
  }
  return WaitUntilStopped(name);
}

PausesWaitForTheStop::PausesWaitForTheStop(const std::string& name, plat::DWORD pauseMilliseconds) {
  plat::SetSleepObserver([name, pauseMilliseconds](plat::DWORD milliseconds) {
    if (milliseconds == pauseMilliseconds) WaitUntilStopped(name);
  });
}

PausesWaitForTheStop::~PausesWaitForTheStop() { plat::SetSleepObserver(nullptr); }

}  // namespace testsupport
