// The request replies and the line, address and status lines built from the provider's structures.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "plat/time.h"
#include "provider.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

namespace {

constexpr size_t kStatusLineCharacters = 1022;
constexpr size_t kStatusPieceCharacters = 510;

unsigned AsUnsigned(plat::LONG value) { return static_cast<unsigned>(value); }

plat::DWORD ReadDword(const unsigned char* place) {
  plat::DWORD value = 0;
  std::memcpy(&value, place, sizeof(value));
  return value;
}

void WriteDword(unsigned char* place, plat::DWORD value) { std::memcpy(place, &value, sizeof(value)); }

// The forward entries as " <count>" and " <mode> \"<destination>\"" per entry. The list's offset and
// count come from the provider: only entries wholly inside the structure buffer are read, and the
// count on the line is the number of entries that follow it.
void AppendForwardList(char* line, LINEADDRESSSTATUS* status) {
  const plat::DWORD entrySize = ForwardEntrySize();
  const plat::DWORD listOffset = status->dwForwardOffset;
  const plat::DWORD fitting = listOffset < CServiceWindow::kStructBufferSize
                                  ? (CServiceWindow::kStructBufferSize - listOffset) / entrySize
                                  : 0;
  const plat::DWORD entries = std::min(status->dwForwardNumEntries, fitting);
  char piece[kStatusPieceCharacters + 2];
  std::snprintf(piece, kStatusPieceCharacters + 1, " %u", entries);
  plat::BoundedAppend(line, kStatusLineCharacters + 1, piece);
  auto* base = reinterpret_cast<unsigned char*>(status);
  for (plat::DWORD index = 0; index < entries; ++index) {
    unsigned char* entry = base + listOffset + index * entrySize;
    if (ReadDword(entry) == 0) WriteDword(entry, LINEFORWARDMODE_UNCOND);
    const char* destination =
        CServiceWindow::GetStructText(status, ReadDword(entry + offsetof(LINEFORWARD, dwDestAddressOffset)),
                                      ReadDword(entry + offsetof(LINEFORWARD, dwDestAddressSize)));
    std::snprintf(piece, kStatusPieceCharacters + 1, " %u \"%s\"", ReadDword(entry), destination);
    plat::BoundedAppend(line, kStatusLineCharacters + 1, piece);
  }
}

}  // namespace

void CServiceWindow::SendLineReply(plat::DWORD request, plat::LONG result) {
  SendBack("LINE_REPLY %u %u", request, AsUnsigned(result));
  LogMessage(4, " ");
}

void CServiceWindow::SendLineReplyText(const char* request, plat::LONG result) {
  SendBack("LINE_REPLY %s %u", request, AsUnsigned(result));
  LogMessage(4, " ");
}

plat::LONG CServiceWindow::SendDevCaps(CLineObject* line, const char* request) {
  LogMessage(5, "CServiceWindow::SendDevCaps");
  LINEDEVCAPS* caps = nullptr;
  if (plat::LONG result = QueryDevCaps(*line, &caps); result != 0) return result;
  SendBack(
      "SetLINEDEVCAPS %s %s \"CSTA Server\" %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u 0 0 0 %u %u %u %u "
      "%u %u %u "
      "%u %u %u %u %u %u %u %u %u \"tapi/line\"",
      request, line->GetAddress(), caps->dwStringFormat, caps->dwAddressModes, caps->dwNumAddresses,
      caps->dwBearerModes, caps->dwMaxRate, caps->dwMediaModes, caps->dwGenerateToneModes,
      caps->dwGenerateToneMaxNumFreq, caps->dwGenerateDigitModes, caps->dwMonitorToneMaxNumFreq,
      caps->dwMonitorToneMaxNumEntries, caps->dwMonitorDigitModes, caps->dwGatherDigitsMinTimeout,
      caps->dwGatherDigitsMaxTimeout, caps->dwMedCtlCallStateMaxListSize, caps->dwDevCapFlags,
      caps->dwMaxNumActiveCalls, caps->dwAnswerMode, caps->dwRingModes, caps->dwLineStates,
      caps->dwUUIAcceptSize, caps->dwUUIAnswerSize, caps->dwUUIMakeCallSize, caps->dwUUIDropSize,
      caps->dwUUISendUserUserInfoSize, caps->dwUUICallInfoSize, caps->dwNumTerminals, 0u, 0u,
      caps->dwLineFeatures, caps->dwSettableDevStatus);
  return 0;
}

