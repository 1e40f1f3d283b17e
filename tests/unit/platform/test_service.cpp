// A service program on the layer for the service manager tests: `test_service <name> [mode]`.
//
// Without a mode it reports START_PENDING then RUNNING, accepting stop, pause/continue and shutdown,
// and follows each control the way a well-behaved service does. The modes change one thing each:
//   never-stops    stop gives STOP_PENDING but never STOPPED; the process runs on until it is killed
//   dies           the process exits with code 3 right after RUNNING, without a report
//   no-dispatcher  never calls StartServiceCtrlDispatcherA; runs until it is killed
//   stop-only      accepts stop only
//   slow-start     stays START_PENDING until the process gets SIGUSR1, then reports RUNNING
//   hangs          the handler never returns from an interrogate; the process runs until it is killed
// No mode waits for a time: what a test must outlast lasts until the test ends it, so no busy machine
// can make a pause run out first.
// The service main function writes <machine>/test_service-<name>.txt: "show <show state>", then its
// arguments, one a line; and "ServiceMain <name>" to standard output and "on stderr" to standard error.
#include <signal.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

#include "plat/error.h"
#include "plat/machine.h"
#include "plat/service.h"
#include "plat/time.h"
#include "plat/winmain.h"

namespace {

using plat::DWORD;

std::string g_mode;

struct Service {
  std::mutex mutex;
  std::condition_variable changed;
  plat::SERVICE_STATUS_HANDLE handle = nullptr;
  plat::SERVICE_STATUS status = {plat::SERVICE_WIN32_OWN_PROCESS, plat::SERVICE_START_PENDING, 0, 0, 0, 0, 0};
  bool isStopRequested = false;
  bool hasMainReturned = false;
};

Service g_service;

bool IsPending(DWORD state) {
  return state == plat::SERVICE_START_PENDING || state == plat::SERVICE_STOP_PENDING ||
         state == plat::SERVICE_CONTINUE_PENDING || state == plat::SERVICE_PAUSE_PENDING;
}

// Called with the service's lock held, so that no two reports mix.
void Report(DWORD state) {
  plat::SERVICE_STATUS& status = g_service.status;
  status.dwCurrentState = state;
  status.dwCheckPoint = IsPending(state) ? 1 : 0;
  status.dwWaitHint = IsPending(state) ? 3000 : 0;
  plat::SetServiceStatus(g_service.handle, &status);
}

DWORD Handler(DWORD control, DWORD, plat::LPVOID, plat::LPVOID context) {
  Service& service = *static_cast<Service*>(context);
  std::unique_lock<std::mutex> lock(service.mutex);
  switch (control) {
    case plat::SERVICE_CONTROL_STOP:
      Report(plat::SERVICE_STOP_PENDING);
      service.isStopRequested = true;
      service.changed.notify_all();
      break;
    case plat::SERVICE_CONTROL_PAUSE:
      Report(plat::SERVICE_PAUSE_PENDING);
      Report(plat::SERVICE_PAUSED);
      break;
    case plat::SERVICE_CONTROL_CONTINUE:
      Report(plat::SERVICE_CONTINUE_PENDING);
      Report(plat::SERVICE_RUNNING);
      break;
    case plat::SERVICE_CONTROL_SHUTDOWN:
      Report(plat::SERVICE_STOPPED);
      service.isStopRequested = true;
      service.changed.notify_all();
      break;
    default:  // interrogate and the service's own controls: the current record again
      if (control == plat::SERVICE_CONTROL_INTERROGATE && g_mode == "hangs") {
        lock.unlock();
        plat::Sleep(plat::INFINITE);
      }
      Report(service.status.dwCurrentState);
      break;
  }
  return plat::ERROR_SUCCESS;
}

// SIGUSR1, which ends a slow start. Every thread blocks it (main does so before any other thread
// exists), so it waits for its one taker instead of ending the process.
sigset_t ReleaseSignal() {
  sigset_t release;
  sigemptyset(&release);
  sigaddset(&release, SIGUSR1);
  return release;
}

void WaitForRelease() {
  const sigset_t release = ReleaseSignal();
  int taken = 0;
  while (sigwait(&release, &taken) != 0) {
  }
}

void WriteStartRecord(DWORD argc, plat::LPSTR* argv) {
  std::ofstream out(plat::MachineDirectory() + "/test_service-" + argv[0] + ".txt");
  out << "show " << plat::ShowStateFromEnvironment() << '\n';
  for (DWORD i = 0; i < argc; ++i) out << argv[i] << '\n';
}

void ServiceMain(DWORD argc, plat::LPSTR* argv) {
  WriteStartRecord(argc, argv);
  std::printf("ServiceMain %s\n", argv[0]);
  std::fflush(stdout);
  std::fprintf(stderr, "on stderr\n");
  plat::SERVICE_STATUS_HANDLE handle = plat::RegisterServiceCtrlHandlerExA(argv[0], Handler, &g_service);
  if (handle == nullptr) return;
  std::unique_lock<std::mutex> lock(g_service.mutex);
  g_service.handle = handle;
  g_service.status.dwControlsAccepted =
      g_mode == "stop-only"
          ? plat::SERVICE_ACCEPT_STOP
          : plat::SERVICE_ACCEPT_STOP | plat::SERVICE_ACCEPT_PAUSE_CONTINUE | plat::SERVICE_ACCEPT_SHUTDOWN;
  Report(plat::SERVICE_START_PENDING);
  if (g_mode == "slow-start") {
    lock.unlock();
    WaitForRelease();
    lock.lock();
  }
  Report(plat::SERVICE_RUNNING);
  if (g_mode == "dies") std::_Exit(3);
  g_service.changed.wait(lock, [] { return g_service.isStopRequested; });
  if (g_mode == "never-stops") {
    lock.unlock();
    plat::Sleep(plat::INFINITE);
  }
  if (g_service.status.dwCurrentState != plat::SERVICE_STOPPED) Report(plat::SERVICE_STOPPED);
  g_service.hasMainReturned = true;
  g_service.changed.notify_all();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: test_service <name> [mode]\n");
    return 2;
  }
  g_mode = argc > 2 ? argv[2] : "";
  const sigset_t release = ReleaseSignal();
  pthread_sigmask(SIG_BLOCK, &release, nullptr);
  if (g_mode == "no-dispatcher") plat::Sleep(plat::INFINITE);
  plat::SERVICE_TABLE_ENTRYA table[] = {{argv[1], ServiceMain}, {nullptr, nullptr}};
  if (!plat::StartServiceCtrlDispatcherA(table)) {
    std::printf("StartServiceCtrlDispatcherA failed with error %u\n", plat::GetLastError());
    return 1;
  }
  // The dispatcher returns on the STOPPED report; the service main function ends just after it.
  std::unique_lock<std::mutex> lock(g_service.mutex);
  g_service.changed.wait(lock, [] { return g_service.hasMainReturned; });
  return 0;
}
