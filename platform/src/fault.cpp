// The fault guard: per-thread jump points taken by fault signal handlers running on an alternate stack.
#include "plat/fault.h"

#include <cxxabi.h>
#include <setjmp.h>
#include <signal.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <mutex>

namespace plat {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr size_t kSignalCount = std::size(kFaultSignals);

// What a thread's innermost running guard jumps back to.
struct GuardFrame {
  sigjmp_buf jumpPoint;
  GuardFrame* outer;
};

thread_local GuardFrame* t_innermostGuard = nullptr;
// Kept for the thread's life once made: large enough for the handler under a sanitizer too.
thread_local std::unique_ptr<char[]> t_alternateStack;

// The dispositions found before ours, for faults that no guard catches. Written under g_installMutex
// only, before our handler is put in place for that signal.
struct sigaction g_previousActions[kSignalCount];
std::mutex g_installMutex;

DWORD CodeFor(int signal) {
  switch (signal) {
    case SIGFPE:
      return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case SIGILL:
      return EXCEPTION_ILLEGAL_INSTRUCTION;
    default:
      return EXCEPTION_ACCESS_VIOLATION;
  }
}

size_t IndexOf(int signal) {
  return static_cast<size_t>(std::find(std::begin(kFaultSignals), std::end(kFaultSignals), signal) -
                             std::begin(kFaultSignals));
}

// Gives an unguarded fault the outcome it would have had without the guard.
void ForwardToPrevious(int signal, siginfo_t* info, void* context) {
  const struct sigaction& previous = g_previousActions[IndexOf(signal)];
  if ((previous.sa_flags & SA_SIGINFO) != 0) {
    previous.sa_sigaction(signal, info, context);
    return;
  }
  // A fault the processor raised would only come back if ignored, so it takes the default course.
  const bool raisedByProcessor = info->si_code > 0;
  if (previous.sa_handler == SIG_IGN && !raisedByProcessor) return;
  if (previous.sa_handler != SIG_IGN && previous.sa_handler != SIG_DFL) {
    previous.sa_handler(signal);
    return;
  }
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);  // delivered with the default action once this handler returns
}

void OnFault(int signal, siginfo_t* info, void* context) {
  if (GuardFrame* guard = t_innermostGuard) siglongjmp(guard->jumpPoint, static_cast<int>(CodeFor(signal)));
  ForwardToPrevious(signal, info, context);
}

// Checked at every outermost guard rather than once, so a handler that foreign code put in place
// since the last guard does not take the guard's faults.
void InstallHandlers() {
  std::lock_guard<std::mutex> lock(g_installMutex);
  for (size_t i = 0; i < kSignalCount; ++i) {
    struct sigaction current = {};
    if (sigaction(kFaultSignals[i], nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == OnFault) continue;
    g_previousActions[i] = current;
    struct sigaction ours = {};
    ours.sa_sigaction = OnFault;
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&ours.sa_mask);
    sigaction(kFaultSignals[i], &ours, nullptr);
  }
}

// Puts the thread's alternate signal stack in place; true with the one it replaced in `previous`.
bool InstallAlternateStack(stack_t& previous) {
  const size_t size = std::max<size_t>(SIGSTKSZ, 64 * 1024);
  if (!t_alternateStack) t_alternateStack = std::make_unique<char[]>(size);
  stack_t ours = {};
  ours.ss_sp = t_alternateStack.get();
  ours.ss_size = size;
  return sigaltstack(&ours, &previous) == 0;
}

// Keeps `frame` as the thread's innermost guard from Activate to the end of the object, however the
// guarded call ends (return, fault, exception, thread exit). The outermost guard of a thread also puts
// the handlers and the alternate stack in place, and gives the thread its own stack back at the end.
class GuardScope {
 public:
  explicit GuardScope(GuardFrame& frame)
      : m_frame(frame),
        m_previousStack{},
        m_replacedStack(frame.outer == nullptr && Prepare(m_previousStack)) {}
  ~GuardScope() {
    t_innermostGuard = m_frame.outer;
    if (m_replacedStack) sigaltstack(&m_previousStack, nullptr);
  }
  GuardScope(const GuardScope&) = delete;
  GuardScope& operator=(const GuardScope&) = delete;

  // Only once the jump point is set may a fault take it.
  void Activate() { t_innermostGuard = &m_frame; }

 private:
  static bool Prepare(stack_t& previousStack) {
    InstallHandlers();
    return InstallAlternateStack(previousStack);
  }

  GuardFrame& m_frame;
  stack_t m_previousStack;
  const bool m_replacedStack;
};

// 0, or EXCEPTION_CPP_THROW for a C++ exception out of `call`. The unwinding of a thread that ends
// inside the call goes on; it carries no exception object, which the undefined-behaviour sanitizer
// would take for a reference bound to null in the handler that lets it pass.
__attribute__((noinline, no_sanitize("null"))) DWORD CallCatchingExceptions(
    const std::function<void()>& call) {
  try {
    call();
  } catch (const abi::__forced_unwind&) {
    throw;
  } catch (...) {
    return EXCEPTION_CPP_THROW;
  }
  return 0;
}

}  // namespace

DWORD GuardedCall(const std::function<void()>& call) {
  GuardFrame frame;
  frame.outer = t_innermostGuard;
  GuardScope scope(frame);
  // Nothing that lives in this frame changes between here and a jump back, so all of it stays valid.
  if (const int code = sigsetjmp(frame.jumpPoint, 1); code != 0) return static_cast<DWORD>(code);
  scope.Activate();
  return CallCatchingExceptions(call);
}

}  // namespace plat
