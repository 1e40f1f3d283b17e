// Service manager calls of a controlling program: handles, entries, status, controls and the start.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "detached_process.h"
#include "handle_table.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/process.h"
#include "plat/service.h"
#include "plat/time.h"
#include "service_database.h"

extern char** environ;

namespace plat {
namespace {

using detail::LockedServiceStatus;
using detail::ServiceEntry;
using detail::ServiceRuntime;

class ManagerObject : public detail::KernelObject {
 public:
  explicit ManagerObject(DWORD access) : m_access(access) {}
  bool Grants(DWORD right) const { return (m_access & right) == right; }

 private:
  DWORD m_access;
};

class ServiceObject : public detail::KernelObject {
 public:
  ServiceObject(std::string name, DWORD access) : m_name(std::move(name)), m_access(access) {}
  const std::string& name() const { return m_name; }
  bool Grants(DWORD right) const { return (m_access & right) == right; }

 private:
  std::string m_name;
  DWORD m_access;
};

template <class Object>
std::shared_ptr<Object> Find(SC_HANDLE handle) {
  return std::dynamic_pointer_cast<Object>(detail::FindHandle(reinterpret_cast<HANDLE>(handle)));
}

SC_HANDLE AddServiceHandle(std::shared_ptr<detail::KernelObject> object) {
  return reinterpret_cast<SC_HANDLE>(detail::AddHandle(std::move(object)));
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

SC_HANDLE FailNull(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// The manager behind `handle` when it grants `right`; null with the last error set otherwise.
std::shared_ptr<ManagerObject> ManagerWithRight(SC_HANDLE handle, DWORD right) {
  auto manager = Find<ManagerObject>(handle);
  if (!manager) {
    SetLastError(ERROR_INVALID_HANDLE);
  } else if (!manager->Grants(right)) {
    SetLastError(ERROR_ACCESS_DENIED);
    manager.reset();
  }
  return manager;
}

// The service behind `handle` when it grants `right`; null with the last error set otherwise.
std::shared_ptr<ServiceObject> ServiceWithRight(SC_HANDLE handle, DWORD right) {
  auto service = Find<ServiceObject>(handle);
  if (!service) {
    SetLastError(ERROR_INVALID_HANDLE);
  } else if (!service->Grants(right)) {
    SetLastError(ERROR_ACCESS_DENIED);
    service.reset();
  }
  return service;
}

// The entry of a service that is neither removed nor marked: ERROR_SERVICE_MARKED_FOR_DELETE otherwise.
DWORD ReadLiveEntry(const std::string& name, ServiceEntry& entry) {
  if (detail::ReadServiceEntry(name, entry) != ERROR_SUCCESS || entry.isMarkedForDelete)
    return ERROR_SERVICE_MARKED_FOR_DELETE;
  return ERROR_SUCCESS;
}

// A list of texts, each ended by a zero, ended by one more zero.
std::vector<std::string> TextList(LPCSTR list) {
  std::vector<std::string> texts;
  for (const char* text = list; *text != '\0'; text += std::strlen(text) + 1) texts.emplace_back(text);
  return texts;
}

SERVICE_STATUS CurrentStatus(const std::string& name) { return LockedServiceStatus(name).Current().status; }

// ---- configuration query ------------------------------------------------------------------------

class ConfigPacker {
 public:
  ConfigPacker(QUERY_SERVICE_CONFIGA* config) : m_next(reinterpret_cast<char*>(config + 1)) {}
  LPSTR Add(const std::string& bytes) {
    LPSTR start = m_next;
    std::memcpy(m_next, bytes.data(), bytes.size());
    m_next += bytes.size();
    return start;
  }

 private:
  char* m_next;
};

std::string WithTerminator(const std::string& text) { return text + '\0'; }

std::string PackedTextList(const std::vector<std::string>& texts) {
  std::string packed;
  for (const std::string& text : texts) packed += text + '\0';
  return packed + '\0';
}

// ---- controls -----------------------------------------------------------------------------------

// The handle right a control needs; 0 for a control that does not exist.
DWORD RightForControl(DWORD control) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE:
      return SERVICE_INTERROGATE;
  }
  return control >= 128 && control <= 255 ? SERVICE_USER_DEFINED_CONTROL : 0;
}

// Whether the service takes the control in its current state (interrogate and its own ones always).
bool IsAccepted(DWORD control, DWORD controlsAccepted) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      return (controlsAccepted & SERVICE_ACCEPT_STOP) != 0;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
      return (controlsAccepted & SERVICE_ACCEPT_PAUSE_CONTINUE) != 0;
    case SERVICE_CONTROL_SHUTDOWN:
      return (controlsAccepted & SERVICE_ACCEPT_SHUTDOWN) != 0;
  }
  return true;
}

