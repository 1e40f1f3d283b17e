// The request replies and the line, address and status lines built from the provider's structures.
#include <algorithm>
#include <cstddef>
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
  plat::BoundedFormat(piece, kStatusPieceCharacters + 1, " %u", entries);
  plat::BoundedAppend(line, kStatusLineCharacters + 1, piece);
  auto* base = reinterpret_cast<unsigned char*>(status);
  for (plat::DWORD index = 0; index < entries; ++index) {
    unsigned char* entry = base + listOffset + index * entrySize;
    if (ReadDword(entry) == 0) WriteDword(entry, LINEFORWARDMODE_UNCOND);
    const char* destination =
        CServiceWindow::GetStructText(status, ReadDword(entry + offsetof(LINEFORWARD, dwDestAddressOffset)),
                                      ReadDword(entry + offsetof(LINEFORWARD, dwDestAddressSize)));
    plat::BoundedFormat(piece, kStatusPieceCharacters + 1, " %u \"%s\"", ReadDword(entry), destination);
    plat::BoundedAppend(line, kStatusLineCharacters + 1, piece);
  }
}

}  // namespace

void CServiceWindow::SendLineReply(plat::DWORD request, plat::LONG result) {
  SendBack("LINE_REPLY %u %u", request, AsUnsigned(result));
  LogMessage(kLogDetail, " ");
}

void CServiceWindow::SendLineReplyText(const char* request, plat::LONG result) {
  SendBack("LINE_REPLY %s %u", request, AsUnsigned(result));
  LogMessage(kLogDetail, " ");
}

namespace {

// The fields of the "SetLINEDEVCAPS" line after its fixed texts, in the order of the protocol; null is a 0
// that the line keeps in the place of a field it does not send.
constexpr plat::DWORD LINEDEVCAPS::*const kDevCapsFields[] = {
    &LINEDEVCAPS::dwStringFormat,
    &LINEDEVCAPS::dwAddressModes,
    &LINEDEVCAPS::dwNumAddresses,
    &LINEDEVCAPS::dwBearerModes,
    &LINEDEVCAPS::dwMaxRate,
    &LINEDEVCAPS::dwMediaModes,
    &LINEDEVCAPS::dwGenerateToneModes,
    &LINEDEVCAPS::dwGenerateToneMaxNumFreq,
    &LINEDEVCAPS::dwGenerateDigitModes,
    &LINEDEVCAPS::dwMonitorToneMaxNumFreq,
    &LINEDEVCAPS::dwMonitorToneMaxNumEntries,
    &LINEDEVCAPS::dwMonitorDigitModes,
    &LINEDEVCAPS::dwGatherDigitsMinTimeout,
    &LINEDEVCAPS::dwGatherDigitsMaxTimeout,
    &LINEDEVCAPS::dwMedCtlCallStateMaxListSize,
    nullptr,
    nullptr,
    nullptr,
    &LINEDEVCAPS::dwDevCapFlags,
    &LINEDEVCAPS::dwMaxNumActiveCalls,
    &LINEDEVCAPS::dwAnswerMode,
    &LINEDEVCAPS::dwRingModes,
    &LINEDEVCAPS::dwLineStates,
    &LINEDEVCAPS::dwUUIAcceptSize,
    &LINEDEVCAPS::dwUUIAnswerSize,
    &LINEDEVCAPS::dwUUIMakeCallSize,
    &LINEDEVCAPS::dwUUIDropSize,
    &LINEDEVCAPS::dwUUISendUserUserInfoSize,
    &LINEDEVCAPS::dwUUICallInfoSize,
    &LINEDEVCAPS::dwNumTerminals,
    nullptr,
    nullptr,
    &LINEDEVCAPS::dwLineFeatures,
    &LINEDEVCAPS::dwSettableDevStatus,
};

// The fields of the "SetLINEADDRESSCAPS" line after its fixed texts, in the order of the protocol; null is a
// 0 that the line keeps in the place of a field it does not send.
constexpr plat::DWORD LINEADDRESSCAPS::*const kAddressCapsFields[] = {
    &LINEADDRESSCAPS::dwAddressSharing,
    &LINEADDRESSCAPS::dwAddressStates,
    &LINEADDRESSCAPS::dwCallInfoStates,
    &LINEADDRESSCAPS::dwCallerIDFlags,
    &LINEADDRESSCAPS::dwCalledIDFlags,
    &LINEADDRESSCAPS::dwConnectedIDFlags,
    &LINEADDRESSCAPS::dwRedirectionIDFlags,
    &LINEADDRESSCAPS::dwRedirectingIDFlags,
    &LINEADDRESSCAPS::dwCallStates,
    &LINEADDRESSCAPS::dwDialToneModes,
    &LINEADDRESSCAPS::dwBusyModes,
    &LINEADDRESSCAPS::dwSpecialInfo,
    &LINEADDRESSCAPS::dwDisconnectModes,
    &LINEADDRESSCAPS::dwMaxNumActiveCalls,
    &LINEADDRESSCAPS::dwMaxNumOnHoldCalls,
    &LINEADDRESSCAPS::dwMaxNumOnHoldPendingCalls,
    &LINEADDRESSCAPS::dwMaxNumConference,
    &LINEADDRESSCAPS::dwMaxNumTransConf,
    &LINEADDRESSCAPS::dwAddrCapFlags,
    &LINEADDRESSCAPS::dwCallFeatures,
    &LINEADDRESSCAPS::dwRemoveFromConfCaps,
    &LINEADDRESSCAPS::dwRemoveFromConfState,
    &LINEADDRESSCAPS::dwTransferModes,
    &LINEADDRESSCAPS::dwParkModes,
    &LINEADDRESSCAPS::dwForwardModes,
    &LINEADDRESSCAPS::dwMaxForwardEntries,
    &LINEADDRESSCAPS::dwMaxSpecificEntries,
    &LINEADDRESSCAPS::dwMinFwdNumRings,
    &LINEADDRESSCAPS::dwMaxFwdNumRings,
    &LINEADDRESSCAPS::dwMaxCallCompletions,
    &LINEADDRESSCAPS::dwCallCompletionConds,
    &LINEADDRESSCAPS::dwCallCompletionModes,
    &LINEADDRESSCAPS::dwNumCompletionMessages,
    &LINEADDRESSCAPS::dwCompletionMsgTextEntrySize,
    nullptr,
    nullptr,
    &LINEADDRESSCAPS::dwAddressFeatures,
    &LINEADDRESSCAPS::dwPredictiveAutoTransferStates,
    &LINEADDRESSCAPS::dwNumCallTreatments,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    &LINEADDRESSCAPS::dwMaxCallDataSize,
    &LINEADDRESSCAPS::dwCallFeatures2,
    &LINEADDRESSCAPS::dwMaxNoAnswerTimeout,
    &LINEADDRESSCAPS::dwConnectedModes,
    &LINEADDRESSCAPS::dwOfferingModes,
    &LINEADDRESSCAPS::dwAvailableMediaModes,
};

// Sends "<word> <request> <address><lead>", the fields as " %u" each, then `tail`.
template <typename Caps, size_t kCount>
void SendCapsLine(const char* word, const char* request, const char* address, const char* lead,
                  const Caps& caps, plat::DWORD Caps::*const (&fields)[kCount], const char* tail) {
  // Room for " 4294967295" per field: the numbers are never cut here.
  char numbers[kCount * 11 + 1];
  size_t length = 0;
  for (plat::DWORD Caps::*field : fields)
    length += plat::BoundedFormat(numbers + length, sizeof(numbers) - length, " %u",
                                  field != nullptr ? caps.*field : 0u);
  CServiceWindow::SendBack("%s %s %s%s%s%s", word, request, address, lead, numbers, tail);
}

}  // namespace

