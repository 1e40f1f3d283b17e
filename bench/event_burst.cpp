// Counting and ordering the connected-state lines of a provider burst.
#include "event_burst.h"

#include <chrono>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "support/sim_control.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// The call and mode of "LINE_CALLSTATE 1 <call> 256 <mode> 4", the connected state on client line 1.
bool ConnectedEvent(std::string_view line, std::string_view* call, unsigned long* mode) {
  constexpr std::string_view kStart = "LINE_CALLSTATE 1 ";
  constexpr std::string_view kState = " 256 ";
  constexpr std::string_view kEnd = " 4";
  if (line.substr(0, kStart.size()) != kStart) return false;
  line.remove_prefix(kStart.size());
  size_t state = line.find(kState);
  if (state == std::string_view::npos || line.size() < kEnd.size() ||
      line.substr(line.size() - kEnd.size()) != kEnd)
    return false;
  *call = line.substr(0, state);
  std::string_view digits = line.substr(state + kState.size());
  digits.remove_suffix(kEnd.size());
  if (digits.empty()) return false;
  *mode = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    *mode = *mode * 10 + static_cast<unsigned long>(c - '0');
  }
  return true;
}

}  // namespace

BurstResult MeasureBurst(ServiceRun& service, const BurstPlan& plan) {
  BurstResult result;
  result.expected = static_cast<long>(plan.calls) * plan.events;
  testsupport::SimControl control;
  if (!control.Connect(service.ControlSocket())) {
    result.controlAnswer = "<no control socket>";
    return result;
  }
  const std::string command = "burst 0 " + std::to_string(plan.calls) + " " + std::to_string(plan.events) +
                              " " + std::to_string(plan.threads);
  Clock::time_point sent = Clock::now();
  // The answer comes only when every event is out, so it is waited for beside the reading.
  std::thread asker([&] { result.controlAnswer = control.Ask(command); });

  std::unordered_map<std::string, unsigned long> lastMode;
  Clock::time_point lastEvent = sent;
  while (result.received < result.expected) {
    std::string line = service.client().NextLine(std::chrono::seconds(10));
    if (line == "<none>" || line == "<closed>") break;
    std::string_view call;
    unsigned long mode;
    if (!ConnectedEvent(line, &call, &mode)) continue;
    lastEvent = Clock::now();
    unsigned long& last = lastMode[std::string(call)];
    if (mode != last + 1) ++result.outOfOrder;
    last = mode;
    ++result.received;
  }
  asker.join();
  result.callsSeen = static_cast<long>(lastMode.size());
  result.seconds = std::chrono::duration<double>(lastEvent - sent).count();
  return result;
}

}  // namespace bench
