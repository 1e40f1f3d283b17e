// Sleeping through one time-scaled sleeper, and the tick count.
#include "plat/time.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "plat/testing/time.h"
#include "sleep_point.h"

namespace plat {
namespace {

std::atomic<double>& Factor() {
  static std::atomic<double> factor{ParseTimeScale(std::getenv("VELCORA_TIME_SCALE"))};
  return factor;
}

// Sleeping threads take a reference to the observer, so replacing it never frees one still running.
// Leaked on purpose: detached threads may still sleep while the process runs its exit handlers.
struct ObserverSlot {
  std::mutex mutex;
  std::shared_ptr<const SleepObserver> observer;
};

ObserverSlot& TheObserverSlot() {
  static ObserverSlot* slot = new ObserverSlot;
  return *slot;
}

void NotifyObserver(DWORD requestedMilliseconds) {
  std::shared_ptr<const SleepObserver> observer;
  {
    ObserverSlot& slot = TheObserverSlot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    observer = slot.observer;
  }
  if (observer) (*observer)(requestedMilliseconds);
}

}  // namespace

double ParseTimeScale(const char* text) {
  constexpr double kDefault = 1.0;
  if (text == nullptr || *text == '\0') return kDefault;
  const char* end = text + std::strlen(text);
  double value = 0.0;
  auto [stop, error] = std::from_chars(text, end, value, std::chars_format::fixed);
  if (error != std::errc() || stop != end) return kDefault;
  if (std::signbit(value) || !std::isfinite(value)) return kDefault;
  return value;
}

double TimeScale() { return Factor().load(); }

void SetTimeScaleForTesting(double factor) { Factor().store(factor); }

std::chrono::nanoseconds ScaledDuration(DWORD milliseconds) {
  // About 31 years: leaves room for a wait to add the clock's current time without overflowing.
  constexpr double kLongestNanoseconds = 1e18;
  const double nanoseconds = static_cast<double>(milliseconds) * TimeScale() * 1e6;
  return std::chrono::nanoseconds(std::llround(std::min(nanoseconds, kLongestNanoseconds)));
}

// A thread that TerminateThread marked ends in here, even when it only gives up its time slice.
void Sleep(DWORD milliseconds) {
  NotifyObserver(milliseconds);
  if (milliseconds == INFINITE) {
    detail::SleepOrEnd(std::nullopt);
    return;
  }
  const std::chrono::nanoseconds duration = ScaledDuration(milliseconds);
  detail::SleepOrEnd(duration);
  if (duration.count() <= 0) std::this_thread::yield();
}

void SetSleepObserver(SleepObserver observer) {
  std::shared_ptr<const SleepObserver> replacement;
  if (observer) replacement = std::make_shared<const SleepObserver>(std::move(observer));
  ObserverSlot& slot = TheObserverSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.observer.swap(replacement);
}

DWORD GetTickCount() {
  const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

}  // namespace plat
