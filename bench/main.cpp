// velcora_bench: latency, event throughput and memory of the service program's protocol path.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
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
    "                     [--levels WARN,shipped,INFO] [--only roundtrip|burst|memory] [--results FILE]\n"
    "                     [--service PATH]\n"
    "  --levels   one run per entry: a log4cxx root level for the file alone, or \"shipped\" for the\n"
    "             project's conf/log4cxx.xml as it stands (default WARN,shipped)\n"
    "  --service  the VELCORA.EXE to measure, with the SIMTSP.TSP beside it (default: the one of this\n"
    "             build); e.g. an older build's for the figures before a change:\n"
    "             velcora_bench --service OLD_BUILD/bin/VELCORA.EXE --results before.md\n";

// What a run is held to, by its entry in --levels; the other levels have latency and rate reported only.
struct Targets {
  double probeMedian;      // at most, times the separate-process floor's median
  double devCapsMedian;    // at most, times the separate-process floor's median
  double eventsPerSecond;  // the bursts' median, at least
};
const std::map<std::string, Targets> kTargets = {
    {"WARN", {1.2, 1.2, 100000}},
    {kShippedLevel, {1.5, 1.2, 60000}},
};
// At every level: no burst event lost or out of order, and VmRSS over the probes grows at most this.
constexpr long kSteadyGrowthKb = 64;

