// The service's memory: its peak with many lines and calls, and its resident size over a long steady run.
#pragma once

#include <string>

namespace bench {

struct MemoryPlan {
  int lines = 64;
  int calls = 1000;
  int probes = 100000;
};

struct MemoryResult {
  bool ran = false;         // false when the service did not start or a line did not open
  long callsConnected = 0;  // of plan.calls
  long peakKb = 0;          // VmHWM with every line open and every call connected
  long rssWithCallsKb = 0;  // VmRSS at the same moment
  long rssBeforeProbesKb = 0;
  long rssAfterProbesKb = 0;
  long wrongProbeAnswers = 0;
};

// Starts the service `program` at `logLevel` (as ServiceRun takes them) with a provider of `plan.lines`
// lines, opens them all, rings `plan.calls` calls on the first, then sends `plan.probes` probe commands
// one at a time.
MemoryResult MeasureMemory(const std::string& program, const std::string& logLevel, const MemoryPlan& plan);

}  // namespace bench
