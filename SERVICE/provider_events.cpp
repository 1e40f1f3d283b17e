// The provider's callbacks, and the handling of its line events on the main thread.
#include <atomic>
#include <new>

#include "ToolFunktion.h"
#include "line_lookup.h"
#include "provider.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

namespace {

// Numbers the provider's line events in the log, nothing else; atomic because the provider calls back
// from several threads at once.
std::atomic<plat::DWORD> g_dwEventSequence{0};

unsigned Low32(plat::DWORD_PTR value) { return static_cast<unsigned>(value); }

// A null window would make the post a message of the calling thread, which nobody reads.
bool Post(PIPE_LINE_EVENT* event) {
  return CServiceWindow::m_hWnd != nullptr &&
         plat::PostMessageA(CServiceWindow::m_hWnd, WM_MESSAGE_LINE_EVENT, 0,
                            reinterpret_cast<plat::LPARAM>(event)) != 0;
}

// The call-table position of the service's call handle, -1 for none.
int PositionOfTapiCall(HTAPICALL htCall) {
  return htCall == 0 ? -1 : CServiceWindow::GetPosFromTapiCall(htCall);
}

// The name a created or removed line is reported by: its address, at most 30 characters, never empty.
struct AddressName {
  explicit AddressName(CLineObject* line) {
    // CopyBounded's capacity counts the terminator, and it writes one more after it.
    TOOLFUNC_string::CopyBounded(text, line->GetAddress(), kCapacity);
    if (text[0] == '\0') TOOLFUNC_string::CopyBounded(text, "\"\"", kCapacity);
  }
  static constexpr plat::DWORD kCapacity = 31;
  char text[kCapacity + 1] = {};
};

// The provider's handle for a new call is answered with the service's next call handle, and the call is
// entered under it, before the callback returns: the provider may raise the call's first state at once.
void EnterNewCall(HTAPILINE htLine, plat::DWORD_PTR hdCall, plat::DWORD_PTR handlePlace) {
  auto* place = reinterpret_cast<HTAPICALL*>(handlePlace);
  if (place == nullptr) {
    LogMessage(kLogError, "LINE_NEWCALL: No handle place given!");
    return;
  }
  // The handover, the entry and the advance are one step: no client-made call may draw the handle
  // between them, and the main thread may not change the line list meanwhile.
  plat::CriticalSectionLock lock(&CServiceWindow::m_csTapiCall);
  const plat::DWORD handle = CServiceWindow::PeekTapiCall();
  *place = handle;
  LogMessage(kLogDetail, " LINE_NEWCALL(1): %d", handle);
  CLineObject* line = line_lookup::ByHtLine(htLine);
  // A call no line takes draws nothing: the provider keeps the handle, which stays the next one.
  if (line == nullptr) {
    LogMessage(kLogError, "LINE_NEWCALL: No Line Object found!");
    return;
  }
  CServiceWindow::InsertAnnouncedCall(line, Low32(hdCall));
}

// Tells the main thread that a creating request failed. A message of its own, not a line event: no
// message number a provider passes can stand for it, and it takes no number of the provider's events.
bool PostCreationFailed(plat::DWORD request, plat::LONG result) {
  return CServiceWindow::m_hWnd != nullptr &&
         plat::PostMessageA(CServiceWindow::m_hWnd, WM_MESSAGE_CREATION_FAILED, request, result) != 0;
}

// Posts an event record to the main thread; false (and the record freed) when it cannot be posted.
bool PostEvent(const PIPE_LINE_EVENT& fields) {
  auto* event = new (std::nothrow) PIPE_LINE_EVENT(fields);
  if (event == nullptr) {
    LogMessage(kLogError, "LP_PIPE_LINE_EVENT memory error");
    return false;
  }
  if (!Post(event)) {
    LogMessage(kLogError, "LP_PIPE_LINE_EVENT could not be posted <%d>", fields.dwSequence);
    delete event;
    return false;
  }
  return true;
}

// Marks the main thread busy with an event for a scope, and gives back the mark it found.
class BusyWithEvent {
 public:
  BusyWithEvent() : m_before(g_bInProviderCall), m_lineList(&CServiceWindow::m_csLineList) {
    g_bInProviderCall = 1;
  }
  ~BusyWithEvent() { g_bInProviderCall = m_before; }
  BusyWithEvent(const BusyWithEvent&) = delete;
  BusyWithEvent& operator=(const BusyWithEvent&) = delete;

