// The event throughput: a burst of call state events from the provider's threads, as the client sees it.
#pragma once

#include <string>

#include "service_run.h"

namespace bench {

struct BurstPlan {
  int calls = 100;
  int events = 2000;  // per call
  int threads = 4;
};

struct BurstResult {
  std::string controlAnswer;  // the provider's answer to the burst command
  long expected = 0;          // calls * events
  long received = 0;          // connected-state lines that arrived
  long outOfOrder = 0;        // lines whose mode was not the one after the call's last
  long callsSeen = 0;
  double seconds = 0;  // from the command's send to the last line received
  double EventsPerSecond() const { return seconds > 0 ? static_cast<double>(received) / seconds : 0; }
  long Lost() const { return expected - received; }
};

// Runs `burst 0 <calls> <events> <threads>` on the provider's control socket while reading the client:
// the line of device 0 must be open under client line 1. Reading ends with the last expected event, or
// when nothing comes for 10 s.
BurstResult MeasureBurst(ServiceRun& service, const BurstPlan& plan);

}  // namespace bench
