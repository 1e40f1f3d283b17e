// Tests of the fault guard: faults and exceptions inside a guarded call become Windows exception codes.
#include "plat/fault.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "plat/handle.h"
#include "plat/thread.h"

namespace {

using plat::DWORD;
using plat::GuardedCall;

// The faulting functions read their targets from volatile objects, so the compiler cannot see the
// fault coming and replace it with something else; the undefined-behaviour sanitizer is kept out of
// them because it would stop the process before the fault happens. The thread sanitizer is kept out of
// the null accesses: it records the access before the fault, and several threads faulting on the same
// address at once would look to it like a race on memory that none of them ever touched.
volatile int* volatile g_nullTarget = nullptr;
volatile int g_dividend = 7;
volatile int g_zero = 0;
volatile bool g_neverTrue = false;

__attribute__((noinline, no_sanitize("undefined", "thread"))) void WriteThroughNull() { *g_nullTarget = 1; }

__attribute__((noinline, no_sanitize("undefined", "thread"))) void ReadThroughNull() {
  volatile int value = *g_nullTarget;
  (void)value;
}

__attribute__((noinline, no_sanitize("undefined"))) void DivideByZero() {
  volatile int quotient = g_dividend / g_zero;
  (void)quotient;
}

__attribute__((noinline)) void ExecuteTrap() { __builtin_trap(); }

// Uses up the stack, page by page, until it overflows.
__attribute__((noinline)) int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  if (g_neverTrue) return 0;
  return Recurse(depth + 1) + frame[0];
}

void OverflowStack() { Recurse(0); }

struct FaultCase {
  const char* name;
  void (*call)();
  DWORD expectedCode;
};

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

class GuardedFaultTest : public ::testing::TestWithParam<FaultCase> {};

