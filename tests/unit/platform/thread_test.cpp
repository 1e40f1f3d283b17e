// Tests of threads, their ids and exit codes, and the handles that stand for them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <thread>
#include <vector>

// The handle table is private to the layer; reached by path to give it an object that is no thread.
#include "handle_table.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/testing/time.h"
#include "plat/thread.h"
#include "support/eventually.h"

namespace {

using namespace std::chrono_literals;
using plat::DWORD;
using plat::HANDLE;
using plat::LPVOID;

constexpr DWORD kInfinite = 0xFFFFFFFF;
// Long enough for any thread here to end; a thread that is never signalled fails instead of hanging.
constexpr DWORD kGenerousWait = 30000;

// A thread procedure that keeps running until the test releases it, then ends with exit code 5.
class HeldThread {
 public:
  static DWORD Run(LPVOID raw) {
    auto* self = static_cast<HeldThread*>(raw);
    std::unique_lock<std::mutex> lock(self->m_mutex);
    self->m_changed.wait(lock, [self] { return self->m_released; });
    self->m_finished = true;
    self->m_changed.notify_all();
    return 5;
  }

  void Release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
  }

  bool Finished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
  }

  // True once the procedure has returned, waiting thirty seconds at most.
  bool WaitFinished() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_finished; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_released = false;
  bool m_finished = false;
};

TEST(ThreadIdTest, IsWrittenBeforeTheProcedureRunsAndIsItsCurrentId) {
  struct Probe {
    DWORD writtenId = 0;
    DWORD seenInThread = 0;
    DWORD currentInThread = 0;
  };
  constexpr int kThreads = 200;
  std::vector<Probe> probes(kThreads);
  std::vector<HANDLE> handles;
  for (Probe& probe : probes) {
    HANDLE handle = plat::CreateThread(
        nullptr, 0,
        [](LPVOID raw) -> DWORD {
          auto* self = static_cast<Probe*>(raw);
          self->seenInThread = self->writtenId;
          self->currentInThread = plat::GetCurrentThreadId();
          return 0;
        },
        &probe, 0, &probe.writtenId);
    ASSERT_NE(handle, nullptr);
    handles.push_back(handle);
  }
  for (HANDLE handle : handles) {
    ASSERT_EQ(plat::WaitForSingleObject(handle, kInfinite), 0u);
    EXPECT_EQ(plat::CloseHandle(handle), 1);
  }
  std::set<DWORD> ids{plat::GetCurrentThreadId()};
  for (const Probe& probe : probes) {
    EXPECT_NE(probe.writtenId, 0u);
    EXPECT_EQ(probe.seenInThread, probe.writtenId);
    EXPECT_EQ(probe.currentInThread, probe.writtenId);
    ids.insert(probe.writtenId);
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads) + 1);
}

// Threads run one after the other, so an id taken from the system's reusable thread slots would repeat.
TEST(ThreadIdTest, EveryThreadHasItsOwnStableIdNeverReused) {
  const DWORD mainId = plat::GetCurrentThreadId();
  EXPECT_NE(mainId, 0u);
  EXPECT_EQ(plat::GetCurrentThreadId(), mainId);
  std::set<DWORD> ids{mainId};
  constexpr int kThreads = 50;
  for (int i = 0; i < kThreads; ++i) {
    DWORD first = 0;
    DWORD second = 0;
    std::thread([&] {
      first = plat::GetCurrentThreadId();
      second = plat::GetCurrentThreadId();
    }).join();
    EXPECT_NE(first, 0u);
    EXPECT_EQ(second, first);
    ids.insert(first);
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads) + 1);
}

// What a thread procedure did on its way out.
struct EndProbe {
  std::atomic<bool> destructorRan{false};
  std::atomic<bool> codeAfterExitRan{false};
};

struct SetsOnDestruction {
  std::atomic<bool>& flag;
  ~SetsOnDestruction() { flag.store(true); }
};

