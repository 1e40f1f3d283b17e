// The time tools: SYSTEMTIME and the runtime's 64-bit time value, the local time as text and as numbers.
#pragma once

#include <cstdint>
#include <ctime>

#include "plat/systime.h"

namespace TOOLFUNC_time {

// Seconds since 1970 of `time` read as local standard time; its milliseconds do not count.
int64_t MakeTime(plat::SYSTEMTIME time);
// _mktime64 of the record, which it normalises in place.
int64_t MakeTime64(std::tm* record);
// The local time of `time` with milliseconds 0; the fields of a cleared record (year 1900, month 1, the
// rest 0) for a time the runtime refuses.
plat::SYSTEMTIME TimeToSystemTime(int64_t time);

// The current local time as "DD.MM.YYYY hh:mm:ss", "DD.MM.YYYY hh:mm:ss.mmm", again the first form in a
// buffer of its own, and "_YYYYMMDD_hhmmss"; each in a buffer the next call of the same tool overwrites.
char* GetLocalTimeText();
char* GetLocalTimeTextMs();
char* GetLocalTimeText2();
char* GetFileNameTimeStamp();
// `milliseconds` as "hh:mm:ss.mmm", the hours whole however many; a buffer the next call overwrites.
char* FormatDuration(uint64_t milliseconds);

// The local time as the digits YYYY00MMDDhhmmssmmm: later times give larger numbers.
uint64_t GetLocalTimeNumber();
// Milliseconds since the start of day 0 of the month, so the first moment of a month is one day.
uint64_t GetMonthMilliseconds();

}  // namespace TOOLFUNC_time
