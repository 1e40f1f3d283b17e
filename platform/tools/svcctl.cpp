// The stand-in for the service console: queries, starts, controls and deletes services of the layer.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/service.h"

namespace {

using plat::DWORD;

void PrintUsage() {
  std::fprintf(stderr,
               "usage: svcctl query|start|stop|pause|continue|interrogate|shutdown|delete|history "
               "<name> [start arguments...]\n"
               "       svcctl config <name> [<new image path>]\n");
}

int Failure(DWORD error) {
  char text[512];
  if (plat::FormatMessageA(plat::FORMAT_MESSAGE_FROM_SYSTEM | plat::FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, sizeof(text), nullptr) == 0)
    std::snprintf(text, sizeof(text), "Unknown error.");
  text[std::strcspn(text, "\r\n")] = '\0';
  std::fprintf(stderr, "svcctl: error %u: %s\n", error, text);
  return 1;
}

int LastFailure() { return Failure(plat::GetLastError()); }

const char* StateName(DWORD state) {
  static const char* const kNames[] = {"STOPPED",          "START_PENDING", "STOP_PENDING", "RUNNING",
                                       "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
  return state >= 1 && state <= 7 ? kNames[state - 1] : "UNKNOWN";
}

// Closes the handle when it goes out of scope.
class ServiceHandle {
 public:
  explicit ServiceHandle(plat::SC_HANDLE handle) : m_handle(handle) {}
  ~ServiceHandle() {
    if (m_handle != nullptr) plat::CloseServiceHandle(m_handle);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  plat::SC_HANDLE get() const { return m_handle; }

 private:
  plat::SC_HANDLE m_handle;
};

// "RUNNING (4) pid 1234 exit 0"
int PrintStatus(plat::SC_HANDLE service) {
  plat::SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!plat::QueryServiceStatusEx(service, plat::SC_STATUS_PROCESS_INFO,
                                  reinterpret_cast<plat::BYTE*>(&status), sizeof(status), &needed))
    return LastFailure();
  std::printf("%s (%u) pid %u exit %u\n", StateName(status.dwCurrentState), status.dwCurrentState,
              status.dwProcessId, status.dwWin32ExitCode);
  return 0;
}

int PrintHistory(const char* name) {
  for (const plat::ServiceHistoryEntry& entry : plat::ReadServiceHistory(name))
    std::printf("%llu %s (%u) checkpoint %u accepts %u exit %u\n",
                static_cast<unsigned long long>(entry.milliseconds), StateName(entry.state), entry.state,
                entry.checkPoint, entry.controlsAccepted, entry.win32ExitCode);
  return 0;
}

int PrintConfig(plat::SC_HANDLE service) {
  DWORD needed = 0;
  plat::QueryServiceConfigA(service, nullptr, 0, &needed);
  if (plat::GetLastError() != plat::ERROR_INSUFFICIENT_BUFFER) return LastFailure();
  // Whole structures, so the buffer is aligned for the one at its start.
  std::vector<plat::QUERY_SERVICE_CONFIGA> buffer(needed / sizeof(plat::QUERY_SERVICE_CONFIGA) + 1);
  auto* config = buffer.data();
  if (!plat::QueryServiceConfigA(service, config, static_cast<DWORD>(buffer.size() * sizeof(*config)),
                                 &needed))
    return LastFailure();
  std::string dependencies;
  for (const char* text = config->lpDependencies; *text != '\0'; text += std::strlen(text) + 1)
    dependencies += (dependencies.empty() ? "" : ", ") + std::string(text);
  std::printf(
      "type: 0x%X\nstart: %u\nerror control: %u\nimage path: %s\ngroup: %s\ndependencies: %s\n"
      "account: %s\ndisplay name: %s\n",
      config->dwServiceType, config->dwStartType, config->dwErrorControl, config->lpBinaryPathName,
      config->lpLoadOrderGroup, dependencies.c_str(), config->lpServiceStartName, config->lpDisplayName);
  return 0;
}

struct Command {
  const char* name;
  DWORD access;
  DWORD control;  // 0 for the commands that are no control
};

const Command kCommands[] = {
    {"query", plat::SERVICE_QUERY_STATUS, 0},
    {"start", plat::SERVICE_START | plat::SERVICE_QUERY_STATUS, 0},
    {"stop", plat::SERVICE_STOP | plat::SERVICE_QUERY_STATUS, plat::SERVICE_CONTROL_STOP},
    {"pause", plat::SERVICE_PAUSE_CONTINUE | plat::SERVICE_QUERY_STATUS, plat::SERVICE_CONTROL_PAUSE},
    {"continue", plat::SERVICE_PAUSE_CONTINUE | plat::SERVICE_QUERY_STATUS, plat::SERVICE_CONTROL_CONTINUE},
    {"interrogate", plat::SERVICE_INTERROGATE | plat::SERVICE_QUERY_STATUS,
     plat::SERVICE_CONTROL_INTERROGATE},
    {"shutdown", plat::SERVICE_STOP | plat::SERVICE_QUERY_STATUS, plat::SERVICE_CONTROL_SHUTDOWN},
    {"delete", plat::DELETE, 0},
    {"config", plat::SERVICE_QUERY_CONFIG, 0},
};

// The image path is the whole command line the manager starts: program and switches, as one argument.
int ChangeImagePath(plat::SC_HANDLE service, const char* imagePath) {
  if (!plat::ChangeServiceConfigA(service, plat::SERVICE_NO_CHANGE, plat::SERVICE_NO_CHANGE,
                                  plat::SERVICE_NO_CHANGE, imagePath, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr))
    return LastFailure();
  return PrintConfig(service);
}

int Run(const Command& command, const char* name, int argc, char** argv) {
  ServiceHandle manager(plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return LastFailure();
  const std::string verb = command.name;
  const bool changesConfig = verb == "config" && argc > 0;
  if (verb == "config" && argc > 1) {
    PrintUsage();
    return Failure(plat::ERROR_INVALID_PARAMETER);
  }
  const DWORD access = command.access | (changesConfig ? plat::SERVICE_CHANGE_CONFIG : 0);
  ServiceHandle service(plat::OpenServiceA(manager.get(), name, access));
  if (service.get() == nullptr) return LastFailure();
  if (command.control != 0) {
    plat::SERVICE_STATUS status = {};
    if (!plat::ControlService(service.get(), command.control, &status)) return LastFailure();
    return PrintStatus(service.get());
  }
  if (verb == "start") {
    std::vector<plat::LPCSTR> arguments(argv, argv + argc);
    if (!plat::StartServiceA(service.get(), static_cast<DWORD>(argc), arguments.data())) return LastFailure();
    return PrintStatus(service.get());
  }
  if (verb == "delete") {
    if (!plat::DeleteService(service.get())) return LastFailure();
    ServiceHandle reopened(plat::OpenServiceA(manager.get(), name, plat::SERVICE_QUERY_STATUS));
    std::puts(reopened.get() == nullptr ? "deleted" : "marked for deletion");
    return 0;
  }
  if (changesConfig) return ChangeImagePath(service.get(), argv[0]);
  if (verb == "config") return PrintConfig(service.get());
  return PrintStatus(service.get());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    PrintUsage();
    return Failure(plat::ERROR_INVALID_PARAMETER);
  }
  const std::string verb = argv[1];
  if (verb == "history") return PrintHistory(argv[2]);
  for (const Command& command : kCommands)
    if (verb == command.name) return Run(command, argv[2], argc - 3, argv + 3);
  PrintUsage();
  return Failure(plat::ERROR_INVALID_PARAMETER);
}