 private:
  // In this order: the mark is saved before the line list is entered, and given back before it is left.
  plat::BOOL m_before;
  plat::CriticalSectionLock m_lineList;
};

void OnCallState(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD_PTR param1, plat::DWORD_PTR param2,
                 plat::DWORD_PTR param3) {
  if (htCall == 0) return;
  const plat::DWORD state = Low32(param1) & 0xFFFF;
  CLineObject* line = line_lookup::ByHtLine(htLine);
  if (line == nullptr) return;
  LogMessage(kLogTrace, " lLinePos: %d", line->GetDeviceID());
  const int position = PositionOfTapiCall(htCall);
  LogMessage(kLogTrace, " lCallPos: %d", position);
  if (position < 0) return;
  CallRecord& call = CServiceWindow::CallTable[position];
  call.dwCallState = state;
  if (state != LINECALLSTATE_SPECIALINFO && state != LINECALLSTATE_UNKNOWN && !call.bNewCallSent)
    CServiceWindow::SendNewCall(line, position);
  if (g_bFeatureRefreshStatus) CServiceWindow::RefreshCallStatusWithSameCallId(line, position, call.dwCallID);
  CServiceWindow::SendCallStatus(line, position, state, Low32(param2), Low32(param3));

  auto settleOrigin = [&call](plat::DWORD origin) {
    if (g_bFeatureOrigin && call.dwOrigin == 0) call.dwOrigin = origin;
  };
  switch (state) {
    case LINECALLSTATE_IDLE: {
      const plat::DWORD handle = call.DrvBaseCall;
      if (g_TspiEntryPoints.TSPI_lineCloseCall != nullptr) g_TspiEntryPoints.TSPI_lineCloseCall(handle);
      CServiceWindow::RemoveDrvBaseCall(handle);
      if (g_bFeatureRefreshStatus)
        CServiceWindow::SendAddressStatus(line, 0, LINEADDRESSSTATE_OTHER | LINEADDRESSSTATE_NUMCALLS, true);
      break;
    }
    case LINECALLSTATE_OFFERING:
      if (g_bFeatureRefreshStatus) CServiceWindow::SendCallInfo(line, position, LINECALLINFOSTATE_REASON);
      settleOrigin(LINECALLORIGIN_INBOUND);
      break;
    case LINECALLSTATE_ACCEPTED:
      settleOrigin(LINECALLORIGIN_INBOUND);
      break;
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
    case LINECALLSTATE_BUSY:
    case LINECALLSTATE_PROCEEDING:
      settleOrigin(LINECALLORIGIN_OUTBOUND);
      break;
    case LINECALLSTATE_ONHOLDPENDCONF:
      settleOrigin(LINECALLORIGIN_CONFERENCE);
      break;
    case LINECALLSTATE_DISCONNECTED:
      if (g_bFeatureRefreshStatus) CServiceWindow::SendCallInfo(line, position, LINECALLINFOSTATE_REASON);
      break;
  }
}

void OnCallInfo(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD_PTR changed) {
  if (htCall == 0 || g_bInSendNewCall) return;
  CLineObject* line = line_lookup::ByHtLine(htLine);
  const int position = PositionOfTapiCall(htCall);
  if (line == nullptr || position < 0 || !CServiceWindow::CallTable[position].bNewCallSent) return;
  CServiceWindow::SendCallInfo(line, position, Low32(changed));
}

void OnLineClose(HTAPILINE htLine) {
  LogMessage(kLogInfo, "LINE_CLOSE Device 0x%08X", htLine);
  CLineObject* line = line_lookup::ByHtLine(htLine);
  if (g_TspiEntryPoints.TSPI_lineClose == nullptr || line == nullptr) return;
  g_TspiEntryPoints.TSPI_lineClose(line->GetHdLine());
  CServiceWindow::ResetLine(line);
}

void OnGenerate(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD_PTR reason) {
  LogMessage(kLogTrace, "LINE_GENERATE 0x%08X", Low32(reason));
  CLineObject* line = line_lookup::ByHtLine(htLine);
  const int position = PositionOfTapiCall(htCall);
  if (line == nullptr || position < 0) return;
  CServiceWindow::SendBack("LINE_GENERATE %u %u %u 0 0", line->GetClientLine(),
                           CServiceWindow::CallTable[position].DrvClientCall, Low32(reason));
}

void OnLineCreate(plat::DWORD_PTR tempId) {
  LogMessage(kLogInfo, "LINE_CREATE DeviceID 0x%08X", Low32(tempId));
  if (g_TspiEntryPoints.TSPI_providerCreateLineDevice == nullptr) return;
  plat::LONG result = g_TspiEntryPoints.TSPI_providerCreateLineDevice(tempId, g_dwNumLines);
  if (result != 0) {
    LogMessage(kLogInfo, " LineEventFunction: Could not set TSPI_providerCreateLineDevice ErrorCode 0x%08X",
               static_cast<unsigned>(result));
    return;
  }
  CLineObject* line = CServiceWindow::CreateInsertLineObject(g_dwNumLines);
  if (line == nullptr) return;
  CServiceWindow::SendBack("LINE_CREATE %s 0 0 0 0", AddressName(line).text);
  LogMessage(kLogInfo, " LineEventFunction: TSPI_providerCreateLineDevice set new DeviceId %d", g_dwNumLines);
  ++g_dwNumLines;
}

void OnLineRemove(plat::DWORD_PTR deviceId) {
  LogMessage(kLogInfo, "LINE_REMOVE DeviceID 0x%08X", Low32(deviceId));
  CLineObject* line = line_lookup::ByDeviceId(Low32(deviceId));
  LogMessage(kLogTrace, " pObject: 0x%08X", Pointer32(line));
  if (line == nullptr) return;
  CServiceWindow::SendBack("LINE_REMOVE %s 0 0 0 0", AddressName(line).text);
  {
    // Its calls go with it, so no entry is left pointing at the deleted line.
    plat::CriticalSectionLock lock(&CServiceWindow::m_csTapiCall);
    CServiceWindow::ClearCallsOfLine(line);
    CLineObject::RemoveObject(line);
  }
  LogMessage(kLogTrace, " Number of Objects: %d", CServiceWindow::m_pLineRoot->GetNumberOfObjects());
}

void HandleEvent(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD dwMsg, plat::DWORD_PTR param1,
                 plat::DWORD_PTR param2, plat::DWORD_PTR param3) {
  switch (dwMsg) {
    case LINE_ADDRESSSTATE: {
      LogMessage(kLogTrace, " LINE_ADDRESSSTATE 0x%08X 0x%08X 0x%08X", htLine, Low32(param1), Low32(param2));
      if (CLineObject* line = line_lookup::ByHtLine(htLine))
        CServiceWindow::SendAddressStatus(line, Low32(param1), Low32(param2), true);
      break;
    }
    case LINE_CALLINFO:
      LogMessage(kLogTrace, "LINE_CALLINFO htCall: %d State: 0x%08X", htCall, Low32(param1));
      OnCallInfo(htLine, htCall, param1);
      break;
    case LINE_CALLSTATE:
      LogMessage(kLogTrace, "LINE_CALLSTATE htCall 0x%08X Typ: 0x%08X 0x%08X", htCall, Low32(param1),
                 Low32(param2));
      OnCallState(htLine, htCall, param1, param2, param3);
      break;
    case LINE_CLOSE:
      OnLineClose(htLine);
      break;
    case LINE_GENERATE:
      OnGenerate(htLine, htCall, param1);
      break;
    case LINE_LINEDEVSTATE: {
      LogMessage(kLogTrace, "LINE_LINEDEVSTATE 0x%08X 0x%08X 0x%08X", Low32(param1), Low32(param2),
                 Low32(param3));
      if (CLineObject* line = line_lookup::ByHtLine(htLine))
        CServiceWindow::SendLineDevStatus(line, Low32(param1), param2, param3, true);
      break;
    }
    case LINE_CREATE:
      OnLineCreate(param2);
      break;
    case LINE_REMOVE:
      OnLineRemove(param1);
      break;
    case LINE_NEWCALL:
      LogMessage(kLogDetail, "LINE_NEWCALL(2)");
      break;
  }
}

}  // namespace

