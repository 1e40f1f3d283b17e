// Waiting in tests for what another thread or process brings about: polls with a generous bound.
#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

// Asks `condition` every few milliseconds until it holds or `limit` has passed; returns whether it held.
// The bound only ends a wait for something that never comes: a busy machine must not turn a test red.
template <typename Condition>
bool Eventually(Condition&& condition, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace testsupport