// Ends the thread from a nested frame, below an object whose destructor must still run.
void ExitFromNestedFrame(EndProbe& probe, DWORD exitCode) {
  SetsOnDestruction guard{probe.destructorRan};
  plat::ExitThread(exitCode);
}

struct ExitCase {
  const char* name;
  plat::LPTHREAD_START_ROUTINE procedure;
  DWORD expectedExitCode;
};

void PrintTo(const ExitCase& exitCase, std::ostream* out) { *out << exitCase.name; }

class ThreadExitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ThreadExitTest, HandleIsSignalledWithTheExitCode) {
  EndProbe probe;
  HANDLE handle = plat::CreateThread(nullptr, 0, GetParam().procedure, &probe, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(plat::WaitForSingleObject(handle, kGenerousWait), 0u);
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(handle, &exitCode), 1);
  EXPECT_EQ(exitCode, GetParam().expectedExitCode);
  EXPECT_TRUE(probe.destructorRan.load());
  EXPECT_FALSE(probe.codeAfterExitRan.load());
  EXPECT_EQ(plat::CloseHandle(handle), 1);
}

INSTANTIATE_TEST_SUITE_P(Endings, ThreadExitTest,
                         ::testing::Values(ExitCase{"Return",
                                                    [](LPVOID raw) -> DWORD {
                                                      auto* probe = static_cast<EndProbe*>(raw);
                                                      SetsOnDestruction guard{probe->destructorRan};
                                                      return 7;
                                                    },
                                                    7},
                                           ExitCase{"ExitThread",
                                                    [](LPVOID raw) -> DWORD {
                                                      auto* probe = static_cast<EndProbe*>(raw);
                                                      ExitFromNestedFrame(*probe, 42);
                                                      probe->codeAfterExitRan.store(true);
                                                      return 1;
                                                    },
                                                    42},
                                           ExitCase{"ExitThreadZero",
                                                    [](LPVOID raw) -> DWORD {
                                                      auto* probe = static_cast<EndProbe*>(raw);
                                                      ExitFromNestedFrame(*probe, 0);
                                                      probe->codeAfterExitRan.store(true);
                                                      return 1;
                                                    },
                                                    0}),
                         [](const ::testing::TestParamInfo<ExitCase>& info) { return info.param.name; });

TEST(ExitThreadTest, EndsAThreadNotMadeByCreateThread) {
  EndProbe probe;
  std::thread([&probe] {
    ExitFromNestedFrame(probe, 3);
    probe.codeAfterExitRan.store(true);
  }).join();
  EXPECT_TRUE(probe.destructorRan.load());
  EXPECT_FALSE(probe.codeAfterExitRan.load());
}

class RunningThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_savedScale = plat::TimeScale();
    m_handle = plat::CreateThread(nullptr, 0, HeldThread::Run, &m_held, 0, nullptr);
    ASSERT_NE(m_handle, nullptr);
  }
  // The thread never outlives the object it waits on.
  void TearDown() override {
    m_held.Release();
    EXPECT_TRUE(m_held.WaitFinished());
    plat::SetTimeScaleForTesting(m_savedScale);
  }

  HeldThread m_held;
  HANDLE m_handle = nullptr;

 private:
  double m_savedScale = 1.0;
};

TEST_F(RunningThreadTest, IsStillActiveAndTimesOutUntilItEnds) {
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(m_handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 259u);
  EXPECT_EQ(plat::WaitForSingleObject(m_handle, 0), 258u);

  m_held.Release();
  EXPECT_EQ(plat::WaitForSingleObject(m_handle, kInfinite), 0u);
  EXPECT_EQ(plat::WaitForSingleObject(m_handle, 0), 0u);
  EXPECT_EQ(plat::GetExitCodeThread(m_handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 5u);
  EXPECT_EQ(plat::CloseHandle(m_handle), 1);
}

// 100 s unscaled: only a scaled wait ends within 20 s, however busy the machine.
TEST_F(RunningThreadTest, TimedWaitIsScaled) {
  plat::SetTimeScaleForTesting(0.001);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(plat::WaitForSingleObject(m_handle, 100000), 258u);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, 100ms);
  EXPECT_LT(took, 20s);
  EXPECT_EQ(plat::CloseHandle(m_handle), 1);
}

