// The one point where a thread sleeps, and where a thread that TerminateThread marked ends.
#pragma once

#include <chrono>
#include <optional>

namespace plat::detail {

// For the layer's sleeper: returns after `duration`, never when it is empty. A thread that
// TerminateThread marked before or during the wait ends here instead. Sets no error.
void SleepOrEnd(std::optional<std::chrono::nanoseconds> duration);

}  // namespace plat::detail
