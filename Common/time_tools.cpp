// The time tools: SYSTEMTIME and the runtime's 64-bit time value, the local time as text and as numbers.
#include "time_tools.h"

#include <cstdio>

namespace TOOLFUNC_time {
namespace {

plat::SYSTEMTIME Now() {
  plat::SYSTEMTIME now;
  plat::GetLocalTime(&now);
  return now;
}

// Every text is cut at its buffer's capacity, which fits any real date; a failed print leaves it empty.
void Finish(int written, char* buffer) {
  if (written < 0) buffer[0] = '\0';
}

// The first text form, which two tools write into buffers of their own.
char* WriteLocalTimeText(char* buffer, size_t size) {
  plat::SYSTEMTIME now = Now();
  Finish(std::snprintf(buffer, size, "%02d.%02d.%04d %02d:%02d:%02d", now.wDay, now.wMonth, now.wYear,
                       now.wHour, now.wMinute, now.wSecond),
         buffer);
  return buffer;
}

}  // namespace

int64_t MakeTime(plat::SYSTEMTIME time) {
  std::tm record{};
  record.tm_year = time.wYear - 1900;
  record.tm_mon = time.wMonth - 1;
  record.tm_mday = time.wDay;
  record.tm_hour = time.wHour;
  record.tm_min = time.wMinute;
  record.tm_sec = time.wSecond;
  record.tm_wday = time.wDayOfWeek;
  record.tm_yday = 0;
  record.tm_isdst = 0;  // standard time, also inside the daylight saving period
  return MakeTime64(&record);
}

int64_t MakeTime64(std::tm* record) { return plat::_mktime64(record); }

plat::SYSTEMTIME TimeToSystemTime(int64_t time) {
  std::tm record{};
  plat::_localtime64_s(&record, &time);
  plat::SYSTEMTIME result{};
  result.wYear = static_cast<plat::WORD>(record.tm_year + 1900);
  result.wMonth = static_cast<plat::WORD>(record.tm_mon + 1);
  result.wDayOfWeek = static_cast<plat::WORD>(record.tm_wday);
  result.wDay = static_cast<plat::WORD>(record.tm_mday);
  result.wHour = static_cast<plat::WORD>(record.tm_hour);
  result.wMinute = static_cast<plat::WORD>(record.tm_min);
  result.wSecond = static_cast<plat::WORD>(record.tm_sec);
  result.wMilliseconds = 0;
  return result;
}

char* GetLocalTimeText() {
  static char text[32];
  return WriteLocalTimeText(text, 31);
}

char* GetLocalTimeText2() {
  static char text[64];
  return WriteLocalTimeText(text, 63);
}

char* GetLocalTimeTextMs() {
  static char text[32];
  plat::SYSTEMTIME now = Now();
  Finish(std::snprintf(text, 31, "%02d.%02d.%04d %02d:%02d:%02d.%03d", now.wDay, now.wMonth, now.wYear,
                       now.wHour, now.wMinute, now.wSecond, now.wMilliseconds),
         text);
  return text;
}

char* GetFileNameTimeStamp() {
  static char text[64];
  plat::SYSTEMTIME now = Now();
  Finish(std::snprintf(text, 63, "_%04d%02d%02d_%02d%02d%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                       now.wMinute, now.wSecond),
         text);
  return text;
}

char* FormatDuration(uint64_t milliseconds) {
  static char text[64];
  const uint64_t seconds = milliseconds / 1000;
  const uint64_t minutes = seconds / 60;
  const uint64_t hours = minutes / 60;
  Finish(std::snprintf(text, 63, "%02llu:%02d:%02d.%03d", static_cast<unsigned long long>(hours),
                       static_cast<int>(minutes % 60), static_cast<int>(seconds % 60),
                       static_cast<int>(milliseconds % 1000)),
         text);
  return text;
}

uint64_t GetLocalTimeNumber() {
  plat::SYSTEMTIME now = Now();
  uint64_t value = now.wYear;
  value = value * 10000 + now.wMonth;
  value = value * 100 + now.wDay;
  value = value * 100 + now.wHour;
  value = value * 100 + now.wMinute;
  value = value * 100 + now.wSecond;
  return value * 1000 + now.wMilliseconds;
}

uint64_t GetMonthMilliseconds() {
  plat::SYSTEMTIME now = Now();
  uint64_t value = now.wDay;
  value = value * 24 + now.wHour;
  value = value * 60 + now.wMinute;
  value = value * 60 + now.wSecond;
  return value * 1000 + now.wMilliseconds;
}

}  // namespace TOOLFUNC_time
