// Test seams of sleeping: the time scale in force and an observer of every sleep.
#pragma once

#include <functional>

#include "plat/time.h"

namespace plat {

// Replaces the factor in force (must not be negative) for the rest of the process.
void SetTimeScaleForTesting(double factor);

// Sees the requested (unscaled) duration of every Sleep, on the sleeping thread, before it sleeps. Set
// from any thread; nullptr removes it.
using SleepObserver = std::function<void(DWORD requestedMilliseconds)>;
void SetSleepObserver(SleepObserver observer);

}  // namespace plat
