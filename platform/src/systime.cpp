// Local time and file times.
#include "plat/systime.h"

#include <time.h>

#include <cerrno>
#include <mutex>
#include <optional>

#include "plat/testing/systime.h"

namespace plat {
namespace {

std::mutex g_fixedMutex;
std::optional<SYSTEMTIME> g_fixed;

}  // namespace

void SetLocalTimeForTesting(const SYSTEMTIME* fixed) {
  std::lock_guard<std::mutex> lock(g_fixedMutex);
  g_fixed = fixed ? std::optional<SYSTEMTIME>(*fixed) : std::nullopt;
}

int64_t _mktime64(std::tm* record) {
  tzset();
  return static_cast<int64_t>(mktime(record));
}

int _localtime64_s(std::tm* record, const int64_t* time) {
  if (record == nullptr) return EINVAL;
  *record = std::tm{};
  if (time == nullptr || *time < 0) return EINVAL;
  tzset();
  const time_t seconds = static_cast<time_t>(*time);
  return localtime_r(&seconds, record) != nullptr ? 0 : EINVAL;
}

void GetLocalTime(SYSTEMTIME* time) {
  {
    std::lock_guard<std::mutex> lock(g_fixedMutex);
    if (g_fixed) {
      *time = *g_fixed;
      return;
    }
  }
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