struct Options {
  std::string service = VELCORA_EXE;
  RoundTripPlan roundTrip;
  BurstPlan burst;
  int burstRepeats = 3;
  MemoryPlan memory;
  std::vector<std::string> levels{"WARN", kShippedLevel};
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
    } else if (name == "--service") {
      options->service = std::filesystem::absolute(value).string();
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

std::string Ratio(double value, double floor) { return floor > 0 ? Fixed(value / floor, 2) + " x" : "-"; }

// The target and met? columns of a figure: `targetText` and whether `met`, or "reported" and "-" for a
// level without that target (a `limit` of 0).
std::pair<std::string, std::string> Judged(const std::string& targetText, double limit, bool met) {
  if (limit <= 0) return {"reported", "-"};
  return {targetText, Met(met)};
}

// `target`: the most the median may be, in times the separate-process floor's; 0 for none.
void AddRoundTripRows(const RoundTripResult& trip, const std::string& name, double target,
                      std::vector<Row>* rows) {
  const Latency& s = trip.service;
  const Latency& f = trip.floor;
  const Latency& t = trip.threadFloor;
  auto median = Judged("<= " + Fixed(target, 1) + " x floor", target,
                       f.medianMicros > 0 && s.medianMicros <= target * f.medianMicros);
  rows->push_back({name + " round trip, median (us)",
                   Fixed(s.medianMicros, 1) + " (floor " + Fixed(f.medianMicros, 1) + ", " +
                       Ratio(s.medianMicros, f.medianMicros) + "; " + std::to_string(s.samples) + " / " +
                       std::to_string(f.samples) + " trips)",
                   median.first, median.second});
  rows->push_back({name + " round trip, 99th percentile (us)",
                   Fixed(s.p99Micros, 1) + " (floor " + Fixed(f.p99Micros, 1) + ", " +
                       Ratio(s.p99Micros, f.p99Micros) + ")",
                   "reported", "-"});
  rows->push_back({name + " on the in-process floor, median / 99th percentile (us)",
                   Fixed(t.medianMicros, 1) + " / " + Fixed(t.p99Micros, 1) + " (the service's median is " +
                       Ratio(s.medianMicros, t.medianMicros) + " this; " + std::to_string(t.samples) +
                       " trips)",
                   "reference", "-"});
  if (trip.wrongAnswers != 0)
    rows->push_back({name + " answers that differed", std::to_string(trip.wrongAnswers), "0", "no"});
}

// The burst `options.burstRepeats` times on the open line: the median rate, the range, and every loss.
// `target`: the least events per second of the median burst; 0 for none.
void AddBurstRows(ServiceRun& service, const Options& options, double target, std::vector<Row>* rows) {
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
  auto rate = Judged(">= " + Fixed(target, 0), target, median.EventsPerSecond() >= target);
  rows->push_back({"burst events per second (" + shape + ")",
                   Fixed(median.EventsPerSecond(), 0) + " (" + std::to_string(median.received) + " in " +
                       Fixed(median.seconds, 3) + " s; range " + Fixed(bursts.front().EventsPerSecond(), 0) +
                       " to " + Fixed(bursts.back().EventsPerSecond(), 0) + ")",
                   rate.first, rate.second});
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
  const auto found = kTargets.find(level);
  const Targets targets = found != kTargets.end() ? found->second : Targets{0, 0, 0};
  ServiceRun service(options.service, level);
  if (!service.Start()) return false;
  if (options.only.empty() || options.only == "roundtrip") {
    AddRoundTripRows(MeasureRoundTrip(service, ECHO_FLOOR_EXE, "PING 1", 1, options.roundTrip),
                     "probe \"PING 1\"", targets.probeMedian, rows);
    AddRoundTripRows(
        MeasureRoundTrip(service, ECHO_FLOOR_EXE, "TSPI_lineGetDevCaps 1 201", 2, options.roundTrip),
        "\"TSPI_lineGetDevCaps 1 201\"", targets.devCapsMedian, rows);
  }
  if (options.only.empty() || options.only == "burst") {
    if (!service.OpenLine("201", 1)) {
      std::fprintf(stderr, "line 201 did not open\n");
      return false;
    }
    AddBurstRows(service, options, targets.eventsPerSecond, rows);
  }
  return true;
}

bool RunMemoryPart(const std::string& level, const Options& options, std::vector<Row>* rows) {
  const MemoryPlan& plan = options.memory;
  MemoryResult memory = MeasureMemory(options.service, level, plan);
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

// The heading of a level's table.
std::string LevelHeading(const std::string& level) {
  return level == kShippedLevel ? "shipped log configuration (conf/log4cxx.xml)" : "log level " + level;
}

std::string SettingsText(const Options& options) {
  const Options& o = options;
  std::ostringstream text;
  text << "- Service: "
       << (o.service == VELCORA_EXE ? std::string("`VELCORA.EXE` of the same build")
                                    : "`" + o.service + "` (given with --service)")
       << " in application mode, provider the `SIMTSP.TSP` beside it, loginPort=0, a fresh machine "
          "directory and temporary directory per run, which is its working directory and takes its "
          "console output; one run for each of:\n";
  for (const std::string& level : o.levels) {
    if (level == kShippedLevel)
      text << "  - shipped: the project's `conf/log4cxx.xml` as it stands when the run starts, unchanged "
              "(its files in the working directory)\n";
    else
      text << "  - " << level << ": log4cxx root level " << level
           << ", the shipped file layout (`%d{yyyy-MM-dd HH:mm:ss.SSS} [%t] %-5p %x%m%n`) to a FileAppender "
              "in the temporary directory, no console\n";
  }
  text << "- Round trip: " << o.roundTrip.count << " commands one at a time after " << o.roundTrip.warmup
       << " of warm-up, on the service, the separate-process floor and the in-process floor by turns in "
          "blocks of 100, at most "
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
    "- The floor: `velcora_echo_floor`, a process of its own like the service, started by the bench for "
    "each command and ended after it: plain blocking POSIX sockets on loopback, TCP_NODELAY on both ends, "
    "each request line answered at once, in one send, with the bytes the service answered to the same "
    "command. So a trip to the floor crosses into another process and back as a trip to the service does; "
    "every ratio is against it. The same client sends the same command text and waits for the same number "
    "of answer lines.\n"
    "- The in-process floor, for reference: the same answers from a blocking thread in the bench on the "
    "layer's sockets; the difference to the floor is what the wake-up of another process costs.\n"
    "- Service, floor and in-process floor take turns in blocks of 100 trips, so that all see the machine "
    "in the same state.\n"
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
    Section section{LevelHeading(level), {}};
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
