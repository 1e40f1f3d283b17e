// Tests of the sleeper, its time scale and observer, and the tick count.
#include "plat/testing/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/eventually.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What no sleep of the tests, scaled as meant, comes near however busy the machine, and what every
// sleep scaled wrongly (or not at all) goes far beyond.
constexpr auto kFarTooLong = 20s;

// Every test starts without an observer and leaves the factor as it found it.
class SleeperTest : public ::testing::Test {
 protected:
  void SetUp() override { m_savedScale = plat::TimeScale(); }
  void TearDown() override {
    plat::SetSleepObserver(nullptr);
    plat::SetTimeScaleForTesting(m_savedScale);
  }

  static Clock::duration TimeOfSleep(plat::DWORD milliseconds) {
    const auto start = Clock::now();
    plat::Sleep(milliseconds);
    return Clock::now() - start;
  }

 private:
  double m_savedScale = 1.0;
};

struct ParseCase {
  const char* text;
  double expected;
};

void PrintTo(const ParseCase& parse, std::ostream* out) {
  *out << (parse.text == nullptr ? "(null)" : "\"" + std::string(parse.text) + "\"");
}

class ParseTimeScaleTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTimeScaleTest, GivesTheFactorOrOne) {
  EXPECT_DOUBLE_EQ(plat::ParseTimeScale(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseTimeScaleTest,
                         ::testing::Values(ParseCase{"0.01", 0.01}, ParseCase{"1", 1.0},
                                           ParseCase{"2.5", 2.5}, ParseCase{"0", 0.0}, ParseCase{"0.0", 0.0},
                                           ParseCase{"10", 10.0}, ParseCase{nullptr, 1.0}, ParseCase{"", 1.0},
                                           ParseCase{"fast", 1.0}, ParseCase{"0.5x", 1.0},
                                           ParseCase{" 0.5", 1.0}, ParseCase{"0.5 ", 1.0},
                                           ParseCase{"-1", 1.0}, ParseCase{"-0.01", 1.0},
                                           ParseCase{"1e-2", 1.0}, ParseCase{"inf", 1.0},
                                           ParseCase{"nan", 1.0}, ParseCase{"+2", 1.0}));

struct ScaleCase {
  double factor;
  plat::DWORD milliseconds;
  std::chrono::nanoseconds expected;
};

void PrintTo(const ScaleCase& scale, std::ostream* out) {
  *out << scale.milliseconds << " ms at " << scale.factor;
}

class ScaledDurationTest : public SleeperTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaledDurationTest, MultipliesTheRequest) {
  plat::SetTimeScaleForTesting(GetParam().factor);
  EXPECT_DOUBLE_EQ(plat::TimeScale(), GetParam().factor);
  EXPECT_EQ(plat::ScaledDuration(GetParam().milliseconds), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, ScaledDurationTest,
    ::testing::Values(ScaleCase{1.0, 1000, 1000ms}, ScaleCase{0.01, 1000, 10ms}, ScaleCase{0.01, 2500, 25ms},
                      ScaleCase{2.5, 1000, 2500ms}, ScaleCase{0.0, 5000, 0ns}, ScaleCase{1.0, 0, 0ns},
                      ScaleCase{0.001, 1, 1000ns},
                      ScaleCase{1.0, 0xFFFFFFFE, std::chrono::nanoseconds(4294967294000000)},
                      // A huge product is capped instead of overflowing into a negative wait.
                      ScaleCase{1e12, 0xFFFFFFFE, std::chrono::nanoseconds(1000000000000000000)}));

// 100 s unscaled: only a scaled sleep ends before kFarTooLong.
TEST_F(SleeperTest, ScaleShortensASleep) {
  plat::SetTimeScaleForTesting(0.001);
  const auto took = TimeOfSleep(100000);
  EXPECT_GE(took, 100ms);
  EXPECT_LT(took, kFarTooLong);
}

// 50 ms taken for seconds would last 50 s.
TEST_F(SleeperTest, ScaleOneSleepsTheRequestedTime) {
  plat::SetTimeScaleForTesting(1.0);
  const auto took = TimeOfSleep(50);
  EXPECT_GE(took, 50ms);
  EXPECT_LT(took, kFarTooLong);
}

// Two minutes unscaled; and of a hundred zero sleeps each one that slept 200 ms adds up to 20 s.
TEST_F(SleeperTest, ScaleZeroAndSleepZeroOnlyYield) {
  plat::SetTimeScaleForTesting(0.0);
  EXPECT_LT(TimeOfSleep(120000), kFarTooLong);
  plat::SetTimeScaleForTesting(1.0);
  const auto start = Clock::now();
  for (int i = 0; i < 100; ++i) plat::Sleep(0);
  EXPECT_LT(Clock::now() - start, kFarTooLong);
}

// The thread is known to be in its sleep before the test looks: only a sleep that returns within the
// look can pass.
TEST_F(SleeperTest, InfiniteNeverReturnsEvenAtScaleZero) {
  plat::SetTimeScaleForTesting(0.0);
  auto entered = std::make_shared<std::atomic<bool>>(false);
  plat::SetSleepObserver([entered](plat::DWORD) { entered->store(true); });
  auto returned = std::make_shared<std::atomic<bool>>(false);
  std::thread([returned] {
    plat::Sleep(0xFFFFFFFF);
    returned->store(true);
  }).detach();
  ASSERT_TRUE(testsupport::Eventually([&entered] { return entered->load(); }));
  plat::SetSleepObserver(nullptr);
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(returned->load());
}

TEST_F(SleeperTest, ObserverSeesRequestedValuesInOrder) {
  plat::SetTimeScaleForTesting(0.0);
  std::vector<plat::DWORD> seen;
  plat::SetSleepObserver([&seen](plat::DWORD milliseconds) { seen.push_back(milliseconds); });
  for (plat::DWORD milliseconds : {100u, 0u, 2500u, 100u}) plat::Sleep(milliseconds);
  plat::SetSleepObserver(nullptr);
  plat::Sleep(7);
  EXPECT_EQ(seen, (std::vector<plat::DWORD>{100, 0, 2500, 100}));
}

TEST_F(SleeperTest, ObserverRunsOnTheSleepingThreadBeforeTheSleep) {
  plat::SetTimeScaleForTesting(0.01);
  std::thread::id observedOn;
  Clock::time_point observedAt;
  plat::SetSleepObserver([&](plat::DWORD) {
    observedOn = std::this_thread::get_id();
    observedAt = Clock::now();
  });
  std::thread::id sleeperId;
  Clock::time_point sleepEnded;
  std::thread sleeper([&] {
    sleeperId = std::this_thread::get_id();
    plat::Sleep(1000);
    sleepEnded = Clock::now();
  });
  sleeper.join();
  EXPECT_EQ(observedOn, sleeperId);
  EXPECT_GE(sleepEnded - observedAt, 10ms);
}

// Threads sleep while the observer is replaced under them: no call is lost or reaches a freed observer.
TEST_F(SleeperTest, ObserverMayBeReplacedWhileThreadsSleep) {
  plat::SetTimeScaleForTesting(0.0);
  constexpr int kSleepers = 4;
  constexpr int kSleepsEach = 2000;
  auto calls = std::make_shared<std::atomic<int>>(0);
  auto countingObserver = [calls](plat::DWORD) { calls->fetch_add(1); };
  plat::SetSleepObserver(countingObserver);

  std::atomic<bool> sleepersDone{false};
  std::thread replacer([&] {
    while (!sleepersDone.load()) {
      // Each replacement owns a fresh copy, so the one a sleeper holds is freed on replacement.
      plat::SetSleepObserver(plat::SleepObserver(countingObserver));
    }
  });
  std::vector<std::thread> sleepers;
  for (int i = 0; i < kSleepers; ++i) {
    sleepers.emplace_back([] {
      for (int j = 0; j < kSleepsEach; ++j) plat::Sleep(1);
    });
  }
  for (auto& sleeper : sleepers) sleeper.join();
  sleepersDone.store(true);
  replacer.join();
  EXPECT_EQ(calls->load(), kSleepers * kSleepsEach);
}

// A tick count that followed the scale would count the 100 s asked for; one in microseconds 50000 for
// the 50 ms.
TEST_F(SleeperTest, TickCountFollowsRealTimeNotTheScale) {
  const plat::DWORD kFarTooManyTicks = std::chrono::milliseconds(kFarTooLong).count();
  plat::SetTimeScaleForTesting(0.001);
  const plat::DWORD beforeScaledSleep = plat::GetTickCount();
  plat::Sleep(100000);
  const plat::DWORD afterScaledSleep = plat::GetTickCount();
  EXPECT_GE(afterScaledSleep - beforeScaledSleep, 100u);
  EXPECT_LT(afterScaledSleep - beforeScaledSleep, kFarTooManyTicks);

  std::this_thread::sleep_for(50ms);
  const plat::DWORD afterRealSleep = plat::GetTickCount();
  EXPECT_GE(afterRealSleep - afterScaledSleep, 50u);
  EXPECT_LT(afterRealSleep - afterScaledSleep, kFarTooManyTicks);
}

}  // namespace
