// The fault guard around calls into foreign code: a fault inside becomes a Windows exception code.
#pragma once

#include <functional>

#include "plat/types.h"

namespace plat {

// The exception codes a guarded call reports.
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
// The code Windows' C++ runtime raises its exceptions with, reported for any C++ exception.
constexpr DWORD EXCEPTION_CPP_THROW = 0xE06D7363;

// Returns 0 when `call` returned normally, else the code of what ended it: EXCEPTION_ACCESS_VIOLATION
// for SIGSEGV or SIGBUS (a stack overflow included), EXCEPTION_INT_DIVIDE_BY_ZERO for SIGFPE,
// EXCEPTION_ILLEGAL_INSTRUCTION for SIGILL, EXCEPTION_CPP_THROW for a C++ exception. Only faults on the
// calling thread while the call runs are caught; guards nest, the innermost one catching. A thread that
// ends inside the call (ExitThread, TerminateThread) still ends. Sets no error.
//
// Limits: a fault jumps straight back here, so the frames between the fault and the guard run no
// destructors: locks they held stay held and memory they owned is lost, and whatever state the foreign
// code was changing stays half done. A library that faulted stays loaded. Faults outside any guard, or
// on other threads, keep their usual outcome (the process ends, or a handler that was installed before
// the first guard, such as a sanitizer's, gets them).
DWORD GuardedCall(const std::function<void()>& call);

}  // namespace plat
