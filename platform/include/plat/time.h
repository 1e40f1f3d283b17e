// Sleeping through one time-scaled sleeper, and the tick count.
#pragma once

#include <chrono>

#include "plat/types.h"

namespace plat {

// Suspends the calling thread for `milliseconds` times TimeScale(); sets no error. 0, or a factor of 0,
// gives up the rest of the time slice instead. INFINITE never returns, whatever the factor. A thread
// that TerminateThread marked ends here instead of sleeping.
void Sleep(DWORD milliseconds);

// The factor every sleep and timed wait is scaled by: VELCORA_TIME_SCALE, read once on first use.
double TimeScale();

// `milliseconds` times TimeScale(), for the layer's timed waits; INFINITE is scaled like any other
// value, so callers that wait without limit test for it first.
std::chrono::nanoseconds ScaledDuration(DWORD milliseconds);

// The factor that `text` names: a non-negative decimal number ("0.01", "2", "1.5"); 1 for null, empty,
// negative or anything else.
double ParseTimeScale(const char* text);

// Milliseconds since an arbitrary start on the monotonic clock, wrapping at 32 bits; never scaled.
DWORD GetTickCount();

}  // namespace plat
