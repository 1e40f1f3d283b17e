// The call commands on existing calls, and the making of a call.
#include "ToolFunktion.h"
#include "commands.h"
#include "line_lookup.h"
#include "provider.h"
#include "service_window.h"

using commands::kRequest;
using TOOLFUNC_debug::LogMessage;

namespace {

constexpr plat::LONG kOperationUnavailable = static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL);
constexpr plat::LONG kInvalidCallHandle = static_cast<plat::LONG>(LINEERR_INVALCALLHANDLE);

plat::DWORD Number(const char* field) { return static_cast<plat::DWORD>(CServiceWindow::ReadNumber(field)); }

void Reply(CommandFields f, plat::LONG result) { CServiceWindow::SendLineReply(Number(f[kRequest]), result); }

// The record of the call the client numbered so, or null.
CallRecord* CallByClientNumber(const char* field) {
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
void OnCall(CommandFields f, const char* callNumber, EntryPoint entryPoint, Call call) {
  if (entryPoint == nullptr) return Reply(f, kOperationUnavailable);
  CallRecord* record = CallByClientNumber(callNumber);
  if (record == nullptr) return Reply(f, kInvalidCallHandle);
  Pending(f, call(Number(f[kRequest]), record->DrvBaseCall));
}

// A destination as the provider takes it: UTF-16, at most 31 characters.
struct WideText {
  explicit WideText(const char* text) { TOOLFUNC_string::AnsiToWide(units, text, 31); }
  plat::WCHAR units[32] = {};
};

// The commands that send a call to a destination; the three entry points take the same arguments.
void OnCallTo(CommandFields f, const char* callNumber, const char* destinationField,
              PFN_TSPI_lineDial entryPoint) {
  WideText destination(destinationField);
  OnCall(f, callNumber, entryPoint, [entryPoint, &destination](DRV_REQUESTID request, HDRVCALL call) {
    return entryPoint(request, call, destination.units, 0);
  });
}

// The provider writes the handles of new calls here. Each command has its own, and the main thread
// runs one command at a time, so each serves one provider call at a time.
HDRVCALL g_hdMakeCall;
HDRVCALL g_hdPickupCall;
HDRVCALL g_hdPrepareConsultCall;
HDRVCALL g_hdTransferConsultCall;
HDRVCALL g_hdSetupConfCall;
HDRVCALL g_hdSetupConsultCall;
HDRVCALL g_hdCompleteConfCall;
plat::DWORD g_dwCompletionID;

// The service call handle of a field; 0 asks for a new one.
plat::DWORD ServiceHandle(const char* field) {
  plat::DWORD handle = Number(field);
  return handle != 0 ? handle : CServiceWindow::IncrementTapiCall();
}

// A request that creates calls: a pending result has entered them, anything else is answered now.
void Creating(CommandFields f, plat::LONG result) {
  if (result <= 0) Reply(f, result);
}

// A creating request from its provider call to the entering of its calls: its completion may come
// on the provider's thread before they are entered.
class Creation {
 public:
  explicit Creation(CommandFields f) { CServiceWindow::BeginCreation(Number(f[kRequest])); }
  ~Creation() { CServiceWindow::EndCreation(); }
  Creation(const Creation&) = delete;
  Creation& operator=(const Creation&) = delete;
};

// The new call of a pending request, under the number the client chose for it.
void Enter(plat::LONG result, CLineObject* line, HDRVCALL handle, plat::DWORD callNumber,
           plat::DWORD serviceHandle, plat::DWORD origin) {
  if (result > 0) CServiceWindow::InsertCreatedCall(line, handle, callNumber, serviceHandle, origin);
}

// A consultation call made from a call (to a conference or for a transfer): it is entered on the call's
// line under the number the client chose. Both entry points take the same arguments.
void Consultation(CommandFields f, const char* fromCall, const char* serviceHandleField,
                  const char* newCallNumber, PFN_TSPI_lineSetupTransfer entryPoint,
                  HDRVCALL& handleVariable) {
  if (entryPoint == nullptr) return Reply(f, kOperationUnavailable);
  plat::DWORD serviceHandle = ServiceHandle(serviceHandleField);
  plat::DWORD callNumber = Number(newCallNumber);
  handleVariable = callNumber;
  CallRecord* call = CallByClientNumber(fromCall);
  if (call == nullptr) return Reply(f, kInvalidCallHandle);
  Creation creation(f);
  plat::LONG result =
      entryPoint(Number(f[kRequest]), call->DrvBaseCall, serviceHandle, &handleVariable, nullptr);
  Enter(result, call->pLine, handleVariable, callNumber, serviceHandle, LINECALLORIGIN_OUTBOUND);
  Creating(f, result);
}

}  // namespace

