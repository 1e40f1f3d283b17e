// The call entry points of the simulated provider: checked at once, carried out when they complete.
#include <chrono>
#include <cstddef>
#include <string>

#include "call_states.h"
#include "provider.h"
#include "structures.h"
#include "variable_parts.h"

namespace simtsp {
namespace {

// What the request id of a pending request reads as in an entry point's result.
LONG Pending(DRV_REQUESTID requestId) { return static_cast<LONG>(requestId); }

// A refused request leaves no handle behind.
void ClearHandle(LPHDRVCALL handle) {
  if (handle != nullptr) *handle = 0;
}

bool IsDtmfDigit(char16_t digit) {
  return (digit >= u'0' && digit <= u'9') || (digit >= u'A' && digit <= u'D') ||
         (digit >= u'a' && digit <= u'd') || digit == u'*' || digit == u'#' || digit == u',';
}

DWORD TickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

LONG Provider::Request(Entry entry, DRV_REQUESTID requestId, std::initializer_list<LPHDRVCALL> handles,
                       const std::function<Prepared()>& prepare) {
  std::lock_guard<std::mutex> lock(m_lock);
  for (LPHDRVCALL handle : handles) ClearHandle(handle);
  if (auto injected = TakeInjected(entry)) return Injected(*injected, requestId, handles);
  Prepared request = prepare();
  if (request.fault != 0) return request.fault;
  if (LONG fault = Submit(requestId, request.operation, request.newCalls)) return fault;
  // A refused request leaves the host's handles cleared; an accepted one has its calls already.
  const LPHDRVCALL* handle = handles.begin();
  for (HDRVCALL created : request.newCalls) **handle++ = created;
  return Pending(requestId);
}

LONG Provider::Request(Entry entry, DRV_REQUESTID requestId, Operation operation) {
  return Request(entry, requestId, {}, [&operation]() -> Prepared { return operation; });
}

LONG Provider::MakeCall(DRV_REQUESTID requestId, HDRVLINE hdLine, HTAPICALL htCall, LPHDRVCALL hdCall,
                        LPCWSTR destAddress) {
  return Request(Entry::TSPI_lineMakeCall, requestId, {hdCall}, [&]() -> Prepared {
    if (hdCall == nullptr) return Failure(LINEERR_INVALPOINTER);
    Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    HDRVCALL made = m_switchboard.NewOutgoingCall(*line, htCall, ToUtf8(destAddress)).hdCall;
    return {[made](Switchboard& calls, Reports* reports) { return calls.MakeCall(made, reports); }, {made}};
  });
}

LONG Provider::Dial(DRV_REQUESTID requestId, HDRVCALL hdCall, LPCWSTR destAddress) {
  std::string digits = ToUtf8(destAddress);
  return Request(Entry::TSPI_lineDial, requestId, [hdCall, digits](Switchboard& calls, Reports* reports) {
    return calls.Dial(hdCall, digits, reports);
  });
}

// The requests on one call that take nothing else.
#define SIMTSP_CALL_REQUEST(Method, entry)                                                   \
  LONG Provider::Method(DRV_REQUESTID requestId, HDRVCALL hdCall) {                          \
    return Request(Entry::entry, requestId, [hdCall](Switchboard& calls, Reports* reports) { \
      return calls.Method(hdCall, reports);                                                  \
    });                                                                                      \
  }
SIMTSP_CALL_REQUEST(Accept, TSPI_lineAccept)
SIMTSP_CALL_REQUEST(Answer, TSPI_lineAnswer)
SIMTSP_CALL_REQUEST(Drop, TSPI_lineDrop)
SIMTSP_CALL_REQUEST(Hold, TSPI_lineHold)
SIMTSP_CALL_REQUEST(Unhold, TSPI_lineUnhold)
SIMTSP_CALL_REQUEST(RemoveFromConference, TSPI_lineRemoveFromConference)
#undef SIMTSP_CALL_REQUEST

LONG Provider::SwapHold(DRV_REQUESTID requestId, HDRVCALL hdActiveCall, HDRVCALL hdHeldCall) {
  return Request(Entry::TSPI_lineSwapHold, requestId,
                 [hdActiveCall, hdHeldCall](Switchboard& calls, Reports* reports) {
                   return calls.SwapHold(hdActiveCall, hdHeldCall, reports);
                 });
}

LONG Provider::Redirect(DRV_REQUESTID requestId, HDRVCALL hdCall, LPCWSTR destAddress) {
  std::string destination = ToUtf8(destAddress);
  return Request(Entry::TSPI_lineRedirect, requestId,
                 [hdCall, destination](Switchboard& calls, Reports* reports) {
                   return calls.Redirect(hdCall, destination, reports);
                 });
}

LONG Provider::BlindTransfer(DRV_REQUESTID requestId, HDRVCALL hdCall, LPCWSTR destAddress) {
  std::string destination = ToUtf8(destAddress);
  return Request(Entry::TSPI_lineBlindTransfer, requestId,
                 [hdCall, destination](Switchboard& calls, Reports* reports) {
                   return calls.BlindTransfer(hdCall, destination, reports);
                 });
}

LONG Provider::SetupTransfer(DRV_REQUESTID requestId, HDRVCALL hdCall, HTAPICALL htConsultCall,
                             LPHDRVCALL hdConsultCall) {
  return Request(Entry::TSPI_lineSetupTransfer, requestId, {hdConsultCall}, [&]() -> Prepared {
    if (hdConsultCall == nullptr) return Failure(LINEERR_INVALPOINTER);
    Call* call = m_system.FindCall(hdCall);
    if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
    HDRVCALL consultation = m_switchboard.NewOutgoingCall(*call->line, htConsultCall, "").hdCall;
    auto operation = [hdCall, consultation](Switchboard& calls, Reports* reports) {
      return calls.SetupTransfer(hdCall, consultation, reports);
    };
    return {operation, {consultation}};
  });
}

LONG Provider::CompleteTransfer(DRV_REQUESTID requestId, HDRVCALL hdCall, HDRVCALL hdConsultCall,
                                HTAPICALL htConfCall, LPHDRVCALL hdConfCall, DWORD transferMode) {
  return Request(Entry::TSPI_lineCompleteTransfer, requestId, {hdConfCall}, [&]() -> Prepared {
    Call* call = m_system.FindCall(hdCall);
    if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
    // Only a transfer into a conference makes a new call.
    bool intoConference = transferMode == LINETRANSFERMODE_CONFERENCE;
    if (intoConference && hdConfCall == nullptr) return Failure(LINEERR_INVALPOINTER);
    HDRVCALL conference =
        intoConference ? m_switchboard.NewConferenceCall(*call->line, htConfCall).hdCall : 0;
    auto operation = [hdCall, hdConsultCall, transferMode, conference](Switchboard& calls, Reports* reports) {
      return calls.CompleteTransfer(hdCall, hdConsultCall, transferMode, conference, reports);
    };
    if (!intoConference) return {operation};
    return {operation, {conference}};
  });
}

LONG Provider::SetupConference(DRV_REQUESTID requestId, HDRVCALL hdCall, HDRVLINE hdLine,
                               HTAPICALL htConfCall, LPHDRVCALL hdConfCall, HTAPICALL htConsultCall,
                               LPHDRVCALL hdConsultCall, DWORD numParties) {
  return Request(Entry::TSPI_lineSetupConference, requestId, {hdConfCall, hdConsultCall}, [&]() -> Prepared {
    if (hdConfCall == nullptr || hdConsultCall == nullptr) return Failure(LINEERR_INVALPOINTER);
    Line* line;
    if (hdCall != 0) {
      Call* call = m_system.FindCall(hdCall);
      if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
      line = call->line;
    } else {
      line = m_system.FindByHandle(hdLine);
      if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    }
    HDRVCALL conference = m_switchboard.NewConferenceCall(*line, htConfCall).hdCall;
    HDRVCALL consultation = m_switchboard.NewOutgoingCall(*line, htConsultCall, "").hdCall;
    auto operation = [hdCall, conference, consultation, numParties](Switchboard& calls, Reports* reports) {
      return calls.SetupConference(hdCall, conference, consultation, numParties, reports);
    };
    return {operation, {conference, consultation}};
  });
}

LONG Provider::PrepareAddToConference(DRV_REQUESTID requestId, HDRVCALL hdConfCall, HTAPICALL htConsultCall,
                                      LPHDRVCALL hdConsultCall) {
  return Request(Entry::TSPI_linePrepareAddToConference, requestId, {hdConsultCall}, [&]() -> Prepared {
    if (hdConsultCall == nullptr) return Failure(LINEERR_INVALPOINTER);
    if (LONG fault = m_switchboard.PrepareAddToConference(hdConfCall, 0, nullptr)) return fault;
    Line& line = *m_system.FindCall(hdConfCall)->line;
    HDRVCALL consultation = m_switchboard.NewOutgoingCall(line, htConsultCall, "").hdCall;
    auto operation = [hdConfCall, consultation](Switchboard& calls, Reports* reports) {
      return calls.PrepareAddToConference(hdConfCall, consultation, reports);
    };
    return {operation, {consultation}};
  });
}

LONG Provider::AddToConference(DRV_REQUESTID requestId, HDRVCALL hdConfCall, HDRVCALL hdConsultCall) {
  return Request(Entry::TSPI_lineAddToConference, requestId,
                 [hdConfCall, hdConsultCall](Switchboard& calls, Reports* reports) {
                   return calls.AddToConference(hdConfCall, hdConsultCall, reports);
                 });
}

LONG Provider::Pickup(DRV_REQUESTID requestId, HDRVLINE hdLine, DWORD addressId, HTAPICALL htCall,
                      LPHDRVCALL hdCall, LPCWSTR destAddress) {
  return Request(Entry::TSPI_linePickup, requestId, {hdCall}, [&]() -> Prepared {
    if (hdCall == nullptr) return Failure(LINEERR_INVALPOINTER);
    Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    if (addressId != 0) return Failure(LINEERR_INVALADDRESSID);
    HDRVCALL pickup = m_switchboard.NewPickupCall(*line, htCall).hdCall;
    std::string destination = ToUtf8(destAddress);
    auto operation = [pickup, destination](Switchboard& calls, Reports* reports) {
      return calls.Pickup(pickup, destination, reports);
    };
    return {operation, {pickup}};
  });
}

LONG Provider::CompleteCall(DRV_REQUESTID requestId, HDRVCALL hdCall, LPDWORD completionId) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (completionId != nullptr) *completionId = 0;
  if (auto injected = TakeInjected(Entry::TSPI_lineCompleteCall)) {
    if (injected->asynchronous && completionId != nullptr) *completionId = m_system.NextCompletionId();
    return Injected(*injected, requestId);
  }
  if (completionId == nullptr) return Failure(LINEERR_INVALPOINTER);
  const Call* call = m_system.FindCall(hdCall);
  if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (call->state == LINECALLSTATE_IDLE) return Failure(LINEERR_INVALCALLSTATE);
  if (!PostCompletion(requestId, 0)) return Failure(LINEERR_OPERATIONFAILED);
  *completionId = m_system.NextCompletionId();
  return Pending(requestId);
}

LONG Provider::GenerateDigits(HDRVCALL hdCall, DWORD endToEndId, DWORD digitMode, LPCWSTR digits) {
  return Synchronous(Entry::TSPI_lineGenerateDigits, [&]() -> LONG {
    const Call* call = m_system.FindCall(hdCall);
    if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
    // The lines generate DTMF only, as their capabilities say.
    if (digitMode != LINEDIGITMODE_DTMF) return Failure(LINEERR_INVALDIGITMODE);
    if (call->state != LINECALLSTATE_CONNECTED) return Failure(LINEERR_INVALCALLSTATE);
    if (digits == nullptr) return 0;
    for (LPCWSTR digit = digits; *digit != u'\0'; ++digit) {
      if (!IsDtmfDigit(*digit)) return Failure(LINEERR_INVALDIGITS);
    }
    bool posted = m_worker.Post(m_config.delays.completion, [this, hdCall, endToEndId] {
      Deliver({Report::CallEvent(hdCall, LINE_GENERATE, LINEGENERATETERM_DONE, endToEndId, TickCount())});
    });
    return posted ? 0 : Failure(LINEERR_OPERATIONFAILED);
  });
}

LONG Provider::GetCallStatus(HDRVCALL hdCall, LINECALLSTATUS* status) {
  return Synchronous(Entry::TSPI_lineGetCallStatus, [&]() -> LONG {
    if (status == nullptr) return Failure(LINEERR_INVALPOINTER);
    const Call* call = m_system.FindCall(hdCall);
    if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
    if (!HoldsFixedPart(*status)) return Failure(LINEERR_STRUCTURETOOSMALL);
    FillCallStatus(*call, m_switchboard.Features(*call), *status);
    return 0;
  });
}

LONG Provider::GetCallInfo(HDRVCALL hdCall, LINECALLINFO* info) {
  return Synchronous(Entry::TSPI_lineGetCallInfo, [&]() -> LONG {
    if (info == nullptr) return Failure(LINEERR_INVALPOINTER);
    const Call* call = m_system.FindCall(hdCall);
    if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
    if (!HoldsFixedPart(*info)) return Failure(LINEERR_STRUCTURETOOSMALL);
    FillCallInfo(*call, m_switchboard.RelatedCallId(*call), *info);
    return 0;
  });
}

LONG Provider::CloseCall(HDRVCALL hdCall) {
  return Synchronous(Entry::TSPI_lineCloseCall, [&]() -> LONG {
    Call* call = m_system.FindCall(hdCall);
    if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
    TakeOut({*call});
    return 0;
  });
}

LONG Provider::Forward(DRV_REQUESTID requestId, HDRVLINE hdLine, DWORD allAddresses, DWORD addressId,
                       const LINEFORWARDLIST* forwardList, LPHDRVCALL hdConsultCall) {
  std::lock_guard<std::mutex> lock(m_lock);
  ClearHandle(hdConsultCall);
  if (auto injected = TakeInjected(Entry::TSPI_lineForward)) return Injected(*injected, requestId);
  Line* line = m_system.FindByHandle(hdLine);
  if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
  if (allAddresses == 0 && addressId != 0) return Failure(LINEERR_INVALADDRESSID);
  if (forwardList != nullptr && forwardList->dwTotalSize < offsetof(LINEFORWARDLIST, ForwardList)) {
    return Failure(LINEERR_INVALPARAM);
  }
  if (!PostCompletion(requestId, 0)) return Failure(LINEERR_OPERATIONFAILED);
  const auto* bytes = reinterpret_cast<const unsigned char*>(forwardList);
  line->forwardList.assign(bytes, forwardList == nullptr ? bytes : bytes + forwardList->dwTotalSize);
  return Pending(requestId);
}

}  // namespace simtsp
