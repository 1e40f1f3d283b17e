// Tests of GetLocalTime: the fields of the current time in the zone in force.
#include "plat/systime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int64_t NowMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Sets TZ for one test and restores the zone that was in force before.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* previous = std::getenv("TZ")) m_previous = previous, m_hadPrevious = true;
    setenv("TZ", zone, 1);
  }
  ~ScopedTimeZone() {
    if (m_hadPrevious)
      setenv("TZ", m_previous.c_str(), 1);
    else
      unsetenv("TZ");
  }

 private:
  bool m_hadPrevious = false;
  std::string m_previous;
};

TEST(GetLocalTime, GivesTheCurrentTimeToTheMillisecondInTheZoneInForce) {
  struct Case {
    const char* zone;
    int64_t offsetSeconds;  // local time minus UTC
  } cases[] = {
      {"UTC0", 0},
      {"<+0530>-05:30", 19800},
      {"<-03>3", -10800},
  };
  for (const Case& c : cases) {
    ScopedTimeZone zone(c.zone);
    const int64_t before = NowMilliseconds();
    plat::SYSTEMTIME local;
    plat::GetLocalTime(&local);
    const int64_t after = NowMilliseconds();

    ASSERT_GE(local.wMonth, 1) << c.zone;
    ASSERT_LE(local.wMonth, 12) << c.zone;
    EXPECT_LT(local.wHour, 24) << c.zone;
    EXPECT_LT(local.wMinute, 60) << c.zone;
    EXPECT_LT(local.wMilliseconds, 1000) << c.zone;
    const int64_t days = DaysFromCivil(local.wYear, local.wMonth, local.wDay);
    const int64_t localSeconds = days * 86400 + local.wHour * 3600 + local.wMinute * 60 + local.wSecond;
    const int64_t utcMilliseconds = (localSeconds - c.offsetSeconds) * 1000 + local.wMilliseconds;
    EXPECT_GE(utcMilliseconds, before) << c.zone;
    EXPECT_LE(utcMilliseconds, after) << c.zone;
    // 1970-01-01 was a Thursday.
    EXPECT_EQ(local.wDayOfWeek, (days % 7 + 11) % 7) << c.zone;
  }
}

}  // namespace
