// The command round trip: one command at a time against the service and against the loopback floors.
#pragma once

#include <string>

#include "service_run.h"

namespace bench {

struct Latency {
  double medianMicros = 0;
  double p99Micros = 0;
  long samples = 0;  // round trips timed
};

struct RoundTripResult {
  std::string command;
  std::string answer;  // what the service answered the first time; the floor answers the same bytes
  Latency service;
  Latency floor;         // the separate-process floor; all 0 when it could not be reached
  Latency threadFloor;   // the in-process floor, for reference; all 0 when it could not be reached
  int wrongAnswers = 0;  // answers of the service that differed from the first
};

struct RoundTripPlan {
  int warmup = 2000;
  int count = 20000;
  // The trips of one command, service and floor with the warm-up, end after this long, so that a path
  // with a stall still ends in reasonable time.
  int seriesSeconds = 60;
};

// Sends `command` (CR LF appended) and waits for its answer of `answerLines` lines, `plan.count` times
// (or as many as fit in `plan.seriesSeconds`) after `plan.warmup`, on the service's client and, taking
// turns with it, on a client of the echo floor `floorProgram` (velcora_echo_floor, a process of its own)
// and on one of an EchoServer in this process, both giving the same answer.
RoundTripResult MeasureRoundTrip(ServiceRun& service, const std::string& floorProgram,
                                 const std::string& command, int answerLines, const RoundTripPlan& plan);

}  // namespace bench