// ERROR_SUCCESS once the handler has returned; ERROR_SERVICE_NOT_ACTIVE when nothing listens or the
// process went away meanwhile; ERROR_SERVICE_REQUEST_TIMEOUT when the handler takes too long.
DWORD DeliverControl(DWORD processId, DWORD control) {
  int connection = detail::ConnectToControlSocket(processId);
  if (connection < 0) return ERROR_SERVICE_NOT_ACTIVE;
  DWORD result = ERROR_SERVICE_NOT_ACTIVE;
  DWORD answer = 0;
  if (detail::SendDword(connection, control)) {
    switch (detail::ReceiveDword(connection, answer, detail::kServiceResponseMilliseconds)) {
      case detail::Received::Value:
        result = ERROR_SUCCESS;
        break;
      case detail::Received::TimedOut:
        result = ERROR_SERVICE_REQUEST_TIMEOUT;
        break;
      case detail::Received::Closed:
        break;
    }
  }
  close(connection);
  return result;
}

// ---- start --------------------------------------------------------------------------------------

bool IsServiceMarker(const char* variable) {
  return std::strncmp(variable, "VELCORA_SERVICE_", 16) == 0 ||
         std::strncmp(variable, "VELCORA_MACHINE=", 16) == 0;
}

// Our environment without the markers of any service we run in, with those of the new service.
std::string ServiceEnvironment(const std::string& name, DWORD argc, LPCSTR* argv) {
  std::string block;
  for (char** variable = environ; *variable != nullptr; ++variable)
    if (!IsServiceMarker(*variable)) block += std::string(*variable) + '\0';
  block += "VELCORA_MACHINE=" + MachineDirectory() + '\0';
  block += std::string(detail::kServiceNameVariable) + "=" + name + '\0';
  block += std::string(detail::kServiceArgumentCountVariable) + "=" + std::to_string(argc) + '\0';
  for (DWORD i = 0; i < argc; ++i)
    block += std::string(detail::kServiceArgumentVariablePrefix) + std::to_string(i + 1) + "=" +
             (argv[i] != nullptr ? argv[i] : "") + '\0';
  return block + '\0';
}