TEST_F(RunningThreadTest, ClosingTheHandleLeavesTheThreadRunningAndInvalidatesTheHandle) {
  EXPECT_EQ(plat::CloseHandle(m_handle), 1);

  plat::SetLastError(0);
  EXPECT_EQ(plat::CloseHandle(m_handle), 0);
  EXPECT_EQ(plat::GetLastError(), 6u);
  plat::SetLastError(0);
  EXPECT_EQ(plat::WaitForSingleObject(m_handle, 0), 0xFFFFFFFFu);
  EXPECT_EQ(plat::GetLastError(), 6u);
  plat::SetLastError(0);
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(m_handle, &exitCode), 0);
  EXPECT_EQ(plat::GetLastError(), 6u);
  plat::SetLastError(0);
  EXPECT_EQ(plat::TerminateThread(m_handle, 1), 0);
  EXPECT_EQ(plat::GetLastError(), 6u);

  EXPECT_FALSE(m_held.Finished());
  m_held.Release();
  EXPECT_TRUE(m_held.WaitFinished());
}

// The thread does not sleep, so it runs on, but its object ended with the first termination.
TEST_F(RunningThreadTest, TerminatedThreadIsSignalledAtOnceAndKeepsTheFirstTerminatingCode) {
  EXPECT_EQ(plat::TerminateThread(m_handle, 33), 1);
  EXPECT_EQ(plat::WaitForSingleObject(m_handle, 0), 0u);
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(m_handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 33u);
  EXPECT_EQ(plat::TerminateThread(m_handle, 34), 1);

  m_held.Release();
  ASSERT_TRUE(m_held.WaitFinished());  // the procedure returned 5
  EXPECT_EQ(plat::GetExitCodeThread(m_handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 33u);
  EXPECT_EQ(plat::CloseHandle(m_handle), 1);
}

TEST(TerminateThreadTest, ThreadThatHasEndedKeepsItsExitCode) {
  HANDLE handle = plat::CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return 7; }, nullptr, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(plat::WaitForSingleObject(handle, kGenerousWait), 0u);
  EXPECT_EQ(plat::TerminateThread(handle, 99), 1);
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 7u);
  EXPECT_EQ(plat::CloseHandle(handle), 1);
}

// True once `flag` is set, waiting thirty seconds at most.
bool EventuallySet(const std::atomic<bool>& flag) {
  return testsupport::Eventually([&flag] { return flag.load(); });
}

// What a thread that never ends by itself runs, and what it did before and after it was terminated.
struct SleeperProbe {
  void (*sleep)();
  std::atomic<bool> reachedTheSleep{false};  // set by the sleeper's observer
  std::atomic<bool> unwound{false};
  std::atomic<bool> ranPastTheSleep{false};
};

// Tells the probe when its thread calls plat::Sleep, for as long as it lives.
class SleepWatch {
 public:
  explicit SleepWatch(SleeperProbe& probe) {
    plat::SetSleepObserver([&probe](DWORD) { probe.reachedTheSleep.store(true); });
  }
  ~SleepWatch() { plat::SetSleepObserver(nullptr); }
};

// Runs the probe's sleep before the end mark, below an object whose destructor marks the unwinding.
DWORD RunSleeper(LPVOID raw) {
  auto* probe = static_cast<SleeperProbe*>(raw);
  SetsOnDestruction guard{probe->unwound};
  probe->sleep();
  probe->ranPastTheSleep.store(true);
  return 1;
}