void CServiceWindow::LineEventFunction(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD dwMsg,
                                       plat::DWORD_PTR dwParam1, plat::DWORD_PTR dwParam2,
                                       plat::DWORD_PTR dwParam3) {
  const plat::DWORD sequence = ++g_dwEventSequence;
  LogMessage(kLogDetail, "CServiceWindow::LineEventFunction <%d> 0x%08X 0x%08X 0x%08X 0x%08X 0x%08X 0x%08X",
             sequence, htLine, htCall, dwMsg, Low32(dwParam1), Low32(dwParam2), Low32(dwParam3));
  if (dwMsg == LINE_NEWCALL) EnterNewCall(htLine, dwParam1, dwParam2);
  PostEvent({htLine, htCall, dwMsg, dwParam1, dwParam2, dwParam3, sequence});
}

void CServiceWindow::LineEventFunction2(plat::DWORD dwSequence, HTAPILINE htLine, HTAPICALL htCall,
                                        plat::DWORD dwMsg, plat::DWORD_PTR dwParam1, plat::DWORD_PTR dwParam2,
                                        plat::DWORD_PTR dwParam3) {
  LogMessage(kLogDetail, " ");
  LogMessage(kLogDetail, "CServiceWindow::LineEventFunction2 <%d> 0x%08X 0x%08X 0x%08X 0x%08X 0x%08X 0x%08X",
             dwSequence, htLine, htCall, dwMsg, Low32(dwParam1), Low32(dwParam2), Low32(dwParam3));
  if (g_bInProviderCall) {
    // Inside a provider call (or another event) the event waits for its turn behind the outer work; one
    // that cannot be queued again is handled now rather than lost.
    LogMessage(kLogDetail, "-> Async Loop <%d>", dwSequence);
    if (PostEvent({htLine, htCall, dwMsg, dwParam1, dwParam2, dwParam3, dwSequence})) return;
  }
  BusyWithEvent busy;
  HandleEvent(htLine, htCall, dwMsg, dwParam1, dwParam2, dwParam3);
}

