// Local time and file times.
#include "plat/systime.h"

#include <time.h>

namespace plat {

void GetLocalTime(SYSTEMTIME* time) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  // localtime_r alone keeps the zone it first saw; a changed zone must show at the next call, as it
  // does on Windows.
  tzset();
  tm local;
  localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

}  // namespace plat
