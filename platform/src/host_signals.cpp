// The host's termination signals as Windows' polite requests: a shutdown control or WM_CLOSE, then the end.
#include "host_signals.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "plat/window.h"
#include "posix_call.h"
#include "window_system.h"

namespace plat::detail {
namespace {

constexpr int kTakenSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Ends the process the way `signal` ends it by default, so its starter sees that signal.
[[noreturn]] void EndAsTheSignalWould(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  // Reached only when the signal does not end a process by default, which none of the taken ones is.
  std::_Exit(128 + signal);
}

// The top-level windows of this process, as a polite task end finds them.
std::vector<HWND> OwnTopLevelWindows() {
  WindowSystem& system = System();
  std::lock_guard<std::mutex> lock(system.mutex);
  std::vector<HWND> found;
  for (HWND window : system.tree.Find(WindowTree::Desktop())->children) {
    const Window* topLevel = system.tree.Find(window);
    if (topLevel->processId == 0 && !topLevel->destroying) found.push_back(window);
  }
  return found;
}

bool PostCloseToTopLevelWindows() {
  bool posted = false;
  for (HWND window : OwnTopLevelWindows()) posted |= PostMessageA(window, WM_CLOSE, 0, 0) != FALSE;
  return posted;
}

void TakeSignals(sigset_t taken) {
  bool isShuttingDown = false;
  while (true) {
    siginfo_t info;
    const int signal = RetryAfterSignal(-1, ::sigwaitinfo, &taken, &info);
    if (signal < 0) return;
    // A second request means the orderly end is not wanted any more, or does not come.
    if (isShuttingDown) EndAsTheSignalWould(signal);
    isShuttingDown = true;
    if (!QueueShutdownControl() && !PostCloseToTopLevelWindows()) EndAsTheSignalWould(signal);
  }
}

}  // namespace

void TakeHostSignals() {
  sigset_t taken;
  sigemptyset(&taken);
  for (int signal : kTakenSignals) {
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) sigaddset(&taken, signal);
  }
  if (pthread_sigmask(SIG_BLOCK, &taken, nullptr) != 0) return;
  try {
    std::thread(TakeSignals, taken).detach();
  } catch (const std::system_error&) {
    // Without the thread nobody would take them: the signals keep their default effect.
    pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
  }
}

}  // namespace plat::detail