void CServiceWindow::PhoneEventFunction(HTAPIPHONE, plat::DWORD, plat::DWORD_PTR, plat::DWORD_PTR,
                                        plat::DWORD_PTR) {
  LogMessage(kLogTrace, "CServiceWindow::PhoneEventFunction");
}

void CServiceWindow::AsyncCompletion(DRV_REQUESTID dwRequestID, plat::LONG lResult) {
  LogMessage(kLogTrace, "CServiceWindow::AsyncCompletion");
  // The main thread frees the calls of a failed creating request, as it alone frees entries
  // (call_table.h); posted before the reply goes out, the message is handled before the client's next
  // command is read.
  if (SettleCreation(dwRequestID, lResult) && !PostCreationFailed(dwRequestID, lResult))
    LogMessage(kLogError, "Creating request %u failed and could not be posted", dwRequestID);
  SendLineReply(dwRequestID, lResult);
}

void CServiceWindow::OnCreationFailed(plat::DWORD dwRequestID, plat::LONG lResult) {
  // Like an event, it waits behind the provider call (or the event) that the main thread is in.
  if (g_bInProviderCall && PostCreationFailed(dwRequestID, lResult)) return;
  BusyWithEvent busy;
  LogMessage(kLogDetail, "Creating request %u failed with 0x%08X", dwRequestID,
             static_cast<unsigned>(lResult));
  FreeFailedCreations();
}

plat::LONG CServiceWindow::UICallback(plat::DWORD_PTR, plat::DWORD, plat::LPVOID, plat::DWORD) {
  LogMessage(kLogTrace, "CServiceWindow::UICallback");
  return 0;
}