// Twice in a row and then a clean call: a guard that left the signal blocked or its jump point stale
// after the first fault would fail the second one.
TEST_P(GuardedFaultTest, BecomesItsExceptionCodeAndTheGuardWorksAgain) {
  EXPECT_EQ(GuardedCall(GetParam().call), GetParam().expectedCode);
  EXPECT_EQ(GuardedCall(GetParam().call), GetParam().expectedCode);
  bool ran = false;
  EXPECT_EQ(GuardedCall([&ran] { ran = true; }), 0u);
  EXPECT_TRUE(ran);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GuardedFaultTest,
    ::testing::Values(FaultCase{"NullWrite", WriteThroughNull, 0xC0000005},
                      FaultCase{"NullRead", ReadThroughNull, 0xC0000005},
                      FaultCase{"BusError", [] { std::raise(SIGBUS); }, 0xC0000005},
                      FaultCase{"IntegerDivideByZero", DivideByZero, 0xC0000094},
                      FaultCase{"RaisedFloatingPointSignal", [] { std::raise(SIGFPE); }, 0xC0000094},
                      FaultCase{"Trap", ExecuteTrap, 0xC000001D},
                      FaultCase{"StandardException", [] { throw std::runtime_error("provider"); },
                                0xE06D7363},
                      FaultCase{"ThrownInt", [] { throw 42; }, 0xE06D7363}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(GuardedCallTest, ReturnsZeroAfterTheCallRanToItsEnd) {
  int steps = 0;
  EXPECT_EQ(GuardedCall([&steps] {
              ++steps;
              ++steps;
            }),
            0u);
  EXPECT_EQ(steps, 2);
}

// The overflow happens on the thread's own stack, so the handler can only run on the alternate one.
TEST(GuardedCallTest, StackOverflowIsAnAccessViolationAndTheThreadGoesOn) {
  DWORD first = 0;
  DWORD second = 0;
  DWORD afterwards = 1;
  std::thread([&] {
    first = GuardedCall(OverflowStack);
    second = GuardedCall(OverflowStack);
    afterwards = GuardedCall([] {});
  }).join();
  EXPECT_EQ(first, 0xC0000005u);
  EXPECT_EQ(second, 0xC0000005u);
  EXPECT_EQ(afterwards, 0u);
}

TEST(NestedGuardTest, InnerGuardCatchesItsFaultAndTheOuterCallGoesOn) {
  DWORD inner = 0;
  bool outerContinued = false;
  const DWORD outer = GuardedCall([&] {
    inner = GuardedCall(WriteThroughNull);
    outerContinued = true;
  });
  EXPECT_EQ(inner, 0xC0000005u);
  EXPECT_TRUE(outerContinued);
  EXPECT_EQ(outer, 0u);
}

TEST(NestedGuardTest, FaultAfterTheInnerGuardEndedGoesToTheOuterOne) {
  DWORD inner = 1;
  const DWORD outer = GuardedCall([&] {
    inner = GuardedCall([] {});
    DivideByZero();
  });
  EXPECT_EQ(inner, 0u);
  EXPECT_EQ(outer, 0xC0000094u);
}

TEST(NestedGuardTest, ExceptionStopsAtTheInnerGuard) {
  DWORD inner = 0;
  const DWORD outer = GuardedCall([&] { inner = GuardedCall([] { throw std::logic_error("inner"); }); });
  EXPECT_EQ(inner, 0xE06D7363u);
  EXPECT_EQ(outer, 0u);
}

// Guards on many threads at once, each faulting over and over, each getting its own fault's code.
TEST(ConcurrentGuardTest, EveryThreadCatchesItsOwnFaults) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 200;
  const std::vector<std::pair<void (*)(), DWORD>> faults{
      {WriteThroughNull, 0xC0000005}, {DivideByZero, 0xC0000094}, {ExecuteTrap, 0xC000001D}};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        const auto& [call, code] = faults[static_cast<size_t>(t + round) % faults.size()];
        if (GuardedCall(call) != code) mismatches.fetch_add(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// ExitThread unwinds the stack with a forced unwind; a guard that swallowed it would abort the process.
TEST(GuardedCallTest, ThreadEndingInsideTheCallStillEnds) {
  struct Probe {
    bool reachedAfterCall = false;
  } probe;
  plat::HANDLE thread = plat::CreateThread(
      nullptr, 0,
      [](plat::LPVOID raw) -> DWORD {
        GuardedCall([] { plat::ExitThread(9); });
        static_cast<Probe*>(raw)->reachedAfterCall = true;
        return 1;
      },
      &probe, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(plat::WaitForSingleObject(thread, 30000), 0u);
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(thread, &exitCode), 1);
  EXPECT_EQ(exitCode, 9u);
  EXPECT_FALSE(probe.reachedAfterCall);
  EXPECT_EQ(plat::CloseHandle(thread), 1);
  EXPECT_EQ(GuardedCall(WriteThroughNull), 0xC0000005u);
}

// The exit code of a sanitizer whose own handler reports a deadly signal, 0 without one.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSanitizerExitCode = 1;
#elif defined(__SANITIZE_THREAD__)
constexpr int kSanitizerExitCode = 66;
#else
constexpr int kSanitizerExitCode = 0;
#endif

// Killed by the signal; under a sanitizer its handler reports the fault and exits with its code.
std::function<bool(int)> DiesOf(int signal) {
  return [signal](int status) {
    return ::testing::KilledBySignal(signal)(status) ||
           (kSanitizerExitCode != 0 && ::testing::ExitedWithCode(kSanitizerExitCode)(status));
  };
}

class UnguardedFaultTest : public ::testing::Test {
 protected:
  // The threads the tests start must not be forked half way through.
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(UnguardedFaultTest, OutsideAnyGuardAFaultStillEndsTheProcess) {
  EXPECT_EXIT(
      {
        GuardedCall(WriteThroughNull);
        WriteThroughNull();
      },
      DiesOf(SIGSEGV), "");
  EXPECT_EXIT(
      {
        GuardedCall(DivideByZero);
        DivideByZero();
      },
      DiesOf(SIGFPE), "");
  EXPECT_EXIT(
      {
        GuardedCall(ExecuteTrap);
        ExecuteTrap();
      },
      DiesOf(SIGILL), "");
}

TEST_F(UnguardedFaultTest, GuardCatchesNothingOnOtherThreads) {
  EXPECT_EXIT(GuardedCall([] { std::thread(WriteThroughNull).join(); }), DiesOf(SIGSEGV), "");
}

}  // namespace
