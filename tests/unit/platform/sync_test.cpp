// Tests of critical sections: recursion by the owner, exclusion of other threads, the scoped guard.
#include "plat/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The way the programs hold one: embedded by value in an object of their own.
struct Guarded {
  plat::CRITICAL_SECTION section;
  int value = 0;
};

class CriticalSectionTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::InitializeCriticalSection(&m_guarded.section); }
  void TearDown() override { plat::DeleteCriticalSection(&m_guarded.section); }

  Guarded m_guarded;
};

TEST_F(CriticalSectionTest, OtherThreadIsKeptOutUntilTheOwnerLeftAsOftenAsItEntered) {
  plat::CRITICAL_SECTION* section = &m_guarded.section;
  plat::EnterCriticalSection(section);
  plat::EnterCriticalSection(section);
  plat::EnterCriticalSection(section);

  std::atomic<bool> contenderStarted{false};
  std::atomic<bool> contenderInside{false};
  std::thread contender([&] {
    contenderStarted.store(true);
    plat::EnterCriticalSection(section);
    contenderInside.store(true);
    plat::LeaveCriticalSection(section);
  });
  while (!contenderStarted.load()) std::this_thread::yield();

  for (int stillHeld = 2; stillHeld >= 0; --stillHeld) {
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(contenderInside.load()) << "entered while the owner held " << stillHeld + 1;
    plat::LeaveCriticalSection(section);
  }
  contender.join();
  EXPECT_TRUE(contenderInside.load());
}

// The contender can only get in once the guard's scope has ended, so it always sees the scope's last
// write; a guard that did not hold the section would let it in early to see the first.
TEST_F(CriticalSectionTest, GuardHoldsTheSectionForItsScopeAndLeavesItAtTheEnd) {
  std::atomic<bool> contenderStarted{false};
  int seenByContender = 0;
  std::thread contender;
  {
    plat::CriticalSectionLock lock(&m_guarded.section);
    m_guarded.value = 1;
    contender = std::thread([&] {
      contenderStarted.store(true);
      plat::EnterCriticalSection(&m_guarded.section);
      seenByContender = m_guarded.value;
      plat::LeaveCriticalSection(&m_guarded.section);
    });
    while (!contenderStarted.load()) std::this_thread::yield();
    std::this_thread::sleep_for(30ms);
    m_guarded.value = 2;
  }
  contender.join();
  EXPECT_EQ(seenByContender, 2);
}

// The count is read and written back in two steps, so any thread that gets in beside another
// loses updates; nested enters are taken as well to keep recursion under contention.
TEST_F(CriticalSectionTest, KeepsACounterExactUnderContention) {
  constexpr int kThreads = 8;
  constexpr int kIncrementsEach = 20000;
  std::atomic<int> counter{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      for (int j = 0; j < kIncrementsEach; ++j) {
        plat::EnterCriticalSection(&m_guarded.section);
        plat::EnterCriticalSection(&m_guarded.section);
        const int seen = counter.load(std::memory_order_relaxed);
        if (j % 64 == 0) std::this_thread::yield();
        counter.store(seen + 1, std::memory_order_relaxed);
        plat::LeaveCriticalSection(&m_guarded.section);
        ++m_guarded.value;
        plat::LeaveCriticalSection(&m_guarded.section);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter.load(), kThreads * kIncrementsEach);
  EXPECT_EQ(m_guarded.value, kThreads * kIncrementsEach);
}

}  // namespace