std::atomic<bool> g_keepPolling{true};  // never cleared: only termination ends the polling thread

struct SleeperCase {
  const char* name;
  void (*sleep)();
};

void PrintTo(const SleeperCase& sleeper, std::ostream* out) { *out << sleeper.name; }

class TerminateSleeperTest : public ::testing::TestWithParam<SleeperCase> {};

TEST_P(TerminateSleeperTest, ThreadIsSignalledAtOnceAndEndsInItsSleep) {
  SleeperProbe probe{GetParam().sleep};
  SleepWatch watch(probe);
  HANDLE handle = plat::CreateThread(nullptr, 0, RunSleeper, &probe, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(EventuallySet(probe.reachedTheSleep));
  // Lets it get from the call into the wait; a termination that comes first ends the sleep as it begins.
  std::this_thread::sleep_for(20ms);

  EXPECT_EQ(plat::TerminateThread(handle, 77), 1);
  EXPECT_EQ(plat::WaitForSingleObject(handle, 0), 0u);
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 77u);
  // The probe outlives the thread only if the thread really ends.
  ASSERT_TRUE(EventuallySet(probe.unwound));
  EXPECT_FALSE(probe.ranPastTheSleep.load());
  EXPECT_EQ(plat::CloseHandle(handle), 1);
}

INSTANTIATE_TEST_SUITE_P(Sleeps, TerminateSleeperTest,
                         ::testing::Values(SleeperCase{"PollingLoop",
                                                       [] {
                                                         while (g_keepPolling.load()) plat::Sleep(10);
                                                       }},
                                           SleeperCase{"LongSleep", [] { plat::Sleep(600000); }},
                                           SleeperCase{"InfiniteSleep", [] { plat::Sleep(kInfinite); }},
                                           SleeperCase{"YieldLoop",
                                                       [] {
                                                         for (;;) plat::Sleep(0);
                                                       }}),
                         [](const ::testing::TestParamInfo<SleeperCase>& info) { return info.param.name; });

TEST(TerminateThreadTest, ThreadThatTerminatesItselfEndsAtOnce) {
  struct Self {
    std::atomic<HANDLE> handle{nullptr};
    EndProbe probe;
  } self;
  HANDLE handle = plat::CreateThread(
      nullptr, 0,
      [](LPVOID raw) -> DWORD {
        auto* self = static_cast<Self*>(raw);
        SetsOnDestruction guard{self->probe.destructorRan};
        while (self->handle.load() == nullptr) std::this_thread::yield();
        plat::TerminateThread(self->handle.load(), 21);
        self->probe.codeAfterExitRan.store(true);
        return 1;
      },
      &self, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  self.handle.store(handle);
  ASSERT_EQ(plat::WaitForSingleObject(handle, kGenerousWait), 0u);
  ASSERT_TRUE(EventuallySet(self.probe.destructorRan));
  DWORD exitCode = 0;
  EXPECT_EQ(plat::GetExitCodeThread(handle, &exitCode), 1);
  EXPECT_EQ(exitCode, 21u);
  EXPECT_FALSE(self.probe.codeAfterExitRan.load());
  EXPECT_EQ(plat::CloseHandle(handle), 1);
}

TEST(ThreadHandleTest, ValuesAreAlignedNeverZeroOrMinusOneAndNeverReused) {
  std::set<uintptr_t> values;
  constexpr int kThreads = 20;
  for (int i = 0; i < kThreads; ++i) {
    HANDLE handle = plat::CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    ASSERT_NE(handle, nullptr);
    const auto value = reinterpret_cast<uintptr_t>(handle);
    EXPECT_NE(value, UINTPTR_MAX);
    EXPECT_GE(value, 0x100u);
    EXPECT_EQ(value % 4, 0u);
    values.insert(value);
    ASSERT_EQ(plat::WaitForSingleObject(handle, kInfinite), 0u);
    ASSERT_EQ(plat::CloseHandle(handle), 1);
  }
  EXPECT_EQ(values.size(), static_cast<size_t>(kThreads));
}

// Handles that never named a thread: one never issued, the two reserved values, and a live object of
// another kind.
TEST(ThreadHandleTest, HandlesThatAreNoThreadAreRefused) {
  HANDLE otherKind = plat::detail::AddHandle(std::make_shared<plat::detail::KernelObject>());
  const std::vector<HANDLE> handles{reinterpret_cast<HANDLE>(uintptr_t{0x102}), nullptr,
                                    plat::INVALID_HANDLE_VALUE, otherKind};
  for (HANDLE handle : handles) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(handle));
    plat::SetLastError(0);
    EXPECT_EQ(plat::WaitForSingleObject(handle, kInfinite), 0xFFFFFFFFu);
    EXPECT_EQ(plat::GetLastError(), 6u);
    plat::SetLastError(0);
    DWORD exitCode = 17;
    EXPECT_EQ(plat::GetExitCodeThread(handle, &exitCode), 0);
    EXPECT_EQ(plat::GetLastError(), 6u);
    EXPECT_EQ(exitCode, 17u);
    plat::SetLastError(0);
    EXPECT_EQ(plat::TerminateThread(handle, 1), 0);
    EXPECT_EQ(plat::GetLastError(), 6u);
  }
  EXPECT_EQ(plat::CloseHandle(otherKind), 1);
  EXPECT_EQ(plat::CloseHandle(nullptr), 0);
}

