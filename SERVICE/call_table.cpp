// The call table, the creating requests that enter calls in it, and the counters that hand out
// service call handles, client call numbers and service line handles.
#include <cstdint>
#include <cstring>

#include "ToolFunktion.h"
#include "line_lookup.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

CallRecord CServiceWindow::CallTable[kCallTableSize];
plat::DWORD CServiceWindow::m_dwNextTapiCall = 4;
plat::DWORD CServiceWindow::m_dwNextDrvCall = 0x8004;
plat::DWORD CServiceWindow::m_dwNextHtLine = 4;

namespace {

// The first used entry that `matches`, -1 when there is none. A free entry is all zero and would
// otherwise match every key of 0.
template <typename Matches>
int FindUsed(Matches matches) {
  for (int position = 0; position < kCallTableSize; ++position) {
    const CallRecord& call = CServiceWindow::CallTable[position];
    if (call.DrvBaseCall != 0 && matches(call)) return position;
  }
  return -1;
}

int FindBase(plat::DWORD handle) {
  return FindUsed([handle](const CallRecord& call) { return call.DrvBaseCall == handle; });
}

void Clear(int position) {
  if (position >= 0) std::memset(&CServiceWindow::CallTable[position], 0, sizeof(CallRecord));
}

// The masks at which the counters wrap.
constexpr plat::DWORD kTapiCallMask = 0x7FFF;
constexpr plat::DWORD kDrvCallMask = 0xFFFF;
constexpr plat::DWORD kHtLineMask = 0xFFFFFFFF;

// The value after `value` of a counter that runs in steps of 4 within `mask`, where 0 stands for none.
plat::DWORD Step(plat::DWORD value, plat::DWORD mask) {
  value = (value + 4) & mask;
  return value == 0 ? 4 : value;
}

// The first value from `value` on, in the counter's steps, that is neither 0 nor `inUse`. A wrapped
// counter meets the values it handed out before; one still held by a call or line would make that one
// answer for two. `value` itself when every value is in use, which the table's size rules out.
template <typename InUse>
plat::DWORD FirstFree(plat::DWORD value, plat::DWORD mask, InUse inUse) {
  plat::DWORD candidate = value;
  for (uint64_t tried = 0; tried <= mask / 4; ++tried) {
    if (candidate != 0 && !inUse(candidate)) return candidate;
    candidate = Step(candidate, mask);
  }
  return value;
}

bool TapiCallInUse(plat::DWORD handle) {
  return FindUsed([handle](const CallRecord& call) { return call.TapiCall == handle; }) >= 0;
}

bool DrvCallInUse(plat::DWORD number) {
  return FindUsed([number](const CallRecord& call) { return call.DrvClientCall == number; }) >= 0;
}

bool HtLineInUse(plat::DWORD handle) { return line_lookup::ByHtLine(handle) != nullptr; }

// Set while the LINE_NEWCALL step advances the counters past the values it has just entered its call
// under: those are the call's own, not values a client named since the last draw.
bool g_drawingEnteredValues = false;

// The creating request the main thread has in hand, and what its completion said if it came already.
struct Creation {
  bool open;
  plat::DWORD request;
  bool settled;
  bool failed;
};
Creation g_creation;

}  // namespace

int CServiceWindow::InsertCall(CLineObject* pLine, plat::DWORD DrvBaseCall, plat::DWORD DrvClientCall,
                               plat::DWORD TapiCall, plat::DWORD ClientTapiCall, plat::DWORD dwOrigin) {
  LogMessage(kLogTrace, "CServiceWindow::InsertCall Line %d 0x%08X 0x%08X 0x%08X",
             pLine ? pLine->GetDeviceID() : 0, DrvBaseCall, DrvClientCall, TapiCall);
  // Provider handle 0 is what marks a free entry: such a call cannot be told from no call.
  if (DrvBaseCall == 0) return -1;
  plat::CriticalSectionLock lock(&m_csTapiCall);
  int position = FindBase(DrvBaseCall);
  if (position >= 0) return position;
  for (position = 0; position < kCallTableSize; ++position) {
    CallRecord& call = CallTable[position];
    if (call.DrvBaseCall != 0) continue;
    call.DrvBaseCall = DrvBaseCall;
    call.DrvClientCall = DrvClientCall;
    call.TapiCall = TapiCall;
    call.ClientTapiCall = ClientTapiCall;
    call.bNewCallSent = 0;
    call.pLine = pLine;
    call.dwOrigin = g_bFeatureOrigin ? dwOrigin : 0;
    return position;
  }
  LogMessage(kLogError, "CServiceWindow::InsertCall: call table full, call 0x%08X not entered", DrvBaseCall);
  return -1;
}