namespace commands {

void Drop::Handle(CommandFields f) {
  OnCall(f, f[kCallNumber], g_TspiEntryPoints.TSPI_lineDrop, [](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineDrop(request, call, nullptr, 0);
  });
}

void Accept::Handle(CommandFields f) {
  OnCall(f, f[kCallNumber], g_TspiEntryPoints.TSPI_lineAccept, [](DRV_REQUESTID request, HDRVCALL call) {
    return g_TspiEntryPoints.TSPI_lineAccept(request, call, nullptr, 0);
  });
}

void Answer::Handle(CommandFields f) {
  LogMessage(kLogTrace, "TSPI_lineAnswer");
  if (g_TspiEntryPoints.TSPI_lineAnswer == nullptr) return Reply(f, kOperationUnavailable);
  int position = CServiceWindow::GetPosFromDrvClientCall(Number(f[kCallNumber]));
  LogMessage(kLogTrace, " hdDrvClientCall: 0x%08X", Number(f[kCallNumber]));
  LogMessage(kLogTrace, " lCallPos: %d", position);
  if (position < 0) return Reply(f, kInvalidCallHandle);
  Pending(f, g_TspiEntryPoints.TSPI_lineAnswer(Number(f[kRequest]),
                                               CServiceWindow::CallTable[position].DrvBaseCall, nullptr, 0));
}

void Hold::Handle(CommandFields f) {
  OnCall(f, f[kCallNumber], g_TspiEntryPoints.TSPI_lineHold, g_TspiEntryPoints.TSPI_lineHold);
}

void Unhold::Handle(CommandFields f) {
  OnCall(f, f[kCallNumber], g_TspiEntryPoints.TSPI_lineUnhold, g_TspiEntryPoints.TSPI_lineUnhold);
}

void RemoveFromConference::Handle(CommandFields f) {
  OnCall(f, f[kCallNumber], g_TspiEntryPoints.TSPI_lineRemoveFromConference,
         g_TspiEntryPoints.TSPI_lineRemoveFromConference);
}

void Dial::Handle(CommandFields f) {
  OnCallTo(f, f[kCallNumber], f[kDestination], g_TspiEntryPoints.TSPI_lineDial);
}

void Redirect::Handle(CommandFields f) {
  OnCallTo(f, f[kCallNumber], f[kDestination], g_TspiEntryPoints.TSPI_lineRedirect);
}

void BlindTransfer::Handle(CommandFields f) {
  OnCallTo(f, f[kCallNumber], f[kDestination], g_TspiEntryPoints.TSPI_lineBlindTransfer);
}

void AddToConference::Handle(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineAddToConference == nullptr) return Reply(f, kOperationUnavailable);
  CallRecord* conference = CallByClientNumber(f[kConferenceCall]);
  CallRecord* consultation = CallByClientNumber(f[kConsultationCall]);
  if (conference == nullptr || consultation == nullptr) return Reply(f, kInvalidCallHandle);
  Pending(f, g_TspiEntryPoints.TSPI_lineAddToConference(Number(f[kRequest]), conference->DrvBaseCall,
                                                        consultation->DrvBaseCall));
}

void SwapHold::Handle(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineSwapHold == nullptr) return Reply(f, kOperationUnavailable);
  CallRecord* active = CallByClientNumber(f[kActiveCall]);
  CallRecord* held = CallByClientNumber(f[kHeldCall]);
  if (active == nullptr || held == nullptr || active == held) return Reply(f, kInvalidCallHandle);
  Pending(f,
          g_TspiEntryPoints.TSPI_lineSwapHold(Number(f[kRequest]), active->DrvBaseCall, held->DrvBaseCall));
}

void MakeCall::Handle(CommandFields f) {
  TOOLFUNC_string::CleanPhoneNumber(f[kDestination]);
  if (g_TspiEntryPoints.TSPI_lineMakeCall == nullptr) return Reply(f, kOperationUnavailable);
  plat::DWORD serviceHandle = ServiceHandle(f[kServiceHandle]);
  plat::DWORD callNumber = Number(f[kNewCallNumber]);
  g_hdMakeCall = callNumber;
  WideText destination(f[kDestination]);
  CLineObject* line = line_lookup::ByClientNumber(Number(f[kLineNumber]));
  if (line == nullptr) return InvalidParam(f[kRequest]);
  Creation creation(f);
  plat::LONG result = g_TspiEntryPoints.TSPI_lineMakeCall(
      Number(f[kRequest]), line->GetHdLine(), serviceHandle, &g_hdMakeCall, destination.units, 0, nullptr);
  Enter(result, line, g_hdMakeCall, callNumber, serviceHandle, LINECALLORIGIN_OUTBOUND);
  Creating(f, result);
}

void Pickup::Handle(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_linePickup == nullptr) return Reply(f, kOperationUnavailable);
  plat::DWORD serviceHandle = ServiceHandle(f[kServiceHandle]);
  plat::DWORD callNumber = Number(f[kNewCallNumber]);
  g_hdPickupCall = callNumber;
  WideText destination(f[kDestination]);
  WideText group(f[kGroupId]);
  CLineObject* line = line_lookup::ByClientNumber(Number(f[kLineNumber]));
  if (line == nullptr) return InvalidParam(f[kRequest], kLogError);
  Creation creation(f);
  plat::LONG result =
      g_TspiEntryPoints.TSPI_linePickup(Number(f[kRequest]), line->GetHdLine(), Number(f[kAddressId]),
                                        serviceHandle, &g_hdPickupCall, destination.units, group.units);
  Enter(result, line, g_hdPickupCall, callNumber, serviceHandle, LINECALLORIGIN_INBOUND);
  Creating(f, result);
}