plat::LONG CServiceWindow::SendDevCaps(CLineObject* line, const char* request) {
  LogMessage(kLogTrace, "CServiceWindow::SendDevCaps");
  LINEDEVCAPS* caps = nullptr;
  if (plat::LONG result = QueryDevCaps(*line, &caps); result != 0) return result;
  SendCapsLine("SetLINEDEVCAPS", request, line->GetAddress(), " \"CSTA Server\"", *caps, kDevCapsFields,
               " \"tapi/line\"");
  return 0;
}

plat::LONG CServiceWindow::SendAddressCaps(CLineObject* line, const char* request) {
  LogMessage(kLogTrace, "CServiceWindow::SendAddressCaps");
  LINEADDRESSCAPS* caps = nullptr;
  if (plat::LONG result = QueryAddressCaps(*line, &caps); result != 0) return result;
  SendCapsLine("SetLINEADDRESSCAPS", request, line->GetAddress(), "", *caps, kAddressCapsFields, "");
  return 0;
}

plat::LONG CServiceWindow::SendAddressStatus(CLineObject* line, plat::DWORD addressId, plat::DWORD states,
                                             bool sendEvent) {
  LogMessage(kLogTrace, "CServiceWindow::SendAddressStatus");
  plat::LONG result = static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL);
  auto* status = static_cast<LINEADDRESSSTATUS*>(PrepareStructBuffer());
  if (g_TspiEntryPoints.TSPI_lineGetAddressStatus != nullptr)
    result = g_TspiEntryPoints.TSPI_lineGetAddressStatus(line->GetHdLine(), addressId, status);
  if (result == 0) {
    char statusLine[kStatusLineCharacters + 2];
    plat::BoundedFormat(statusLine, kStatusLineCharacters + 1, "SetLINEADDRESSSTATUS %u %u",
                        line->GetClientLine(), states);
    char piece[kStatusPieceCharacters + 2];
    if (states & LINEADDRESSSTATE_OTHER) {
      plat::BoundedFormat(piece, kStatusPieceCharacters + 1, " %u", status->dwAddressFeatures);
      plat::BoundedAppend(statusLine, kStatusLineCharacters + 1, piece);
    }
    if (states & LINEADDRESSSTATE_INUSEONE) {
      plat::BoundedFormat(piece, kStatusPieceCharacters + 1, " %u", status->dwNumInUse);
      plat::BoundedAppend(statusLine, kStatusLineCharacters + 1, piece);
    }
    if (states & LINEADDRESSSTATE_NUMCALLS) {
      plat::BoundedFormat(piece, kStatusPieceCharacters + 1, " %u %u %u", status->dwNumActiveCalls,
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
  LogMessage(kLogTrace, "CServiceWindow::SendLineDevStatus");
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
