// The phone system's own doings that the control commands ask for.
//
// Calls from outside, lines that come and go, injected failures, and what the phone system can tell
// about itself.
#include "call_states.h"
#include "provider.h"

namespace simtsp {
namespace {

constexpr const char* kNotRunning = "the provider does not run";

Refusal CallRefusal(LONG fault) {
  return fault == Failure(LINEERR_INVALCALLHANDLE) ? "unknown call" : "not possible in the call's state";
}

}  // namespace

bool Provider::AnnounceLine(const LineSetting& setting) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_lineCreate == nullptr || !m_worker.IsRunning()) return false;
  DWORD_PTR tempId = m_system.AddPendingLine(setting);
  LINEEVENT lineCreate = m_lineCreate;
  HPROVIDER provider = m_hProvider;
  return m_worker.Post(std::chrono::milliseconds(0), [lineCreate, provider, tempId] {
    lineCreate(0, 0, LINE_CREATE, provider, tempId, 0);
  });
}

Refusal Provider::RingFromOutside(DWORD deviceId, const std::string& caller, HDRVCALL& hdCall) {
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return "unknown line";
  if (!line->IsOpen()) return "the line is not open";
  HDRVCALL ringing = m_switchboard.NewIncomingCall(*line, caller).hdCall;
  if (!PostChange(
          [ringing](Switchboard& calls, Reports* reports) { return calls.Offer(ringing, reports); })) {
    m_system.RemoveCall(ringing);
    return kNotRunning;
  }
  hdCall = ringing;
  return "";
}

Refusal Provider::AnswerFromOutside(HDRVCALL hdCall) {
  return ChangeFromOutside(hdCall, &Switchboard::RemoteAnswer);
}

Refusal Provider::HangUpFromOutside(HDRVCALL hdCall) {
  return ChangeFromOutside(hdCall, &Switchboard::RemoteHangup);
}

Refusal Provider::ChangeFromOutside(HDRVCALL hdCall, OutsideChange change) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (LONG fault = (m_switchboard.*change)(hdCall, nullptr)) return CallRefusal(fault);
  bool posted = PostChange(
      [hdCall, change](Switchboard& calls, Reports* reports) { return (calls.*change)(hdCall, reports); });
  return posted ? "" : kNotRunning;
}

Refusal Provider::RemoveLine(DWORD deviceId) {
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return "unknown line";
  if (m_lineCreate == nullptr || !m_worker.IsRunning()) return kNotRunning;
  TakeOut(CallsOf(*line));
  m_system.RemoveLine(*line);
  LINEEVENT lineCreate = m_lineCreate;
  m_worker.Post(std::chrono::milliseconds(0),
                [lineCreate, deviceId] { lineCreate(0, 0, LINE_REMOVE, deviceId, 0, 0); });
  return "";
}

Refusal Provider::AskToCloseLine(DWORD deviceId) {
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return "unknown line";
  if (!line->IsOpen()) return "the line is not open";
  HDRVLINE hdLine = line->hdLine;
  bool posted = m_worker.Post(std::chrono::milliseconds(0), [this, hdLine] {
    LINEEVENT events;
    HTAPILINE htLine;
    {
      // Line handles are never reused: one still open under this handle is the line asked for.
      std::lock_guard<std::mutex> lock(m_lock);
      const Line* open = m_system.FindByHandle(hdLine);
      if (open == nullptr) return;
      events = open->events;
      htLine = open->htLine;
    }
    events(htLine, 0, LINE_CLOSE, 0, 0, 0);
  });
  return posted ? "" : kNotRunning;
}

Refusal Provider::RaiseEvent(DWORD deviceId, HTAPILINE htLine, HTAPICALL htCall, DWORD message, DWORD param1,
                             DWORD param2, DWORD param3) {
  if (message == LINE_NEWCALL) return "LINE_NEWCALL needs a handle place: use incoming";
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return "unknown line";
  if (!line->IsOpen()) return "the line is not open";
  LINEEVENT events = line->events;
  bool posted = m_worker.Post(std::chrono::milliseconds(0),
                              [=] { events(htLine, htCall, message, param1, param2, param3); });
  return posted ? "" : kNotRunning;
}

Refusal Provider::InjectFailure(Entry entry, LONG result, bool asynchronous) {
  const EntryInfo& info = kEntries[static_cast<size_t>(entry)];
  if (asynchronous && !info.asynchronous) return std::string(info.name) + " answers at once";
  std::lock_guard<std::mutex> lock(m_lock);
  m_injected[static_cast<size_t>(entry)] = InjectedFailure{result, asynchronous};
  return "";
}

std::vector<CallSummary> Provider::ListCalls() {
  std::lock_guard<std::mutex> lock(m_lock);
  std::vector<CallSummary> calls;
  for (const auto& [hdCall, call] : m_system.Calls())
    calls.push_back({hdCall, call.line->deviceId, call.state});
  return calls;
}

Refusal Provider::LastForwardList(DWORD deviceId, std::vector<unsigned char>& forwardList) {
  std::lock_guard<std::mutex> lock(m_lock);
  const Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return "unknown line";
  forwardList = line->forwardList;
  return "";
}

Refusal Provider::SetDelay(const std::string& step, const std::string& milliseconds) {
  std::lock_guard<std::mutex> lock(m_lock);
  std::chrono::milliseconds* delay = FindDelay(m_config.delays, step);
  if (delay == nullptr) return "unknown delay step";
  if (!ParseMilliseconds(milliseconds, *delay)) return "not 0 to 3600000 milliseconds";
  return "";
}

}  // namespace simtsp