plat::LONG CServiceWindow::SendAddressCaps(CLineObject* line, const char* request) {
  LogMessage(5, "CServiceWindow::SendAddressCaps");
  LINEADDRESSCAPS* caps = nullptr;
  if (plat::LONG result = QueryAddressCaps(*line, &caps); result != 0) return result;
  SendBack(
      "SetLINEADDRESSCAPS %s %s %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u "
      "%u %u %u "
      "%u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u %u",
      request, line->GetAddress(), caps->dwAddressSharing, caps->dwAddressStates, caps->dwCallInfoStates,
      caps->dwCallerIDFlags, caps->dwCalledIDFlags, caps->dwConnectedIDFlags, caps->dwRedirectionIDFlags,
      caps->dwRedirectingIDFlags, caps->dwCallStates, caps->dwDialToneModes, caps->dwBusyModes,
      caps->dwSpecialInfo, caps->dwDisconnectModes, caps->dwMaxNumActiveCalls, caps->dwMaxNumOnHoldCalls,
      caps->dwMaxNumOnHoldPendingCalls, caps->dwMaxNumConference, caps->dwMaxNumTransConf,
      caps->dwAddrCapFlags, caps->dwCallFeatures, caps->dwRemoveFromConfCaps, caps->dwRemoveFromConfState,
      caps->dwTransferModes, caps->dwParkModes, caps->dwForwardModes, caps->dwMaxForwardEntries,
      caps->dwMaxSpecificEntries, caps->dwMinFwdNumRings, caps->dwMaxFwdNumRings, caps->dwMaxCallCompletions,
      caps->dwCallCompletionConds, caps->dwCallCompletionModes, caps->dwNumCompletionMessages,
      caps->dwCompletionMsgTextEntrySize, 0u, 0u, caps->dwAddressFeatures,
      caps->dwPredictiveAutoTransferStates, caps->dwNumCallTreatments, 0u, 0u, 0u, 0u,
      caps->dwMaxCallDataSize, caps->dwCallFeatures2, caps->dwMaxNoAnswerTimeout, caps->dwConnectedModes,
      caps->dwOfferingModes, caps->dwAvailableMediaModes);
  return 0;
}

plat::LONG CServiceWindow::SendAddressStatus(CLineObject* line, plat::DWORD addressId, plat::DWORD states,
                                             bool sendEvent) {
  LogMessage(5, "CServiceWindow::SendAddressStatus");
  plat::LONG result = static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL);
  auto* status = static_cast<LINEADDRESSSTATUS*>(PrepareStructBuffer());
  if (g_TspiEntryPoints.TSPI_lineGetAddressStatus != nullptr)
    result = g_TspiEntryPoints.TSPI_lineGetAddressStatus(line->GetHdLine(), addressId, status);
  if (result == 0) {
    char statusLine[kStatusLineCharacters + 2];
    std::snprintf(statusLine, kStatusLineCharacters + 1, "SetLINEADDRESSSTATUS %u %u", line->GetClientLine(),
                  states);
    char piece[kStatusPieceCharacters + 2];
    if (states & LINEADDRESSSTATE_OTHER) {
      std::snprintf(piece, kStatusPieceCharacters + 1, " %u", status->dwAddressFeatures);
      plat::BoundedAppend(statusLine, kStatusLineCharacters + 1, piece);
    }
    if (states & LINEADDRESSSTATE_INUSEONE) {
      std::snprintf(piece, kStatusPieceCharacters + 1, " %u", status->dwNumInUse);
      plat::BoundedAppend(statusLine, kStatusLineCharacters + 1, piece);
    }
    if (states & LINEADDRESSSTATE_NUMCALLS) {
      std::snprintf(piece, kStatusPieceCharacters + 1, " %u %u %u", status->dwNumActiveCalls,
                    status->dwNumOnHoldCalls, status->dwNumOnHoldPendCalls);
      plat::BoundedAppend(statusLine, kStatusLineCharacters + 1, piece);
    }
    if (states & LINEADDRESSSTATE_FORWARD) AppendForwardList(statusLine, status);
    SendBack("%s", statusLine);
    plat::Sleep(0);
  }
  if (sendEvent) {
    SendBack("LINE_ADDRESSSTATE %u 0 0 %u 0", line->GetClientLine(), states);
    plat::Sleep(0);
  }
  return result;
}

void CServiceWindow::SendLineDevStatus(CLineObject* line, plat::DWORD states, plat::DWORD_PTR param2,
                                       plat::DWORD_PTR param3, bool sendEvent) {
  LogMessage(5, "CServiceWindow::SendLineDevStatus");
  plat::DWORD lineFeatures = 0;
  if (g_TspiEntryPoints.TSPI_lineGetLineDevStatus != nullptr) {
    auto* status = static_cast<LINEDEVSTATUS*>(PrepareStructBuffer());
    if (g_TspiEntryPoints.TSPI_lineGetLineDevStatus(line->GetHdLine(), status) == 0)
      lineFeatures = status->dwLineFeatures;
  }
  SendBack("SetLINEDEVSTATUS %u %u %u", line->GetClientLine(), states, lineFeatures);
  plat::Sleep(0);
  if (sendEvent) {
    SendBack("LINE_LINEDEVSTATE %u %u %u %u", line->GetClientLine(), states, static_cast<unsigned>(param2),
             static_cast<unsigned>(param3));
    plat::Sleep(0);
  }
}