void PrepareAddToConference::Handle(CommandFields f) {
  Consultation(f, f[kConferenceCall], f[kServiceHandle], f[kNewConsultationCall],
               g_TspiEntryPoints.TSPI_linePrepareAddToConference, g_hdPrepareConsultCall);
}

void SetupTransfer::Handle(CommandFields f) {
  Consultation(f, f[kCallNumber], f[kServiceHandle], f[kNewConsultationCall],
               g_TspiEntryPoints.TSPI_lineSetupTransfer, g_hdTransferConsultCall);
}

void SetupConference::Handle(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineSetupConference == nullptr) return Reply(f, kOperationUnavailable);
  HDRVLINE lineHandle = Number(f[kLineHandleValue]);
  plat::DWORD conferenceHandle = ServiceHandle(f[kConferenceServiceHandle]);
  plat::DWORD conferenceNumber = Number(f[kNewConferenceCall]);
  g_hdSetupConfCall = conferenceNumber;
  plat::DWORD consultationHandle = ServiceHandle(f[kConsultationServiceHandle]);
  plat::DWORD consultationNumber = Number(f[kNewConsultationCall]);
  plat::DWORD parties = Number(f[kParties]);
  g_hdSetupConsultCall = consultationNumber;
  CallRecord* call = CallByClientNumber(f[kCallNumber]);
  if (call == nullptr) return Reply(f, kInvalidCallHandle);
  Creation creation(f);
  plat::LONG result = g_TspiEntryPoints.TSPI_lineSetupConference(
      Number(f[kRequest]), call->DrvBaseCall, lineHandle, conferenceHandle, &g_hdSetupConfCall,
      consultationHandle, &g_hdSetupConsultCall, parties, nullptr);
  CLineObject* line = call->pLine;
  Enter(result, line, g_hdSetupConfCall, conferenceNumber, conferenceHandle, LINECALLORIGIN_CONFERENCE);
  Enter(result, line, g_hdSetupConsultCall, consultationNumber, consultationHandle, LINECALLORIGIN_OUTBOUND);
  Creating(f, result);
}

void CompleteTransfer::Handle(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineCompleteTransfer == nullptr) return Reply(f, kOperationUnavailable);
  CallRecord* call = CallByClientNumber(f[kCallNumber]);
  CallRecord* consultation = CallByClientNumber(f[kConsultationCall]);
  if (call == nullptr || consultation == nullptr) return Reply(f, kInvalidCallHandle);
  plat::DWORD serviceHandle = ServiceHandle(f[kConferenceServiceHandle]);
  plat::DWORD conferenceNumber = Number(f[kNewConferenceCall]);
  g_hdCompleteConfCall = conferenceNumber;
  plat::DWORD mode = Number(f[kTransferMode]);
  Creation creation(f);
  plat::LONG result = g_TspiEntryPoints.TSPI_lineCompleteTransfer(Number(f[kRequest]), call->DrvBaseCall,
                                                                  consultation->DrvBaseCall, serviceHandle,
                                                                  &g_hdCompleteConfCall, mode);
  if (mode & LINETRANSFERMODE_CONFERENCE)
    Enter(result, call->pLine, g_hdCompleteConfCall, conferenceNumber, serviceHandle,
          LINECALLORIGIN_CONFERENCE);
  Creating(f, result);
}

void CompleteCall::Handle(CommandFields f) {
  OnCall(f, f[kCallNumber], g_TspiEntryPoints.TSPI_lineCompleteCall,
         [f](DRV_REQUESTID request, HDRVCALL call) {
           g_dwCompletionID = Number(f[kCompletionId]);
           return g_TspiEntryPoints.TSPI_lineCompleteCall(request, call, &g_dwCompletionID,
                                                          Number(f[kCompletionMode]), Number(f[kMessageId]));
         });
}

void GenerateDigits::Handle(CommandFields f) {
  plat::DWORD endToEnd = Number(f[kEndToEndId]);
  plat::DWORD digitMode = Number(f[kDigitMode]);
  plat::DWORD duration = Number(f[kDuration]);
  WideText digits(f[kDigits]);
  CallRecord* call = CallByClientNumber(f[kCallNumber]);
  if (g_TspiEntryPoints.TSPI_lineGenerateDigits == nullptr) return Reply(f, kOperationUnavailable);
  if (call == nullptr) return Reply(f, static_cast<plat::LONG>(LINEERR_OPERATIONFAILED));
  CServiceWindow::SendLineReplyText(
      f[kRequest], g_TspiEntryPoints.TSPI_lineGenerateDigits(call->DrvBaseCall, endToEnd, digitMode,
                                                             digits.units, duration));
}

}  // namespace commands
