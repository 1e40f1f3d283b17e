// How the provider's requests reach the worker and how what they cause reaches the host.
#include <utility>

#include "call_states.h"
#include "provider.h"

namespace simtsp {

std::optional<Provider::InjectedFailure> Provider::TakeInjected(Entry entry) {
  std::optional<InjectedFailure> injected;
  std::swap(injected, m_injected[static_cast<size_t>(entry)]);
  return injected;
}

LONG Provider::Injected(const InjectedFailure& failure, DRV_REQUESTID requestId,
                        std::initializer_list<LPHDRVCALL> newCalls) {
  if (!failure.asynchronous) return failure.result;
  if (!PostCompletion(requestId, failure.result)) return Failure(LINEERR_OPERATIONFAILED);
  for (LPHDRVCALL handle : newCalls) {
    if (handle != nullptr) *handle = m_system.SpareCallHandle();
  }
  return static_cast<LONG>(requestId);
}

LONG Provider::Submit(DRV_REQUESTID requestId, Operation operation, std::vector<HDRVCALL> newCalls) {
  LONG fault = operation(m_switchboard, nullptr);
  if (fault == 0) {
    bool posted = m_worker.Post(m_config.delays.completion, [this, requestId, operation, newCalls] {
      Reports reports;
      LONG result;
      ASYNC_COMPLETION completion;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        result = operation(m_switchboard, &reports);
        if (result != 0) {
          for (HDRVCALL call : newCalls) m_system.RemoveCall(call);
        }
        completion = m_completion;
      }
      // The host hears the end of its request before what the request changed.
      if (completion != nullptr) completion(requestId, result);
      Deliver(reports);
    });
    if (posted) return 0;
    fault = Failure(LINEERR_OPERATIONFAILED);
  }
  for (HDRVCALL call : newCalls) m_system.RemoveCall(call);
  return fault;
}

bool Provider::PostCompletion(DRV_REQUESTID requestId, LONG result) {
  if (m_completion == nullptr) return false;
  ASYNC_COMPLETION completion = m_completion;
  return m_worker.Post(m_config.delays.completion,
                       [completion, requestId, result] { completion(requestId, result); });
}

bool Provider::PostChange(Operation change) {
  return m_worker.Post(std::chrono::milliseconds(0), [this, change] {
    Reports reports;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      change(m_switchboard, &reports);
    }
    Deliver(reports);
  });
}

std::vector<Call> Provider::CallsOf(const Line& line) {
  std::vector<Call> calls;
  for (HDRVCALL hdCall : m_system.CallsOn(line)) calls.push_back(*m_system.FindCall(hdCall));
  return calls;
}

void Provider::TakeOut(const std::vector<Call>& calls) {
  for (const Call& call : calls) m_system.RemoveCall(call.hdCall);
  PostChange([calls = calls](Switchboard& switchboard, Reports* reports) mutable {
    for (Call& call : calls) switchboard.Release(call, *reports);
    return 0;
  });
}

bool Provider::CompleteRequest(DRV_REQUESTID requestId, LONG result) {
  std::lock_guard<std::mutex> lock(m_lock);
  return PostCompletion(requestId, result);
}

void Provider::Deliver(const Reports& reports) {
  for (const Report& report : reports) {
    switch (report.kind) {
      case Report::Kind::kCallEvent:
        DeliverCallEvent(report);
        break;
      case Report::Kind::kNewCall:
        AnnounceCall(report.call);
        break;
      case Report::Kind::kStep: {
        HDRVCALL hdCall = report.call;
        DWORD expectedState = report.expectedState;
        m_worker.Post(report.delay, [this, hdCall, expectedState] { RunStep(hdCall, expectedState); });
        break;
      }
    }
  }
}

void Provider::DeliverCallEvent(const Report& report) {
  LINEEVENT events;
  HTAPILINE htLine;
  HTAPICALL htCall;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    const Call* call = m_system.FindCall(report.call);
    if (call == nullptr || !call->line->IsOpen()) return;
    events = call->line->events;
    htLine = call->line->htLine;
    htCall = call->htCall;
  }
  events(htLine, htCall, report.message, report.param1, report.param2, report.param3);
}

void Provider::AnnounceCall(HDRVCALL hdCall) {
  LINEEVENT events;
  HTAPILINE htLine;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    const Call* call = m_system.FindCall(hdCall);
    if (call == nullptr || !call->line->IsOpen()) return;
    events = call->line->events;
    htLine = call->line->htLine;
  }
  // The host writes its handle for the call here before it returns.
  HTAPICALL htCall = 0;
  events(htLine, 0, LINE_NEWCALL, hdCall, reinterpret_cast<DWORD_PTR>(&htCall), 0);
  std::lock_guard<std::mutex> lock(m_lock);
  if (Call* call = m_system.FindCall(hdCall)) call->htCall = htCall;
}

void Provider::RunStep(HDRVCALL hdCall, DWORD expectedState) {
  Reports reports;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_switchboard.Advance(hdCall, expectedState, reports);
  }
  Deliver(reports);
}

}  // namespace simtsp
