// The call commands on existing calls, and the making of a call.
#include "ToolFunktion.h"
#include "commands.h"
#include "provider.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

namespace {

plat::DWORD Number(const char* field) { return static_cast<plat::DWORD>(CServiceWindow::ReadNumber(field)); }

void Reply(CommandFields f, plat::LONG result) { CServiceWindow::SendLineReply(Number(f[1]), result); }

// The record of the client's call number, or null.
CallRecord* CallOf(const char* field) {
  int position = CServiceWindow::GetPosFromDrvClientCall(Number(field));
  return position < 0 ? nullptr : &CServiceWindow::CallTable[position];
}

// A request the provider finishes later: only a refusal is answered now.
void Pending(CommandFields f, plat::LONG result) {
  if (result < 0) Reply(f, result);
}

// The shape of the commands on one existing call: the entry point is there, the call is known, then the
// provider is asked with the request and the call's handle.
template <typename EntryPoint, typename Call>
void OnCall(CommandFields f, EntryPoint entryPoint, Call call) {
  if (entryPoint == nullptr) return Reply(f, static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL));
  CallRecord* record = CallOf(f[2]);
  if (record == nullptr) return Reply(f, static_cast<plat::LONG>(LINEERR_INVALCALLHANDLE));
  Pending(f, call(Number(f[1]), record->DrvBaseCall));
}

// A destination as the provider takes it: UTF-16, at most 31 characters.
struct WideText {
  explicit WideText(const char* text) { TOOLFUNC_string::AnsiToWide(units, text, 31); }
  plat::WCHAR units[32] = {};
};

}  // namespace

namespace commands {

void Drop(CommandFields f) {
  OnCall(f, g_TspiEntryPoints.TSPI_lineDrop, [](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineDrop(request, call, nullptr, 0);
  });
}

void Accept(CommandFields f) {
  OnCall(f, g_TspiEntryPoints.TSPI_lineAccept, [](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineAccept(request, call, nullptr, 0);
  });
}

void Answer(CommandFields f) {
  LogMessage(5, "TSPI_lineAnswer");
  if (g_TspiEntryPoints.TSPI_lineAnswer == nullptr)
    return Reply(f, static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL));
  int position = CServiceWindow::GetPosFromDrvClientCall(Number(f[2]));
  LogMessage(5, " hdDrvClientCall: 0x%08X", Number(f[2]));
  LogMessage(5, " lCallPos: %d", position);
  if (position < 0) return Reply(f, static_cast<plat::LONG>(LINEERR_INVALCALLHANDLE));
  Pending(f, g_TspiEntryPoints.TSPI_lineAnswer(Number(f[1]), CServiceWindow::CallTable[position].DrvBaseCall,
                                               nullptr, 0));
}

void Hold(CommandFields f) { OnCall(f, g_TspiEntryPoints.TSPI_lineHold, g_TspiEntryPoints.TSPI_lineHold); }

void Unhold(CommandFields f) {
  OnCall(f, g_TspiEntryPoints.TSPI_lineUnhold, g_TspiEntryPoints.TSPI_lineUnhold);
}

void RemoveFromConference(CommandFields f) {
  OnCall(f, g_TspiEntryPoints.TSPI_lineRemoveFromConference, g_TspiEntryPoints.TSPI_lineRemoveFromConference);
}

void Dial(CommandFields f) {
  WideText destination(f[3]);
  OnCall(f, g_TspiEntryPoints.TSPI_lineDial, [&destination](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineDial(request, call, destination.units, 0);
  });
}

void Redirect(CommandFields f) {
  WideText destination(f[3]);
  OnCall(f, g_TspiEntryPoints.TSPI_lineRedirect, [&destination](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineRedirect(request, call, destination.units, 0);
  });
}

void BlindTransfer(CommandFields f) {
  WideText destination(f[3]);
  OnCall(f, g_TspiEntryPoints.TSPI_lineBlindTransfer, [&destination](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineBlindTransfer(request, call, destination.units, 0);
  });
}

void AddToConference(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineAddToConference == nullptr)
    return Reply(f, static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL));
  CallRecord* conference = CallOf(f[2]);
  CallRecord* consultation = CallOf(f[3]);
  if (conference == nullptr || consultation == nullptr)
    return Reply(f, static_cast<plat::LONG>(LINEERR_INVALCALLHANDLE));
  Pending(f, g_TspiEntryPoints.TSPI_lineAddToConference(Number(f[1]), conference->DrvBaseCall,
                                                        consultation->DrvBaseCall));
}

void SwapHold(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineSwapHold == nullptr)
    return Reply(f, static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL));
  CallRecord* active = CallOf(f[2]);
  CallRecord* held = CallOf(f[3]);
  if (active == nullptr || held == nullptr || active == held)
    return Reply(f, static_cast<plat::LONG>(LINEERR_INVALCALLHANDLE));
  Pending(f, g_TspiEntryPoints.TSPI_lineSwapHold(Number(f[1]), active->DrvBaseCall, held->DrvBaseCall));
}

void MakeCall(CommandFields f) {
  TOOLFUNC_string::CleanPhoneNumber(f[5]);
  if (g_TspiEntryPoints.TSPI_lineMakeCall == nullptr)
    return Reply(f, static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL));
  plat::DWORD lineNumber = Number(f[2]);
  plat::DWORD serviceHandle = Number(f[3]);
  if (serviceHandle == 0) serviceHandle = CServiceWindow::IncrementTapiCall();
  plat::DWORD callNumber = Number(f[4]);
  HDRVCALL newCall = callNumber;
  WideText destination(f[5]);
  CLineObject* line = CServiceWindow::m_pLineRoot->GetObjectFromClientLine(lineNumber);
  if (line == CServiceWindow::m_pLineRoot || line == nullptr || line->GetHtLine() == 0) {
    CServiceWindow::SendLineReplyText(f[1], static_cast<plat::LONG>(LINEERR_INVALPARAM));
    LogMessage(2, "Invalid Param");
    return;
  }
  plat::LONG result = g_TspiEntryPoints.TSPI_lineMakeCall(Number(f[1]), line->GetHdLine(), serviceHandle,
                                                          &newCall, destination.units, 0, nullptr);
  if (result > 0)
    CServiceWindow::InsertCall(line, newCall, callNumber, serviceHandle, serviceHandle,
                               LINECALLORIGIN_OUTBOUND);
  else
    Reply(f, result);
}

}  // namespace commands
