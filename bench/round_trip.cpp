// Timing command round trips and their loopback floors.
#include "round_trip.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "echo_floor_process.h"
#include "echo_server.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;
using testsupport::TelvaneClient;

Latency Summarise(std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  Latency latency;
  if (micros.empty()) return latency;
  latency.samples = static_cast<long>(micros.size());
  latency.medianMicros = micros[micros.size() / 2];
  size_t p99 = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(micros.size())));
  latency.p99Micros = micros[std::max<size_t>(p99, 1) - 1];
  return latency;
}

// The round trips of one client, each waiting for the whole answer.
class Series {
 public:
  Series(TelvaneClient& client, const std::string& line, int answerLines, const std::string& expected)
      : m_client(client), m_line(line), m_answerLines(answerLines), m_expected(expected) {}

  // Makes `trips` round trips and keeps their times when `timed`.
  void Run(int trips, bool timed) {
    for (int i = 0; i < trips; ++i) {
      Clock::time_point sent = Clock::now();
      m_client.Send(m_line);
      std::string answer = m_client.Receive(m_answerLines);
      Clock::time_point answered = Clock::now();
      if (answer != m_expected) ++m_wrongAnswers;
      if (timed) m_micros.push_back(std::chrono::duration<double, std::micro>(answered - sent).count());
    }
  }
  int timed() const { return static_cast<int>(m_micros.size()); }
  int wrongAnswers() const { return m_wrongAnswers; }
  Latency Summary() const { return Summarise(m_micros); }

 private:
  TelvaneClient& m_client;
  const std::string& m_line;
  const int m_answerLines;
  const std::string& m_expected;
  std::vector<double> m_micros;
  int m_wrongAnswers = 0;
};

// Service and floors take turns in blocks this long, so that all see the machine in the same state.
constexpr int kBlock = 100;

}  // namespace

RoundTripResult MeasureRoundTrip(ServiceRun& service, const std::string& floorProgram,
                                 const std::string& command, int answerLines, const RoundTripPlan& plan) {
  RoundTripResult result;
  result.command = command;
  const std::string line = command + "\r\n";
  service.client().Send(line);
  result.answer = service.client().Receive(answerLines);

  EchoFloorProcess floor(floorProgram, result.answer);
  EchoServer threadFloor(result.answer);
  TelvaneClient floorClient(floor.port());
  TelvaneClient threadFloorClient(threadFloor.port());
  if (!floorClient.connected() || !threadFloorClient.connected()) return result;
  SetNoDelay(floorClient.socket());
  SetNoDelay(threadFloorClient.socket());
  Series onService(service.client(), line, answerLines, result.answer);
  Series onFloor(floorClient, line, answerLines, result.answer);
  Series onThreadFloor(threadFloorClient, line, answerLines, result.answer);
  auto runAll = [&](int trips, bool timed) {
    onService.Run(trips, timed);
    onFloor.Run(trips, timed);
    onThreadFloor.Run(trips, timed);
  };

  // The warm-up takes at most a tenth of the series' time.
  const Clock::time_point start = Clock::now();
  const Clock::time_point warm = start + std::chrono::seconds(plan.seriesSeconds) / 10;
  const Clock::time_point stop = start + std::chrono::seconds(plan.seriesSeconds);
  for (int done = 0; done < plan.warmup && Clock::now() < warm; done += kBlock)
    runAll(std::min(kBlock, plan.warmup - done), false);
  while (onService.timed() < plan.count && Clock::now() < stop)
    runAll(std::min(kBlock, plan.count - onService.timed()), true);
  result.service = onService.Summary();
  result.floor = onFloor.Summary();
  result.threadFloor = onThreadFloor.Summary();
  result.wrongAnswers = onService.wrongAnswers();
  return result;
}

}  // namespace bench
