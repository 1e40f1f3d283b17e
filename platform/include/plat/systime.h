// The local time and file times.
#pragma once

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
// call (TZ is read again each time). Sets no last error.
void GetLocalTime(SYSTEMTIME* time);

}  // namespace plat
