// The service process side: dispatcher, control handler and status reports.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "handle_table.h"
#include "host_signals.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/service.h"
#include "plat/thread.h"
#include "posix_call.h"
#include "service_database.h"

namespace plat {
namespace {

using detail::LockedServiceStatus;
using detail::ServiceRuntime;

class StatusHandleObject : public detail::KernelObject {
 public:
  explicit StatusHandleObject(std::string serviceName) : m_serviceName(std::move(serviceName)) {}
  const std::string& serviceName() const { return m_serviceName; }

 private:
  std::string m_serviceName;
};

// What the dispatcher of this process shares with the service's own threads.
struct Dispatcher {
  std::mutex mutex;
  bool hasStarted = false;
  bool isServing = false;
  std::string serviceName;
  LPHANDLER_FUNCTION handler = nullptr;
  LPHANDLER_FUNCTION_EX handlerEx = nullptr;
  LPVOID context = nullptr;
  int stopSignal = -1;      // an eventfd, written by the STOPPED report
  int shutdownSignal = -1;  // an eventfd, written when the host asks the process to end
};

// Leaked on purpose: service threads may still report while the process runs its exit handlers.
Dispatcher& TheDispatcher() {
  static Dispatcher* dispatcher = new Dispatcher;
  return *dispatcher;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

SERVICE_STATUS_HANDLE FailNull(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// The service name and the StartServiceA arguments, as the service main function gets them.
std::vector<std::string> ServiceArguments(const std::string& name) {
  std::vector<std::string> arguments = {name};
  const char* count = std::getenv(detail::kServiceArgumentCountVariable);
  const long argc = count != nullptr ? std::strtol(count, nullptr, 10) : 0;
  for (long i = 1; i <= argc; ++i) {
    const char* argument = std::getenv((detail::kServiceArgumentVariablePrefix + std::to_string(i)).c_str());
    arguments.emplace_back(argument != nullptr ? argument : "");
  }
  return arguments;
}

// A process runs its own service whatever its table calls it; a shared one finds it by name.
LPSERVICE_MAIN_FUNCTIONA ServiceMainFor(const SERVICE_TABLE_ENTRYA* table, const std::string& name) {
  for (const SERVICE_TABLE_ENTRYA* entry = table; entry->lpServiceProc != nullptr; ++entry)
    if (entry->lpServiceName != nullptr && EqualsIgnoringAsciiCase(name, entry->lpServiceName))
      return entry->lpServiceProc;
  return table[0].lpServiceProc;
}

struct ServiceMainStart {
  LPSERVICE_MAIN_FUNCTIONA serviceMain;
  std::vector<std::string> arguments;
};

DWORD RunServiceMain(LPVOID parameter) {
  std::unique_ptr<ServiceMainStart> start(static_cast<ServiceMainStart*>(parameter));
  std::vector<LPSTR> argv;
  for (std::string& argument : start->arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  start->serviceMain(static_cast<DWORD>(start->arguments.size()), argv.data());
  return 0;
}

bool StartServiceMain(LPSERVICE_MAIN_FUNCTIONA serviceMain, const std::string& name) {
  auto start = std::make_unique<ServiceMainStart>(ServiceMainStart{serviceMain, ServiceArguments(name)});
  HANDLE thread = CreateThread(nullptr, 0, RunServiceMain, start.get(), 0, nullptr);
  if (thread == nullptr) return false;
  start.release();  // now owned by the thread
  CloseHandle(thread);
  return true;
}

// Takes over the record StartServiceA made for this process and listens on the control socket;
// -1 when this process is not the one the manager started for `name`.
int Connect(const std::string& name) {
  const DWORD processId = GetCurrentProcessId();
  LockedServiceStatus status(name);
  ServiceRuntime runtime = status.Current();
  if (runtime.processId != processId || runtime.status.dwCurrentState != SERVICE_START_PENDING ||
      runtime.isDispatcherConnected)
    return -1;
  int listener = detail::ListenOnControlSocket(processId);
  if (listener < 0) return -1;
  runtime.isDispatcherConnected = true;
  status.Store(runtime);
  return listener;
}

void RunHandler(DWORD control) {
  Dispatcher& dispatcher = TheDispatcher();
  LPHANDLER_FUNCTION handler = nullptr;
  LPHANDLER_FUNCTION_EX handlerEx = nullptr;
  LPVOID context = nullptr;
  {
    std::lock_guard<std::mutex> lock(dispatcher.mutex);
    handler = dispatcher.handler;
    handlerEx = dispatcher.handlerEx;
    context = dispatcher.context;
  }
  // Called without the lock: the handler reports its status, which takes it.
  if (handlerEx != nullptr)
    handlerEx(control, 0, nullptr, context);
  else if (handler != nullptr)
    handler(control);
}

// Only the service's own user controls it: ControlService checks the rights of its callers, and a
// process of another user must not get round that by writing a code to the socket itself.
bool IsOwnersPeer(int connection) {
  ucred peer{};
  socklen_t size = sizeof(peer);
  return getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof(peer) &&
         peer.uid == geteuid();
}

// One control per connection: the code in, the handler run, an answer out once it has returned. A
// refused peer is closed without an answer.
void ServeConnection(int listener) {
  int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection < 0) return;
  DWORD control = 0;
  if (IsOwnersPeer(connection) &&
      detail::ReceiveDword(connection, control, detail::kServiceResponseMilliseconds) ==
          detail::Received::Value) {
    RunHandler(control);
    detail::SendDword(connection, ERROR_SUCCESS);
  }
  close(connection);
}

// The host's request to end comes to the handler as a system shutdown does, on this side as well.
void ServeShutdown(int shutdownSignal) {
  uint64_t count = 0;
  if (read(shutdownSignal, &count, sizeof(count)) == sizeof(count)) RunHandler(SERVICE_CONTROL_SHUTDOWN);
}

void ServeUntilStopped(int listener, int stopSignal, int shutdownSignal) {
  pollfd watched[3] = {{listener, POLLIN, 0}, {stopSignal, POLLIN, 0}, {shutdownSignal, POLLIN, 0}};
  while (true) {
    if (detail::RetryAfterSignal(-1, ::poll, watched, 3, -1) < 0) return;
    if (watched[1].revents != 0) return;
    if (watched[2].revents != 0) ServeShutdown(shutdownSignal);
    if (watched[0].revents != 0) ServeConnection(listener);
  }
}

void WriteEvent(int eventFd) {
  const uint64_t one = 1;
  // An eventfd write of 8 bytes cannot be short; a failure leaves nothing to retry.
  (void)!write(eventFd, &one, sizeof(one));
}

SERVICE_STATUS_HANDLE RegisterHandler(LPCSTR serviceName, LPHANDLER_FUNCTION handler,
                                      LPHANDLER_FUNCTION_EX handlerEx, LPVOID context) {
  Dispatcher& dispatcher = TheDispatcher();
  std::lock_guard<std::mutex> lock(dispatcher.mutex);
  if (!dispatcher.isServing) return FailNull(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  if (handler == nullptr && handlerEx == nullptr) return FailNull(ERROR_INVALID_PARAMETER);
  if (serviceName == nullptr || !EqualsIgnoringAsciiCase(dispatcher.serviceName, serviceName))
    return FailNull(ERROR_SERVICE_DOES_NOT_EXIST);
  dispatcher.handler = handler;
  dispatcher.handlerEx = handlerEx;
  dispatcher.context = context;
  return reinterpret_cast<SERVICE_STATUS_HANDLE>(
      detail::AddHandle(std::make_shared<StatusHandleObject>(dispatcher.serviceName)));
}

}  // namespace

BOOL StartServiceCtrlDispatcherA(const SERVICE_TABLE_ENTRYA* serviceTable) {
  const char* marker = std::getenv(detail::kServiceNameVariable);
  if (marker == nullptr || *marker == '\0') return Fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  if (serviceTable == nullptr || serviceTable[0].lpServiceProc == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  const std::string name = marker;
  Dispatcher& dispatcher = TheDispatcher();
  {
    std::lock_guard<std::mutex> lock(dispatcher.mutex);
    if (dispatcher.hasStarted) return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    dispatcher.hasStarted = true;
  }
  const int listener = Connect(name);
  if (listener < 0) return Fail(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  const int stopSignal = eventfd(0, EFD_CLOEXEC);
  const int shutdownSignal = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  {
    std::lock_guard<std::mutex> lock(dispatcher.mutex);
    dispatcher.serviceName = name;
    dispatcher.stopSignal = stopSignal;
    dispatcher.shutdownSignal = shutdownSignal;
    dispatcher.isServing = true;
  }
  DWORD failure = ERROR_SUCCESS;
  if (stopSignal < 0 || shutdownSignal < 0 || !StartServiceMain(ServiceMainFor(serviceTable, name), name))
    failure = ERROR_NOT_ENOUGH_MEMORY;
  else
    ServeUntilStopped(listener, stopSignal, shutdownSignal);
  {
    std::lock_guard<std::mutex> lock(dispatcher.mutex);
    dispatcher.isServing = false;
    for (int eventFd : {stopSignal, shutdownSignal})
      if (eventFd >= 0) close(eventFd);
    dispatcher.stopSignal = -1;
    dispatcher.shutdownSignal = -1;
  }
  close(listener);
  detail::RemoveControlSocket(GetCurrentProcessId());
  return failure == ERROR_SUCCESS ? TRUE : Fail(failure);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerA(LPCSTR serviceName, LPHANDLER_FUNCTION handler) {
  return RegisterHandler(serviceName, handler, nullptr, nullptr);
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerExA(LPCSTR serviceName, LPHANDLER_FUNCTION_EX handler,
                                                    LPVOID context) {
  return RegisterHandler(serviceName, nullptr, handler, context);
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE statusHandle, SERVICE_STATUS* status) {
  auto object = std::dynamic_pointer_cast<StatusHandleObject>(
      detail::FindHandle(reinterpret_cast<HANDLE>(statusHandle)));
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (status == nullptr) return Fail(ERROR_INVALID_ADDRESS);
  if (status->dwCurrentState < SERVICE_STOPPED || status->dwCurrentState > SERVICE_PAUSED)
    return Fail(ERROR_INVALID_DATA);
  {
    LockedServiceStatus locked(object->serviceName());
    ServiceRuntime runtime = locked.Current();
    // A later start in another process owns the record now.
    if (runtime.processId != GetCurrentProcessId()) return Fail(ERROR_INVALID_HANDLE);
    runtime.status = *status;
    locked.Record(runtime);
  }
  if (status->dwCurrentState == SERVICE_STOPPED) {
    Dispatcher& dispatcher = TheDispatcher();
    std::lock_guard<std::mutex> lock(dispatcher.mutex);
    if (dispatcher.stopSignal >= 0) WriteEvent(dispatcher.stopSignal);
  }
  return TRUE;
}

bool detail::QueueShutdownControl() {
  Dispatcher& dispatcher = TheDispatcher();
  std::string name;
  {
    std::lock_guard<std::mutex> lock(dispatcher.mutex);
    if (!dispatcher.isServing || (dispatcher.handler == nullptr && dispatcher.handlerEx == nullptr))
      return false;
    name = dispatcher.serviceName;
  }
  // As at a system shutdown, only a service that accepts it is told; the others end as they are.
  if ((LockedServiceStatus(name).Current().status.dwControlsAccepted & SERVICE_ACCEPT_SHUTDOWN) == 0)
    return false;
  std::lock_guard<std::mutex> lock(dispatcher.mutex);
  if (!dispatcher.isServing) return false;
  WriteEvent(dispatcher.shutdownSignal);
  return true;
}

}  // namespace plat
