// velcora_bench: latency, event throughput and memory of the service program's protocol path.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "event_burst.h"
#include "memory_use.h"
#include "plat/winsock.h"
#include "proc_info.h"
#include "report.h"
#include "round_trip.h"
#include "service_run.h"
#include "support/temp_dir.h"

namespace {

using namespace bench;

const char kUsage[] =
    "usage: velcora_bench [--count N] [--warmup N] [--series-seconds N] [--calls N] [--events N]\n"
    "                     [--threads N] [--burst-repeats N] [--lines N] [--memory-calls N] [--probes N]\n"
    "                     [--levels WARN,INFO] [--only roundtrip|burst|memory] [--results FILE]\n";

constexpr double kProbeTarget = 1.5;    // times the floor
constexpr double kDevCapsTarget = 3.0;  // times the floor
constexpr double kEventsTarget = 100000;
constexpr long kSteadyGrowthKb = 64;

struct Options {
  RoundTripPlan roundTrip;
  BurstPlan burst;
  int burstRepeats = 3;
  MemoryPlan memory;
  std::vector<std::string> levels{"WARN", "INFO"};
  std::string only;  // empty: every part
  std::string results;
};

bool Parse(int argc, char** argv, Options* options) {
  std::map<std::string, int*> numbers = {
      {"--count", &options->roundTrip.count},
      {"--warmup", &options->roundTrip.warmup},
      {"--series-seconds", &options->roundTrip.seriesSeconds},
      {"--calls", &options->burst.calls},
      {"--events", &options->burst.events},
      {"--threads", &options->burst.threads},
      {"--burst-repeats", &options->burstRepeats},
      {"--lines", &options->memory.lines},
      {"--memory-calls", &options->memory.calls},
      {"--probes", &options->memory.probes},
  };
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i], value = argv[i + 1];
    if (numbers.count(name) != 0) {
      *numbers[name] = std::atoi(value.c_str());
      if (*numbers[name] <= 0 && name != "--warmup") return false;
    } else if (name == "--levels") {
      options->levels.clear();
      std::istringstream list(value);
      for (std::string level; std::getline(list, level, ',');) options->levels.push_back(level);
    } else if (name == "--only" && (value == "roundtrip" || value == "burst" || value == "memory")) {
      options->only = value;
    } else if (name == "--results") {
      options->results = value;
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

std::string Ratio(double value, double floor) { return floor > 0 ? Fixed(value / floor, 2) + " x" : "-"; }

void AddRoundTripRows(const RoundTripResult& trip, const std::string& name, double target,
                      std::vector<Row>* rows) {
  const std::string limit = "<= " + Fixed(target, 1) + " x floor";
  const Latency& s = trip.service;
  const Latency& f = trip.floor;
  rows->push_back({name + " round trip, median (us)",
                   Fixed(s.medianMicros, 1) + " (floor " + Fixed(f.medianMicros, 1) + ", " +
                       Ratio(s.medianMicros, f.medianMicros) + "; " + std::to_string(s.samples) + " / " +
                       std::to_string(f.samples) + " trips)",
                   limit, Met(f.medianMicros > 0 && s.medianMicros <= target * f.medianMicros)});
  rows->push_back({name + " round trip, 99th percentile (us)",
                   Fixed(s.p99Micros, 1) + " (floor " + Fixed(f.p99Micros, 1) + ", " +
                       Ratio(s.p99Micros, f.p99Micros) + ")",
                   limit, Met(f.p99Micros > 0 && s.p99Micros <= target * f.p99Micros)});
  if (trip.wrongAnswers != 0)
    rows->push_back({name + " answers that differed", std::to_string(trip.wrongAnswers), "0", "no"});
}

// The burst `options.burstRepeats` times on the open line: the median rate, the range, and every loss.
void AddBurstRows(ServiceRun& service, const Options& options, std::vector<Row>* rows) {
  const BurstPlan& plan = options.burst;
  std::vector<BurstResult> bursts;
  for (int i = 0; i < options.burstRepeats; ++i) bursts.push_back(MeasureBurst(service, plan));
  std::sort(bursts.begin(), bursts.end(), [](const BurstResult& a, const BurstResult& b) {
    return a.EventsPerSecond() < b.EventsPerSecond();
  });
  const BurstResult& median = bursts[bursts.size() / 2];
  const std::string shape = std::to_string(plan.calls) + " calls x " + std::to_string(plan.events) +
                            " events, " + std::to_string(plan.threads) + " threads; median of " +
                            std::to_string(bursts.size());
  rows->push_back({"burst events per second (" + shape + ")",
                   Fixed(median.EventsPerSecond(), 0) + " (" + std::to_string(median.received) + " in " +
                       Fixed(median.seconds, 3) + " s; range " + Fixed(bursts.front().EventsPerSecond(), 0) +
                       " to " + Fixed(bursts.back().EventsPerSecond(), 0) + ")",
                   ">= " + Fixed(kEventsTarget, 0), Met(median.EventsPerSecond() >= kEventsTarget)});
  long lost = 0, outOfOrder = 0;
  bool whole = true;
  for (const BurstResult& burst : bursts) {
    lost += burst.Lost();
    outOfOrder += burst.outOfOrder;
    whole = whole && burst.callsSeen == plan.calls &&
            burst.controlAnswer == "OK " + std::to_string(burst.expected);
  }
  rows->push_back({"burst events lost / out of order, all bursts",
                   std::to_string(lost) + " / " + std::to_string(outOfOrder) +
                       " (every call seen, provider " + "answered OK " + std::to_string(median.expected) +
                       ": " + (whole ? "yes" : "no") + ")",
                   "0 / 0", Met(lost == 0 && outOfOrder == 0 && whole)});
  // The provider's threads can outrun the main thread, whose queue then holds the events: the peak shows
  // how far that went.
  rows->push_back({"peak resident memory after the bursts, VmHWM",
                   std::to_string(StatusKilobytes(service.pid(), "VmHWM")) + " kB", "reported", "-"});
}

// The round trips and the burst, on one run of the service; false when the service could not be used.
bool RunProtocolParts(const std::string& level, const Options& options, std::vector<Row>* rows) {
  ServiceRun service(level);
  if (!service.Start()) return false;
  if (options.only.empty() || options.only == "roundtrip") {
    AddRoundTripRows(MeasureRoundTrip(service, "PING 1", 1, options.roundTrip), "probe \"PING 1\"",
                     kProbeTarget, rows);
    AddRoundTripRows(MeasureRoundTrip(service, "TSPI_lineGetDevCaps 1 201", 2, options.roundTrip),
                     "\"TSPI_lineGetDevCaps 1 201\"", kDevCapsTarget, rows);
  }
  if (options.only.empty() || options.only == "burst") {
    if (!service.OpenLine("201", 1)) {
      std::fprintf(stderr, "line 201 did not open\n");
      return false;
    }
    AddBurstRows(service, options, rows);
  }
  return true;
}

bool RunMemoryPart(const std::string& level, const Options& options, std::vector<Row>* rows) {
  const MemoryPlan& plan = options.memory;
  MemoryResult memory = MeasureMemory(level, plan);
  if (!memory.ran) return false;
  rows->push_back(
      {"peak resident memory, VmHWM (" + std::to_string(plan.lines) + " lines open, " +
           std::to_string(memory.callsConnected) + " of " + std::to_string(plan.calls) + " calls)",
       std::to_string(memory.peakKb) + " kB (VmRSS " + std::to_string(memory.rssWithCallsKb) + " kB)",
       "reported", "-"});
  long growth = memory.rssAfterProbesKb - memory.rssBeforeProbesKb;
  rows->push_back({"VmRSS over " + std::to_string(plan.probes) + " probes",
                   (growth >= 0 ? "+" : "") + std::to_string(growth) + " kB (" +
                       std::to_string(memory.rssBeforeProbesKb) + " -> " +
                       std::to_string(memory.rssAfterProbesKb) + " kB, " +
                       std::to_string(memory.wrongProbeAnswers) + " wrong answers)",
                   "grows <= " + std::to_string(kSteadyGrowthKb) + " kB",
                   Met(growth <= kSteadyGrowthKb && memory.wrongProbeAnswers == 0)});
  return true;
}

std::string SettingsText(const Options& options) {
  const Options& o = options;
  std::ostringstream text;
  text << "- Service: `VELCORA.EXE` of the same build in application mode, provider `SIMTSP.TSP`, "
          "loginPort=0, "
          "a fresh machine directory per run; log4cxx root level ";
  for (size_t i = 0; i < o.levels.size(); ++i) text << (i == 0 ? "" : ", ") << o.levels[i];
  text << " (one run each), the shipped file layout (`%d{yyyy-MM-dd HH:mm:ss.SSS} [%t] %-5p %x%m%n`) to a "
          "FileAppender in the temporary directory, no console\n";
  text << "- Round trip: " << o.roundTrip.count << " commands one at a time after " << o.roundTrip.warmup
       << " of warm-up, on the service and on the floor by turns in blocks of 100, at most "
       << o.roundTrip.seriesSeconds
       << " s per command (the trips timed are in the table); client TCP_NODELAY\n";
  text << "- Burst: `burst 0 " << o.burst.calls << " " << o.burst.events << " " << o.burst.threads
       << "` on line 201 opened as client line 1, " << o.burstRepeats << " times on the same run\n";
  text << "- Memory: " << o.memory.lines << " lines, all opened; `burst 0 " << o.memory.calls
       << " 1 1` on the first; then " << o.memory.probes / 10 << " probes to settle and " << o.memory.probes
       << " measured\n";
  return text.str();
}

const char kNotes[] =
    "## How it is measured\n\n"
    "- The floor: a blocking thread in the bench with a loopback socket (TCP_NODELAY on both ends, the "
    "layer's sockets like the service) that answers each request line at once, in one send, with the bytes "
    "the service answered to the same command. The same client sends the same command text and waits for "
    "the same number of answer lines. Service and floor take turns in blocks of 100 trips, so that both "
    "see the machine in the same state.\n"
    "- The port is the one the service's process listens on (read from /proc, since the log does not show "
    "it at WARN); the first probe's answer shows that the service is ready.\n"
    "- Burst: events per second are the `LINE_CALLSTATE 1 <call> 256 <mode> 4` lines received, divided by "
    "the time from the control command's send to the last of them; each call's modes must come as "
    "1, 2, ... with none lost.\n"
    "- Memory: VmHWM and VmRSS from /proc/<pid>/status of the service process.\n";

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  plat::WSADATA data;
  plat::WSAStartup(plat::MAKEWORD(2, 0), &data);

  std::vector<Section> sections;
  bool ran = true;
  for (const std::string& level : options.levels) {
    Section section{"log level " + level, {}};
    if (options.only != "memory") ran = RunProtocolParts(level, options, &section.rows) && ran;
    if (options.only.empty() || options.only == "memory")
      ran = RunMemoryPart(level, options, &section.rows) && ran;
    sections.push_back(section);
  }
  std::fputs(Tables(sections).c_str(), stdout);
  if (!options.results.empty())
    testsupport::WriteFile(options.results, ResultsDocument(SettingsText(options), sections, kNotes));
  if (!ran) std::fputs("some parts could not be measured\n", stderr);
  return ran ? 0 : 1;
}