void CServiceWindow::RemoveDrvBaseCall(plat::DWORD DrvBaseCall) {
  LogMessage(kLogTrace, "CServiceWindow::RemoveDrvBaseCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  Clear(FindBase(DrvBaseCall));
}

void CServiceWindow::RemoveTapiCall(plat::DWORD TapiCall) {
  LogMessage(kLogTrace, "CServiceWindow::RemoveTapiCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  Clear(FindUsed([TapiCall](const CallRecord& call) { return call.TapiCall == TapiCall; }));
}

int CServiceWindow::GetPosFromTapiCall(plat::DWORD TapiCall) {
  LogMessage(kLogTrace, "CServiceWindow::GetPosFromTapiCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  return FindUsed([TapiCall](const CallRecord& call) { return call.TapiCall == TapiCall; });
}

int CServiceWindow::GetPosFromDrvClientCall(plat::DWORD DrvClientCall) {
  LogMessage(kLogTrace, "CServiceWindow::GetPosFromDrvClientCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  return FindUsed([DrvClientCall](const CallRecord& call) { return call.DrvClientCall == DrvClientCall; });
}

int CServiceWindow::GetPosFromDrvBaseCall(plat::DWORD DrvBaseCall) {
  LogMessage(kLogTrace, "CServiceWindow::GetPosFromDrvBaseCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  return FindBase(DrvBaseCall);
}

void CServiceWindow::ClearCallsOfLine(const CLineObject* line) {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  for (int position = 0; position < kCallTableSize; ++position)
    if (CallTable[position].DrvBaseCall != 0 && CallTable[position].pLine == line) Clear(position);
}

plat::DWORD CServiceWindow::IncrementTapiCall() {
  LogMessage(kLogTrace, "CServiceWindow::IncrementTapiCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  const plat::DWORD handle = g_drawingEnteredValues ? m_dwNextTapiCall : PeekTapiCall();
  m_dwNextTapiCall = FirstFree(Step(handle, kTapiCallMask), kTapiCallMask, TapiCallInUse);
  return handle;
}

plat::DWORD CServiceWindow::PeekTapiCall() {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  // A client may have named the handle for its own call since the last draw.
  m_dwNextTapiCall = FirstFree(m_dwNextTapiCall, kTapiCallMask, TapiCallInUse);
  return m_dwNextTapiCall;
}

plat::DWORD CServiceWindow::IncrementDrvCall() {
  LogMessage(kLogTrace, "CServiceWindow::IncrementDrvCall");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  const plat::DWORD number = g_drawingEnteredValues ? m_dwNextDrvCall : PeekDrvCall();
  m_dwNextDrvCall = FirstFree(Step(number, kDrvCallMask), kDrvCallMask, DrvCallInUse);
  return number;
}

plat::DWORD CServiceWindow::PeekDrvCall() {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  // A client may have chosen the number for its own call since the last draw.
  m_dwNextDrvCall = FirstFree(m_dwNextDrvCall, kDrvCallMask, DrvCallInUse);
  return m_dwNextDrvCall;
}

int CServiceWindow::InsertAnnouncedCall(CLineObject* pLine, plat::DWORD DrvBaseCall) {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  const int position = InsertCall(pLine, DrvBaseCall, PeekDrvCall(), PeekTapiCall(), 0, 0);
  // Entered first, then drawn: the draws give exactly the values just entered, and a table that took
  // no entry advances the counters all the same.
  g_drawingEnteredValues = true;
  IncrementDrvCall();
  IncrementTapiCall();
  g_drawingEnteredValues = false;
  return position;
}

plat::DWORD CServiceWindow::IncrementHtLine() {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  const plat::DWORD handle = FirstFree(m_dwNextHtLine, kHtLineMask, HtLineInUse);
  m_dwNextHtLine = Step(handle, kHtLineMask);
  return handle;
}

void CServiceWindow::BeginCreation(plat::DWORD request) {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  g_creation = {true, request, false, false};
}

void CServiceWindow::EndCreation() {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  g_creation = {};
}

int CServiceWindow::InsertCreatedCall(CLineObject* pLine, plat::DWORD DrvBaseCall, plat::DWORD DrvClientCall,
                                      plat::DWORD TapiCall, plat::DWORD dwOrigin) {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  if (g_creation.settled && g_creation.failed) {
    LogMessage(kLogInfo,
               "CServiceWindow::InsertCreatedCall: request %u already failed, call 0x%08X not entered",
               g_creation.request, DrvBaseCall);
    return -1;
  }
  const bool known = FindBase(DrvBaseCall) >= 0;
  const int position = InsertCall(pLine, DrvBaseCall, DrvClientCall, TapiCall, TapiCall, dwOrigin);
  // A call that was in the table before is not this request's to free.
  if (position >= 0 && !known && !g_creation.settled) {
    CallTable[position].dwCreation = kCreationPending;
    CallTable[position].dwCreatingRequest = g_creation.request;
  }
  return position;
}

bool CServiceWindow::SettleCreation(plat::DWORD request, plat::LONG result) {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  const bool failed = result < 0;
  if (g_creation.open && g_creation.request == request) {
    g_creation.settled = true;
    g_creation.failed = failed;
  }
  bool toFree = false;
  for (CallRecord& call : CallTable) {
    if (call.DrvBaseCall == 0 || call.dwCreation != kCreationPending || call.dwCreatingRequest != request)
      continue;
    call.dwCreation = failed ? kCreationFailed : kCreationSettled;
    toFree = toFree || failed;
  }
  return toFree;
}

void CServiceWindow::FreeFailedCreations() {
  LogMessage(kLogTrace, "CServiceWindow::FreeFailedCreations");
  plat::CriticalSectionLock lock(&m_csTapiCall);
  for (int position = 0; position < kCallTableSize; ++position) {
    CallRecord& call = CallTable[position];
    if (call.DrvBaseCall == 0 || call.dwCreation != kCreationFailed) continue;
    // A call the client has heard of goes the way of its states, as the provider reports them.
    if (call.bNewCallSent)
      call.dwCreation = kCreationSettled;
    else
      Clear(position);
  }
}