// Starts the process of a stopped service and records it as start pending; the lock makes the check
// and the start one step against other starters.
DWORD LaunchService(const std::string& name, const ServiceEntry& entry, DWORD argc, LPCSTR* argv,
                    PROCESS_INFORMATION& started) {
  LockedServiceStatus status(name);
  if (status.Current().status.dwCurrentState != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
  std::string environment = ServiceEnvironment(name, argc, argv);
  std::vector<char> commandLine(entry.imagePath.begin(), entry.imagePath.end());
  commandLine.push_back('\0');
  // A service belongs to the manager, not to whoever asked for it: nothing of the caller's terminal,
  // output or session is kept, so the caller and a pipe behind it end while the service runs.
  if (!detail::CreateDetachedProcessA(commandLine.data(), environment.data(), detail::ServiceOutputPath(name),
                                      &started))
    return GetLastError();
  ServiceRuntime runtime;
  runtime.status = {entry.type, SERVICE_START_PENDING, 0, ERROR_SUCCESS, 0, 0, 0};
  runtime.processId = started.dwProcessId;
  runtime.processStartTime = detail::ProcessStartTime(started.dwProcessId);
  status.Record(runtime);
  return ERROR_SUCCESS;
}

// ERROR_SUCCESS once the dispatcher of the started process has connected; otherwise the service is
// recorded as stopped (a process that is still there is ended) and ERROR_SERVICE_REQUEST_TIMEOUT.
DWORD AwaitDispatcher(const std::string& name, const PROCESS_INFORMATION& started) {
  const auto deadline =
      std::chrono::steady_clock::now() + ScaledDuration(detail::kServiceResponseMilliseconds);
  while (true) {
    // The exit is looked at first: a dispatcher that connected and ended at once still counts.
    const bool hasEnded = WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0;
    const bool isLate = std::chrono::steady_clock::now() >= deadline;
    LockedServiceStatus status(name);
    const ServiceRuntime& runtime = status.Current();
    const bool isOurs = runtime.processId == started.dwProcessId;
    if (isOurs && runtime.isDispatcherConnected) return ERROR_SUCCESS;
    if (hasEnded || isLate || !isOurs) {
      if (!hasEnded) kill(static_cast<pid_t>(started.dwProcessId), SIGKILL);
      if (isOurs && runtime.status.dwCurrentState != SERVICE_STOPPED) {
        ServiceRuntime failed = runtime;
        failed.status = {
            runtime.status.dwServiceType, SERVICE_STOPPED, 0, ERROR_SERVICE_REQUEST_TIMEOUT, 0, 0, 0};
        status.Record(failed);
      }
      return ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

SC_HANDLE OpenSCManagerA(LPCSTR, LPCSTR, DWORD desiredAccess) {
  constexpr DWORD kWritingRights =
      SC_MANAGER_CREATE_SERVICE | SC_MANAGER_LOCK | SC_MANAGER_MODIFY_BOOT_CONFIG;
  if ((desiredAccess & kWritingRights) != 0 && detail::CheckServiceEntryWritable("") == ERROR_ACCESS_DENIED)
    return FailNull(ERROR_ACCESS_DENIED);
  // Opening the manager is connecting to it: every manager handle may open services.
  return AddServiceHandle(std::make_shared<ManagerObject>(desiredAccess | SC_MANAGER_CONNECT));
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR serviceName, LPCSTR displayName, DWORD desiredAccess,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPathName,
                         LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies, LPCSTR serviceStartName,
                         LPCSTR) {
  if (!ManagerWithRight(manager, SC_MANAGER_CREATE_SERVICE)) return nullptr;
  if (!detail::IsValidServiceName(serviceName)) return FailNull(ERROR_INVALID_NAME);
  if (!detail::IsValidServiceType(serviceType) || !detail::IsValidStartType(startType) ||
      !detail::IsValidErrorControl(errorControl) || binaryPathName == nullptr || *binaryPathName == '\0')
    return FailNull(ERROR_INVALID_PARAMETER);
  ServiceEntry existing;
  if (detail::ReadServiceEntry(serviceName, existing) == ERROR_SUCCESS)
    return FailNull(existing.isMarkedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);

  ServiceEntry entry;
  entry.type = serviceType;
  entry.startType = startType;
  entry.errorControl = errorControl;
  entry.imagePath = binaryPathName;
  entry.group = loadOrderGroup != nullptr ? loadOrderGroup : "";
  if (dependencies != nullptr) entry.dependencies = TextList(dependencies);
  entry.startName =
      serviceStartName != nullptr && *serviceStartName != '\0' ? serviceStartName : "LocalSystem";
  entry.displayName = displayName != nullptr && *displayName != '\0' ? displayName : serviceName;
  if (detail::IsServiceNameInUse(serviceName, entry.displayName))
    return FailNull(ERROR_DUPLICATE_SERVICE_NAME);
  if (DWORD written = detail::WriteServiceEntry(serviceName, entry); written != ERROR_SUCCESS) {
    detail::RemoveServiceEntry(serviceName);
    return FailNull(written);
  }
  // A record left by an earlier service of the same name does not belong to this one.
  ServiceRuntime neverStarted;
  neverStarted.status.dwServiceType = serviceType;
  LockedServiceStatus(serviceName).Store(neverStarted);
  if (tagId != nullptr) *tagId = 0;
  return AddServiceHandle(std::make_shared<ServiceObject>(serviceName, desiredAccess));
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess) {
  if (!ManagerWithRight(manager, SC_MANAGER_CONNECT)) return nullptr;
  if (serviceName == nullptr || *serviceName == '\0') return FailNull(ERROR_INVALID_NAME);
  ServiceEntry entry;
  if (!detail::IsValidServiceName(serviceName) ||
      detail::ReadServiceEntry(serviceName, entry) != ERROR_SUCCESS)
    return FailNull(ERROR_SERVICE_DOES_NOT_EXIST);
  if ((desiredAccess & (SERVICE_CHANGE_CONFIG | DELETE)) != 0 &&
      detail::CheckServiceEntryWritable(serviceName) == ERROR_ACCESS_DENIED)
    return FailNull(ERROR_ACCESS_DENIED);
  return AddServiceHandle(std::make_shared<ServiceObject>(serviceName, desiredAccess));
}

BOOL ChangeServiceConfigA(SC_HANDLE handle, DWORD serviceType, DWORD startType, DWORD errorControl,
                          LPCSTR binaryPathName, LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                          LPCSTR serviceStartName, LPCSTR, LPCSTR displayName) {
  auto service = ServiceWithRight(handle, SERVICE_CHANGE_CONFIG);
  if (!service) return FALSE;
  ServiceEntry entry;
  if (DWORD read = ReadLiveEntry(service->name(), entry); read != ERROR_SUCCESS) return Fail(read);
  if ((serviceType != SERVICE_NO_CHANGE && !detail::IsValidServiceType(serviceType)) ||
      (startType != SERVICE_NO_CHANGE && !detail::IsValidStartType(startType)) ||
      (errorControl != SERVICE_NO_CHANGE && !detail::IsValidErrorControl(errorControl)))
    return Fail(ERROR_INVALID_PARAMETER);
  if (serviceType != SERVICE_NO_CHANGE) entry.type = serviceType;
  if (startType != SERVICE_NO_CHANGE) entry.startType = startType;
  if (errorControl != SERVICE_NO_CHANGE) entry.errorControl = errorControl;
  if (binaryPathName != nullptr) entry.imagePath = binaryPathName;
  if (loadOrderGroup != nullptr) entry.group = loadOrderGroup;
  if (dependencies != nullptr) entry.dependencies = TextList(dependencies);
  if (serviceStartName != nullptr)
    entry.startName = *serviceStartName != '\0' ? serviceStartName : "LocalSystem";
  if (displayName != nullptr) {
    entry.displayName = *displayName != '\0' ? displayName : service->name();
    if (detail::IsServiceNameInUse(service->name(), entry.displayName))
      return Fail(ERROR_DUPLICATE_SERVICE_NAME);
  }
  if (DWORD written = detail::WriteServiceEntry(service->name(), entry); written != ERROR_SUCCESS)
    return Fail(written);
  if (tagId != nullptr) *tagId = 0;
  return TRUE;
}

BOOL ChangeServiceConfig2A(SC_HANDLE handle, DWORD infoLevel, LPVOID info) {
  auto service = ServiceWithRight(handle, SERVICE_CHANGE_CONFIG);
  if (!service) return FALSE;
  if (infoLevel != SERVICE_CONFIG_DESCRIPTION) return Fail(ERROR_INVALID_LEVEL);
  if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  ServiceEntry entry;
  if (DWORD read = ReadLiveEntry(service->name(), entry); read != ERROR_SUCCESS) return Fail(read);
  LPCSTR description = static_cast<const SERVICE_DESCRIPTIONA*>(info)->lpDescription;
  if (description == nullptr) return TRUE;
  entry.description = description;
  if (DWORD written = detail::WriteServiceEntry(service->name(), entry); written != ERROR_SUCCESS)
    return Fail(written);
  return TRUE;
}

BOOL QueryServiceConfigA(SC_HANDLE handle, QUERY_SERVICE_CONFIGA* config, DWORD bufferSize,
                         LPDWORD bytesNeeded) {
  auto service = ServiceWithRight(handle, SERVICE_QUERY_CONFIG);
  if (!service) return FALSE;
  if (bytesNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  ServiceEntry entry;
  if (detail::ReadServiceEntry(service->name(), entry) != ERROR_SUCCESS)
    return Fail(ERROR_SERVICE_MARKED_FOR_DELETE);
  const std::string path = WithTerminator(entry.imagePath);
  const std::string group = WithTerminator(entry.group);
  const std::string dependencies = PackedTextList(entry.dependencies);
  const std::string startName = WithTerminator(entry.startName);
  const std::string displayName = WithTerminator(entry.displayName);
  const size_t needed = sizeof(QUERY_SERVICE_CONFIGA) + path.size() + group.size() + dependencies.size() +
                        startName.size() + displayName.size();
  *bytesNeeded = static_cast<DWORD>(needed);
  if (config == nullptr || bufferSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  ConfigPacker packer(config);
  config->dwServiceType = entry.type;
  config->dwStartType = entry.startType;
  config->dwErrorControl = entry.errorControl;
  config->lpBinaryPathName = packer.Add(path);
  config->lpLoadOrderGroup = packer.Add(group);
  config->dwTagId = 0;
  config->lpDependencies = packer.Add(dependencies);
  config->lpServiceStartName = packer.Add(startName);
  config->lpDisplayName = packer.Add(displayName);
  return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE handle, SERVICE_STATUS* status) {
  auto service = ServiceWithRight(handle, SERVICE_QUERY_STATUS);
  if (!service) return FALSE;
  if (status == nullptr) return Fail(ERROR_INVALID_ADDRESS);
  *status = CurrentStatus(service->name());
  return TRUE;
}

BOOL QueryServiceStatusEx(SC_HANDLE handle, SC_STATUS_TYPE infoLevel, BYTE* buffer, DWORD bufferSize,
                          LPDWORD bytesNeeded) {
  auto service = ServiceWithRight(handle, SERVICE_QUERY_STATUS);
  if (!service) return FALSE;
  if (infoLevel != SC_STATUS_PROCESS_INFO) return Fail(ERROR_INVALID_LEVEL);
  if (bytesNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *bytesNeeded = sizeof(SERVICE_STATUS_PROCESS);
  if (buffer == nullptr || bufferSize < sizeof(SERVICE_STATUS_PROCESS))
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  const ServiceRuntime runtime = LockedServiceStatus(service->name()).Current();
  const SERVICE_STATUS& s = runtime.status;
  const bool isStopped = s.dwCurrentState == SERVICE_STOPPED;
  SERVICE_STATUS_PROCESS result = {s.dwServiceType,
                                   s.dwCurrentState,
                                   s.dwControlsAccepted,
                                   s.dwWin32ExitCode,
                                   s.dwServiceSpecificExitCode,
                                   s.dwCheckPoint,
                                   s.dwWaitHint,
                                   isStopped ? 0 : runtime.processId,
                                   0};
  std::memcpy(buffer, &result, sizeof(result));
  return TRUE;
}

BOOL ControlService(SC_HANDLE handle, DWORD control, SERVICE_STATUS* status) {
  auto service = Find<ServiceObject>(handle);
  if (!service) return Fail(ERROR_INVALID_HANDLE);
  const DWORD right = RightForControl(control);
  if (right != 0 && !service->Grants(right)) return Fail(ERROR_ACCESS_DENIED);
  if (status == nullptr) return Fail(ERROR_INVALID_ADDRESS);

  const ServiceRuntime runtime = LockedServiceStatus(service->name()).Current();
  const DWORD state = runtime.status.dwCurrentState;
  DWORD refusal = ERROR_SUCCESS;
  if (right == 0)
    refusal = ERROR_INVALID_SERVICE_CONTROL;
  else if (state == SERVICE_STOPPED)
    refusal = ERROR_SERVICE_NOT_ACTIVE;
  else if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
    refusal = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
  else if (!IsAccepted(control, runtime.status.dwControlsAccepted))
    refusal = ERROR_INVALID_SERVICE_CONTROL;
  else
    refusal = DeliverControl(runtime.processId, control);
  if (refusal == ERROR_SERVICE_REQUEST_TIMEOUT) return Fail(refusal);
  *status = CurrentStatus(service->name());
  return refusal == ERROR_SUCCESS ? TRUE : Fail(refusal);
}

BOOL StartServiceA(SC_HANDLE handle, DWORD argc, LPCSTR* argv) {
  auto service = ServiceWithRight(handle, SERVICE_START);
  if (!service) return FALSE;
  if (argc > 0 && argv == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  ServiceEntry entry;
  if (DWORD read = ReadLiveEntry(service->name(), entry); read != ERROR_SUCCESS) return Fail(read);
  if (entry.startType == SERVICE_DISABLED) return Fail(ERROR_SERVICE_DISABLED);
  PROCESS_INFORMATION started = {};
  if (DWORD launched = LaunchService(service->name(), entry, argc, argv, started); launched != ERROR_SUCCESS)
    return Fail(launched);
  const DWORD result = AwaitDispatcher(service->name(), started);
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  return result == ERROR_SUCCESS ? TRUE : Fail(result);
}

BOOL DeleteService(SC_HANDLE handle) {
  auto service = ServiceWithRight(handle, DELETE);
  if (!service) return FALSE;
  ServiceEntry entry;
  if (DWORD read = ReadLiveEntry(service->name(), entry); read != ERROR_SUCCESS) return Fail(read);
  if (DWORD marked = detail::MarkServiceEntryForDelete(service->name()); marked != ERROR_SUCCESS)
    return Fail(marked);
  // Under the status lock, so that a STOPPED report cannot slip in between the look and the removal.
  LockedServiceStatus status(service->name());
  if (status.Current().status.dwCurrentState == SERVICE_STOPPED) detail::RemoveServiceEntry(service->name());
  return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  if (!Find<ManagerObject>(handle) && !Find<ServiceObject>(handle)) return Fail(ERROR_INVALID_HANDLE);
  detail::RemoveHandle(reinterpret_cast<HANDLE>(handle));
  return TRUE;
}

}  // namespace plat