std::atomic<int> g_unwantedRuns{0};

DWORD CountRun(LPVOID) {
  g_unwantedRuns.fetch_add(1);
  return 0;
}

struct RefusedCase {
  const char* name;
  size_t stackSize;
  plat::LPTHREAD_START_ROUTINE start;
  DWORD creationFlags;
  DWORD expectedError;
};

void PrintTo(const RefusedCase& refused, std::ostream* out) { *out << refused.name; }

class RefusedThreadTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedThreadTest, GivesNoHandleAndRunsNothing) {
  g_unwantedRuns.store(0);
  plat::SetLastError(0);
  DWORD threadId = 0;
  const RefusedCase& refused = GetParam();
  EXPECT_EQ(plat::CreateThread(nullptr, refused.stackSize, refused.start, nullptr, refused.creationFlags,
                               &threadId),
            nullptr);
  EXPECT_EQ(plat::GetLastError(), refused.expectedError);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(g_unwantedRuns.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Requests, RefusedThreadTest,
                         ::testing::Values(RefusedCase{"NullStart", 0, nullptr, 0, 87},
                                           RefusedCase{"CreateSuspended", 0, CountRun, 0x4, 87},
                                           RefusedCase{"UnknownFlag", 0, CountRun, 0x10000, 87},
                                           // Larger than any address space, so the stack cannot be had.
                                           RefusedCase{"StackBeyondMemory", size_t{1} << 62, CountRun, 0, 8}),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

TEST(ThreadLastErrorTest, IsKeptPerThread) {
  struct Seen {
    DWORD atStart = 99;
    DWORD afterSet = 0;
  } seen;
  plat::SetLastError(1234);
  HANDLE handle = plat::CreateThread(
      nullptr, 0,
      [](LPVOID raw) -> DWORD {
        auto* self = static_cast<Seen*>(raw);
        self->atStart = plat::GetLastError();
        plat::SetLastError(5);
        self->afterSet = plat::GetLastError();
        return 0;
      },
      &seen, 0, nullptr);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(plat::WaitForSingleObject(handle, kInfinite), 0u);
  EXPECT_EQ(plat::CloseHandle(handle), 1);
  EXPECT_EQ(seen.atStart, 0u);
  EXPECT_EQ(seen.afterSet, 5u);
  EXPECT_EQ(plat::GetLastError(), 1234u);
}

}  // namespace
