// Peak and steady resident memory of the service program.
#include "memory_use.h"

#include "event_burst.h"
#include "proc_info.h"
#include "service_run.h"

namespace bench {
namespace {

// Lines "Line 1" to "Line <count>" with the addresses 201 and on.
std::string ProviderWithLines(int count) {
  std::string config;
  for (int i = 1; i <= count; ++i)
    config += "line Line " + std::to_string(i) + " " + std::to_string(200 + i) + "\n";
  return config;
}

// Sends the probe `count` times, each after the last one's answer; the number of wrong answers.
long SendProbes(testsupport::TelvaneClient& client, int count) {
  long wrong = 0;
  for (int i = 0; i < count; ++i) {
    client.Send("PING 1\r\n");
    if (client.Receive() != "LINE_REPLY 1 0\r\n") ++wrong;
  }
  return wrong;
}

}  // namespace

MemoryResult MeasureMemory(const std::string& program, const std::string& logLevel, const MemoryPlan& plan) {
  MemoryResult result;
  ServiceRun service(program, logLevel, ProviderWithLines(plan.lines));
  if (!service.Start()) return result;
  for (int line = 1; line <= plan.lines; ++line)
    if (!service.OpenLine(std::to_string(200 + line), line)) return result;
  BurstPlan calls;
  calls.calls = plan.calls;
  calls.events = 1;
  calls.threads = 1;
  result.callsConnected = MeasureBurst(service, calls).received;
  result.peakKb = StatusKilobytes(service.pid(), "VmHWM");
  result.rssWithCallsKb = StatusKilobytes(service.pid(), "VmRSS");

  // A first round brings every buffer of the steady path to its size; only the growth after it counts.
  const int settling = plan.probes / 10;
  result.wrongProbeAnswers = SendProbes(service.client(), settling);
  result.rssBeforeProbesKb = StatusKilobytes(service.pid(), "VmRSS");
  result.wrongProbeAnswers += SendProbes(service.client(), plan.probes);
  result.rssAfterProbesKb = StatusKilobytes(service.pid(), "VmRSS");
  result.ran = true;
  return result;
}

}  // namespace bench
