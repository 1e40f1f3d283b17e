// The local time, the runtime library's 64-bit time conversions and file times.
#pragma once

#include <cstdint>
#include <ctime>

#include "plat/types.h"

namespace plat {

// A calendar time broken into its fields; the day of the week counts from Sunday (0).
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// A point in time as 100-nanosecond intervals since 1601-01-01 00:00 UTC, split into two halves.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// Fills `time` with the current local time, to the millisecond, in the time zone in force at the
// call (TZ is read again each time), or with the time a test fixed. Sets no last error.
void GetLocalTime(SYSTEMTIME* time);

// The runtime library's conversions between local broken-down time and seconds since 1970-01-01 00:00 UTC,
// in the time zone in force at the call. _mktime64 normalises the record in place and gives -1 for a time
// it cannot represent; _localtime64_s gives 0, or EINVAL (the record cleared) for a null argument or a
// negative time.
int64_t _mktime64(std::tm* record);
int _localtime64_s(std::tm* record, const int64_t* time);

}  // namespace plat
