// Tests of the time tools with a fixed clock and a fixed time zone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "ToolFunktion.h"
#include "plat/testing/systime.h"

namespace {

using namespace TOOLFUNC_time;

plat::SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second, int ms, int weekday = 0) {
  return plat::SYSTEMTIME{static_cast<plat::WORD>(year),    static_cast<plat::WORD>(month),
                          static_cast<plat::WORD>(weekday), static_cast<plat::WORD>(day),
                          static_cast<plat::WORD>(hour),    static_cast<plat::WORD>(minute),
                          static_cast<plat::WORD>(second),  static_cast<plat::WORD>(ms)};
}

class TimeToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Central European time: UTC+1, and UTC+2 from the last Sunday of March to the last of October.
    const char* zone = std::getenv("TZ");
    m_hadZone = zone != nullptr;
    if (m_hadZone) m_zone = zone;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
  void TearDown() override {
    plat::SetLocalTimeForTesting(nullptr);
    if (m_hadZone) {
      setenv("TZ", m_zone.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void Fix(const plat::SYSTEMTIME& time) { plat::SetLocalTimeForTesting(&time); }

  bool m_hadZone = false;
  std::string m_zone;
};

TEST_F(TimeToolsTest, MakeTimeReadsTheRecordAsLocalStandardTime) {
  // 9 December 2026 14:05:07 CET is 13:05:07 UTC.
  EXPECT_EQ(1796821507, MakeTime(At(2026, 12, 9, 14, 5, 7, 0)));
  EXPECT_EQ(MakeTime(At(2026, 12, 9, 14, 5, 7, 0)), MakeTime(At(2026, 12, 9, 14, 5, 7, 999)))
      << "milliseconds do not count";
  // 1 July 2026 12:00 is 10:00 UTC in summer time; read as standard time it is 11:00 UTC, an hour later.
  EXPECT_EQ(1782903600, MakeTime(At(2026, 7, 1, 12, 0, 0, 0)));
  std::tm record{};
  record.tm_year = 126;
  record.tm_mon = 11;
  record.tm_mday = 32;  // the 32nd of December is the 1st of January
  record.tm_isdst = -1;
  MakeTime64(&record);
  EXPECT_EQ(127, record.tm_year);
  EXPECT_EQ(0, record.tm_mon);
  EXPECT_EQ(1, record.tm_mday);
}

TEST_F(TimeToolsTest, TimeToSystemTimeGivesTheRecordBackWithItsWeekday) {
  plat::SYSTEMTIME back = TimeToSystemTime(MakeTime(At(2026, 12, 9, 14, 5, 7, 42, 6)));
  EXPECT_EQ(2026, back.wYear);
  EXPECT_EQ(12, back.wMonth);
  EXPECT_EQ(9, back.wDay);
  EXPECT_EQ(3, back.wDayOfWeek) << "a Wednesday, whatever the record said";
  EXPECT_EQ(14, back.wHour);
  EXPECT_EQ(5, back.wMinute);
  EXPECT_EQ(7, back.wSecond);
  EXPECT_EQ(0, back.wMilliseconds);
  plat::SYSTEMTIME refused = TimeToSystemTime(-1);
  EXPECT_EQ(1900, refused.wYear);
  EXPECT_EQ(1, refused.wMonth);
  EXPECT_EQ(0, refused.wDay);
}

TEST_F(TimeToolsTest, TextFormsOfTheLocalTime) {
  Fix(At(2026, 12, 9, 14, 5, 7, 42));
  EXPECT_STREQ("09.12.2026 14:05:07", GetLocalTimeText());
  EXPECT_STREQ("09.12.2026 14:05:07.042", GetLocalTimeTextMs());
  EXPECT_STREQ("09.12.2026 14:05:07", GetLocalTimeText2());
  EXPECT_STREQ("_20261209_140507", GetFileNameTimeStamp());

  char* first = GetLocalTimeText();
  char* second = GetLocalTimeText2();
  Fix(At(2027, 1, 2, 3, 4, 5, 6));
  EXPECT_EQ(first, GetLocalTimeText()) << "one buffer per tool";
  EXPECT_STREQ("02.01.2027 03:04:05", first) << "the next call replaces the text";
  EXPECT_STREQ("09.12.2026 14:05:07", second) << "the other tool's buffer keeps its text";
}

TEST_F(TimeToolsTest, FormatDuration) {
  struct Case {
    uint64_t milliseconds;
    const char* text;
  } const cases[] = {
      {0, "00:00:00.000"},
      {3723004, "01:02:03.004"},
      {90061001, "25:01:01.001"},
      {216000000, "60:00:00.000"},
      {UINT64_MAX, "5124095576030:25:51.615"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.text, FormatDuration(c.milliseconds)) << c.milliseconds;
}

TEST_F(TimeToolsTest, TheLocalTimeAsNumbers) {
  Fix(At(2026, 12, 9, 14, 5, 7, 42));
  EXPECT_EQ(2026001209140507042u, GetLocalTimeNumber());
  Fix(At(2026, 12, 9, 14, 5, 7, 43));
  EXPECT_EQ(2026001209140507043u, GetLocalTimeNumber()) << "later is larger";
  Fix(At(2026, 12, 2, 0, 0, 0, 0));
  EXPECT_EQ(172800000u, GetMonthMilliseconds());
  Fix(At(2026, 12, 1, 0, 0, 0, 0));
  EXPECT_EQ(86400000u, GetMonthMilliseconds()) << "the first moment of a month is one day";
}

}  // namespace
