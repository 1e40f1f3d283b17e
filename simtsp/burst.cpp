// The control command `burst`: many calls and many events from several threads at once.
//
// As fast as the host takes them: for measuring the host's event path and checking that it keeps each
// call's order.
#include <condition_variable>
#include <system_error>
#include <thread>

#include "call_states.h"
#include "provider.h"
#include "structures.h"

namespace simtsp {
namespace {

constexpr DWORD kMostThreads = 64;
constexpr DWORD kMostCalls = 100000;
constexpr DWORD kMostEventsPerCall = 1000000;

thread_local bool t_onBurstThread = false;

// Holds the burst threads back until all of them have started, so they report at the same time.
class StartGate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_opened.wait(lock, [this] { return m_open; });
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_open = true;
    }
    m_opened.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_opened;
  bool m_open = false;
};

}  // namespace

bool Provider::OnBurstThread() { return t_onBurstThread; }

Refusal Provider::Burst(DWORD deviceId, DWORD calls, DWORD events, DWORD threads) {
  if (threads == 0 || threads > kMostThreads) return "1 to 64 threads";
  if (calls > kMostCalls || events > kMostEventsPerCall) return "at most 100000 calls of 1000000 events";
  LINEEVENT lineEvents;
  HTAPILINE htLine;
  std::vector<HDRVCALL> handles;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_worker.IsRunning() || m_stopping) return "the provider does not run";
    Line* line = m_system.FindByDeviceId(deviceId);
    if (line == nullptr) return "unknown line";
    if (!line->IsOpen()) return "the line is not open";
    lineEvents = line->events;
    htLine = line->htLine;
    for (DWORD i = 0; i < calls; ++i) {
      Call& call = m_switchboard.NewIncomingCall(*line, "");
      call.state = LINECALLSTATE_OFFERING;
      call.stateMode = LINEOFFERINGMODE_ACTIVE;
      handles.push_back(call.hdCall);
    }
  }

  // The calls are announced in order from this thread, each with its handshake for the host's handle.
  std::vector<HTAPICALL> htCalls(calls);
  for (DWORD i = 0; i < calls && !m_stopping; ++i) {
    lineEvents(htLine, 0, LINE_NEWCALL, handles[i], reinterpret_cast<DWORD_PTR>(&htCalls[i]), 0);
    lineEvents(htLine, htCalls[i], LINE_CALLSTATE, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE,
               kLineMediaModes);
  }
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (DWORD i = 0; i < calls; ++i) {
      if (Call* call = m_system.FindCall(handles[i])) {
        call->htCall = htCalls[i];
        call->state = LINECALLSTATE_CONNECTED;
        call->stateMode = events;
      }
    }
  }

  // Each thread takes every threads-th call and reports its events in order; a call belongs to one
  // thread, so its events keep their order whatever the threads do.
  StartGate gate;
  std::vector<std::thread> reporters;
  bool started = true;
  for (DWORD first = 0; first < threads; ++first) {
    try {
      reporters.emplace_back([&, first] {
        t_onBurstThread = true;
        gate.Wait();
        for (DWORD sequence = 1; sequence <= events && started; ++sequence) {
          for (DWORD i = first; i < calls; i += threads) {
            if (m_stopping.load(std::memory_order_relaxed)) return;
            lineEvents(htLine, htCalls[i], LINE_CALLSTATE, LINECALLSTATE_CONNECTED, sequence,
                       kLineMediaModes);
          }
        }
      });
    } catch (const std::system_error&) {
      started = false;
      break;
    }
  }
  gate.Open();
  for (std::thread& reporter : reporters) reporter.join();
  if (!started) return "cannot start the threads";
  if (m_stopping) return "stopped by the provider's shutdown";
  return "";
}

}  // namespace simtsp
