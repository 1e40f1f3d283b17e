// The call table and the counters that hand out service call handles and client call numbers.
#include <cstring>

#include "ToolFunktion.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

CallRecord CServiceWindow::CallTable[kCallTableSize];
plat::DWORD CServiceWindow::m_dwNextTapiCall = 4;
plat::DWORD CServiceWindow::m_dwNextDrvCall = 0x8004;

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

void Clear(int position) {
  if (position >= 0) std::memset(&CServiceWindow::CallTable[position], 0, sizeof(CallRecord));
}

}  // namespace

int CServiceWindow::InsertCall(CLineObject* pLine, plat::DWORD DrvBaseCall, plat::DWORD DrvClientCall,
                               plat::DWORD TapiCall, plat::DWORD ClientTapiCall, plat::DWORD dwOrigin) {
  LogMessage(5, "CServiceWindow::InsertCall Line %d 0x%08X 0x%08X 0x%08X", pLine ? pLine->GetDeviceID() : 0,
             DrvBaseCall, DrvClientCall, TapiCall);
  // Provider handle 0 is what marks a free entry: such a call cannot be told from no call.
  if (DrvBaseCall == 0) return -1;
  TapiCallLock lock;
  int position = FindUsed([DrvBaseCall](const CallRecord& call) { return call.DrvBaseCall == DrvBaseCall; });
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
  LogMessage(1, "CServiceWindow::InsertCall: call table full, call 0x%08X not entered", DrvBaseCall);
  return -1;
}

void CServiceWindow::RemoveDrvBaseCall(plat::DWORD DrvBaseCall) {
  LogMessage(5, "CServiceWindow::RemoveDrvBaseCall");
  TapiCallLock lock;
  Clear(FindUsed([DrvBaseCall](const CallRecord& call) { return call.DrvBaseCall == DrvBaseCall; }));
}

void CServiceWindow::RemoveTapiCall(plat::DWORD TapiCall) {
  LogMessage(5, "CServiceWindow::RemoveTapiCall");
  TapiCallLock lock;
  Clear(FindUsed([TapiCall](const CallRecord& call) { return call.TapiCall == TapiCall; }));
}

int CServiceWindow::GetPosFromTapiCall(plat::DWORD TapiCall) {
  LogMessage(5, "CServiceWindow::GetPosFromTapiCall");
  TapiCallLock lock;
  return FindUsed([TapiCall](const CallRecord& call) { return call.TapiCall == TapiCall; });
}

int CServiceWindow::GetPosFromDrvClientCall(plat::DWORD DrvClientCall) {
  LogMessage(5, "CServiceWindow::GetPosFromDrvClientCall");
  TapiCallLock lock;
  return FindUsed([DrvClientCall](const CallRecord& call) { return call.DrvClientCall == DrvClientCall; });
}

int CServiceWindow::GetPosFromDrvBaseCall(plat::DWORD DrvBaseCall) {
  LogMessage(5, "CServiceWindow::GetPosFromDrvBaseCall");
  TapiCallLock lock;
  return FindUsed([DrvBaseCall](const CallRecord& call) { return call.DrvBaseCall == DrvBaseCall; });
}

void CServiceWindow::ClearCallsOfLine(const CLineObject* line) {
  TapiCallLock lock;
  for (int position = 0; position < kCallTableSize; ++position)
    if (CallTable[position].DrvBaseCall != 0 && CallTable[position].pLine == line) Clear(position);
}

plat::DWORD CServiceWindow::IncrementTapiCall() {
  LogMessage(5, "CServiceWindow::IncrementTapiCall");
  TapiCallLock lock;
  plat::DWORD handle = m_dwNextTapiCall;
  m_dwNextTapiCall = (m_dwNextTapiCall + 4) & 0x7FFF;
  if (m_dwNextTapiCall == 0) m_dwNextTapiCall = 4;
  return handle;
}

plat::DWORD CServiceWindow::IncrementDrvCall() {
  LogMessage(5, "CServiceWindow::IncrementDrvCall");
  TapiCallLock lock;
  plat::DWORD number = m_dwNextDrvCall;
  // Past 0xFFFC the numbers start again from 0; 0 means no call, and a number a call still has would
  // make two calls answer to it.
  plat::DWORD next = number;
  do {
    next = (next + 4) & 0xFFFF;
  } while (
      (next == 0 || FindUsed([next](const CallRecord& call) { return call.DrvClientCall == next; }) >= 0) &&
      next != number);
  m_dwNextDrvCall = next;
  return number;
}
