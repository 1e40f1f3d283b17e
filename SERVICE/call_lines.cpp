// The call status, call information and new-call lines the service sends about one call.
#include <algorithm>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "plat/time.h"
#include "provider.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

plat::BOOL g_bInSendNewCall = 0;

namespace {

// A status or information line is written into a zeroed buffer of 128 characters and holds at most 126.
constexpr size_t kCallLineBuffer = 128;
constexpr size_t kCallLineCharacters = 126;
// The status checksum covers the text and the zero bytes behind it.
constexpr plat::DWORD kStatusChecksumBytes = 127;
constexpr size_t kInfoListCharacters = 1022;
constexpr size_t kInfoPieceCharacters = 510;
// A blank and at most 29 characters of the party identifier.
constexpr size_t kPartyPieceCharacters = 30;

// What each call state keeps of the features a provider reports: the features named here make no sense
// in that state. Each mask is checked against the number it stands for.

// An offered call: it cannot be dialled, held, parked, transferred or conferenced yet.
constexpr plat::DWORD kOfferingFeatures =
    ~(LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_COMPLETETRANSF |
      LINECALLFEATURE_DIAL | LINECALLFEATURE_HOLD | LINECALLFEATURE_PARK | LINECALLFEATURE_PREPAREADDCONF |
      LINECALLFEATURE_REMOVEFROMCONF | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER |
      LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_UNHOLD);
static_assert(kOfferingFeatures == 0xF0FA7795);

// An accepted call: as an offered one, and it cannot be accepted again.
constexpr plat::DWORD kAcceptedFeatures =
    ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_BLINDTRANSFER |
      LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_DIAL | LINECALLFEATURE_HOLD | LINECALLFEATURE_PARK |
      LINECALLFEATURE_PREPAREADDCONF | LINECALLFEATURE_REMOVEFROMCONF | LINECALLFEATURE_SETUPCONF |
      LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_UNHOLD);
static_assert(kAcceptedFeatures == 0xF0FA7794);

// A call on its way out: nothing that accepts, answers, holds, parks, redirects, transfers or conferences
// it, and no generated digits or tones.
constexpr plat::DWORD kOutgoingFeatures =
    ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_ANSWER |
      LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_GENERATEDIGITS |
      LINECALLFEATURE_GENERATETONE | LINECALLFEATURE_HOLD | LINECALLFEATURE_PARK |
      LINECALLFEATURE_PREPAREADDCONF | LINECALLFEATURE_REDIRECT | LINECALLFEATURE_REMOVEFROMCONF |
      LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_SWAPHOLD |
      LINECALLFEATURE_UNHOLD);
static_assert(kOutgoingFeatures == 0xF0F871D0);

// A connected call: nothing that accepts, answers, dials, redirects or takes it off hold.
constexpr plat::DWORD kConnectedFeatures =
    ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_DIAL | LINECALLFEATURE_REDIRECT |
      LINECALLFEATURE_UNHOLD);
static_assert(kConnectedFeatures == 0xF7FDFFBA);

// A held call: nothing that accepts, answers, dials, redirects, holds it again or starts a transfer or
// conference.
constexpr plat::DWORD kOnHoldFeatures =
    ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_DIAL |
      LINECALLFEATURE_HOLD | LINECALLFEATURE_REDIRECT | LINECALLFEATURE_SETUPCONF |
      LINECALLFEATURE_SETUPTRANSFER);
static_assert(kOnHoldFeatures == 0xFCFDF7B2);

// A party of a conference: nothing that accepts, answers, dials, redirects, swaps or takes it off hold,
// and no conference or transfer of its own.
constexpr plat::DWORD kConferencedFeatures =
    ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_ANSWER |
      LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_DIAL | LINECALLFEATURE_PREPAREADDCONF |
      LINECALLFEATURE_REDIRECT | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER |
      LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_UNHOLD);
static_assert(kConferencedFeatures == 0xF0FCFF98);
// The entry as it is now, copied under the table lock (call_table.h). A position outside the table reads
// as a free entry.
CallRecord ReadCall(int position) {
  CallRecord call = {};
  if (position < 0 || position >= kCallTableSize) return call;
  plat::CriticalSectionLock lock(&CServiceWindow::m_csTapiCall);
  call = CServiceWindow::CallTable[position];
  return call;
}

// Applies `change` to the entry under the table lock, as long as it still holds the call `drvBaseCall`.
template <typename Change>
void ChangeCall(int position, plat::DWORD drvBaseCall, Change change) {
  plat::CriticalSectionLock lock(&CServiceWindow::m_csTapiCall);
  CallRecord& call = CServiceWindow::CallTable[position];
  if (call.DrvBaseCall == drvBaseCall) change(call);
}

// The provider writes dwUsedSize itself: the checksum never reads past the structure buffer.
plat::DWORD UsedBytes(plat::DWORD usedSize) { return std::min(usedSize, CServiceWindow::kStructBufferSize); }

void WriteState(LINECALLSTATUS* status, plat::DWORD state, plat::DWORD mode, plat::DWORD privilege) {
  status->dwCallState = state;
  status->dwCallStateMode = mode;
  status->dwCallPrivilege = privilege;
}

// The five party identifiers of a call information, each as a blank and its text.
class PartyPieces {
 public:
  enum Party { kCaller, kCalled, kConnected, kRedirection, kRedirecting, kCount };

  explicit PartyPieces(const LINECALLINFO* info) {
    static constexpr struct {
      plat::DWORD LINECALLINFO::*size;
      plat::DWORD LINECALLINFO::*offset;
    } kParts[kCount] = {
        {&LINECALLINFO::dwCallerIDSize, &LINECALLINFO::dwCallerIDOffset},
        {&LINECALLINFO::dwCalledIDSize, &LINECALLINFO::dwCalledIDOffset},
        {&LINECALLINFO::dwConnectedIDSize, &LINECALLINFO::dwConnectedIDOffset},
        {&LINECALLINFO::dwRedirectionIDSize, &LINECALLINFO::dwRedirectionIDOffset},
        {&LINECALLINFO::dwRedirectingIDSize, &LINECALLINFO::dwRedirectingIDOffset},
    };
    for (int party = 0; party < kCount; ++party) {
      const char* text =
          CServiceWindow::GetStructText(info, info->*kParts[party].offset, info->*kParts[party].size);
      plat::BoundedFormat(m_pieces[party], kPartyPieceCharacters + 1, " %s", text);
    }
  }

  const char* Piece(Party party) const { return m_pieces[party]; }
  bool Present(Party party) const { return m_pieces[party][1] != '\0'; }

 private:
  char m_pieces[kCount][kPartyPieceCharacters + 2];
};

bool IsUnsettledOrigin(plat::DWORD origin) {
  return origin == 0 || origin == LINECALLORIGIN_UNKNOWN || origin == LINECALLORIGIN_UNAVAIL;
}

// Gives the call information an origin when the provider has none, from what the entry knows of the
// call, and keeps the origin in the entry once it is known.
void SettleOrigin(LINECALLINFO* info, const CallRecord& call, int position, bool connectedIdPresent) {
  if (info->dwOrigin & LINECALLORIGIN_CONFERENCE) info->dwOrigin = LINECALLORIGIN_CONFERENCE;
  plat::DWORD keep = 0;
  if (!IsUnsettledOrigin(info->dwOrigin)) {
    keep = info->dwOrigin;
  } else if (call.dwOrigin != 0) {
    info->dwOrigin = call.dwOrigin;
  } else if ((call.dwCallState == LINECALLSTATE_CONNECTED && connectedIdPresent) ||
             call.dwCallState == LINECALLSTATE_CONFERENCED) {
    info->dwOrigin = LINECALLORIGIN_INBOUND;
    keep = LINECALLORIGIN_INBOUND;
  }
  if (keep == 0 || call.dwOrigin != 0) return;
  ChangeCall(position, call.DrvBaseCall, [keep](CallRecord& entry) {
    if (entry.dwOrigin == 0) entry.dwOrigin = keep;
  });
}

// The requested items that the call information holds, each as a blank and its value, in the order
// of the protocol; returns the mask of the items on the list.
plat::DWORD GatherInfoList(const LINECALLINFO* info, plat::DWORD requested, const PartyPieces& parties,
                           char* list) {
  const struct {
    plat::DWORD bit;
    plat::DWORD value;
    bool present;
  } numbers[] = {
      {LINECALLINFOSTATE_OTHER, info->dwCallStates, info->dwCallStates != 0},
      {LINECALLINFOSTATE_BEARERMODE, info->dwBearerMode, info->dwBearerMode != 0},
      {LINECALLINFOSTATE_RATE, info->dwRate, info->dwRate != 0},
      {LINECALLINFOSTATE_MEDIAMODE, info->dwMediaMode, info->dwMediaMode != 0},
      {LINECALLINFOSTATE_CALLID, info->dwCallID, true},
      {LINECALLINFOSTATE_ORIGIN, info->dwOrigin, info->dwOrigin != 0},
      {LINECALLINFOSTATE_REASON, info->dwReason, info->dwReason != 0},
  };
  static constexpr struct {
    plat::DWORD bit;
    PartyPieces::Party party;
  } kPartyItems[] = {
      {LINECALLINFOSTATE_CALLERID, PartyPieces::kCaller},
      {LINECALLINFOSTATE_CALLEDID, PartyPieces::kCalled},
      {LINECALLINFOSTATE_CONNECTEDID, PartyPieces::kConnected},
      {LINECALLINFOSTATE_REDIRECTIONID, PartyPieces::kRedirection},
      {LINECALLINFOSTATE_REDIRECTINGID, PartyPieces::kRedirecting},
  };
  plat::DWORD mask = 0;
  list[0] = '\0';
  char piece[kInfoPieceCharacters + 2];
  for (const auto& item : numbers) {
    if (!(requested & item.bit) || !item.present) continue;
    plat::BoundedFormat(piece, kInfoPieceCharacters + 1, " %u", item.value);
    plat::BoundedAppend(list, kInfoListCharacters + 1, piece);
    mask |= item.bit;
  }
  for (const auto& item : kPartyItems) {
    if (!(requested & item.bit) || !parties.Present(item.party)) continue;
    plat::BoundedAppend(list, kInfoListCharacters + 1, parties.Piece(item.party));
    mask |= item.bit;
  }
  return mask;
}

}  // namespace

void CServiceWindow::SendCallStatus(CLineObject* line, int position, plat::DWORD state, plat::DWORD mode,
                                    plat::DWORD third) {
  LogMessage(kLogTrace, "CServiceWindow::SendCallStatus Device: %u %u 0x%08X 0x%08X 0x%08X",
             line->GetDeviceID(), static_cast<unsigned>(position), state, mode, third);
  const CallRecord call = ReadCall(position);
  LogMessage(kLogTrace, " hdBaseCall 0x%08X", call.DrvBaseCall);
  if (call.DrvBaseCall == 0) return;
  // A state without its low 16 bits names no state: the call is only refreshed.
  const bool refresh = (state & 0xFFFF) == 0;
  auto* status = static_cast<LINECALLSTATUS*>(PrepareStructBuffer());
  WriteState(status, state, mode, third);
  plat::DWORD features = 0;
  plat::DWORD features2 = 0;
  if (g_TspiEntryPoints.TSPI_lineGetCallStatus == nullptr) return;
  LogMessage(kLogTrace, " g_bFeatureRefreshStatus: %d", g_bFeatureRefreshStatus);
  if (g_bFeatureRefreshStatus) {
    plat::LONG result = g_TspiEntryPoints.TSPI_lineGetCallStatus(call.DrvBaseCall, status);
    LogMessage(kLogTrace, " F_TSPI_lineGetCallStatus result 0x%08X", static_cast<unsigned>(result));
    // An event's own values win over the provider's view, which may lag behind it; a failed query
    // leaves nothing in the buffer to trust but the arguments.
    if (!refresh || result != 0) WriteState(status, state, mode, third);
    if (result == 0) {
      features =
          GetClearedCallFeatures(status->dwCallState, status->dwCallFeatures) & line->GetCallFeatures();
      features2 = status->dwCallFeatures2 & line->GetCallFeatures2();
    }
  }
  if ((status->dwCallState & 0xFFFF) == 0) WriteState(status, LINECALLSTATE_IDLE, 0, LINECALLPRIVILEGE_OWNER);
  LogMessage(kLogTrace, " dwCallState 0x%08X", status->dwCallState);

  char statusLine[kCallLineBuffer] = {};
  plat::BoundedFormat(statusLine, kCallLineCharacters + 1, "SetLINECALLSTATUS %u %u %u %u %u %u %u",
                      line->GetClientLine(), call.DrvClientCall, status->dwCallState, status->dwCallStateMode,
                      status->dwCallPrivilege, features, features2);
  plat::DWORD checksum = 0;
  bool changed = true;
  if (g_bFeatureRefreshStatus) {
    checksum = TOOLFUNC_string::Checksum16(statusLine, kStatusChecksumBytes) +
               TOOLFUNC_string::Checksum16(status, UsedBytes(status->dwUsedSize));
    changed = checksum != call.dwStatusChecksum;
  }
  const bool send = changed && (!refresh || status->dwCallState > LINECALLSTATE_IDLE);
  LogMessage(kLogTrace, " bSendEvents: %d", send ? 1 : 0);
  if (!send) return;

  SendBack("%s", statusLine);
  plat::Sleep(0);
  if (refresh) {
    // A refresh leaves the checksum alone, so the next event still reports the state it brings.
    SendBack("LINE_CALLINFO %u %u %u 0 0", line->GetClientLine(), call.DrvClientCall, 1u);
    return;
  }
  SendBack("LINE_CALLSTATE %u %u %u %u %u", line->GetClientLine(), call.DrvClientCall, status->dwCallState,
           status->dwCallStateMode, 4u);
  if (g_bFeatureRefreshStatus)
    ChangeCall(position, call.DrvBaseCall,
               [checksum](CallRecord& entry) { entry.dwStatusChecksum = checksum; });
}

plat::DWORD CServiceWindow::GetClearedCallFeatures(plat::DWORD state, plat::DWORD features) {
  LogMessage(kLogTrace, "CServiceWindow::GetClearedCallFeatures 0x%08X 0x%08X", state, features);
  if (!g_bFeatureFilterFeatures) return features;
  switch (state) {
    case LINECALLSTATE_OFFERING:
      return features & kOfferingFeatures;
    case LINECALLSTATE_ACCEPTED:
      return features & kAcceptedFeatures;
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
    case LINECALLSTATE_RINGBACK:
    case LINECALLSTATE_PROCEEDING:
      return features & kOutgoingFeatures;
    case LINECALLSTATE_CONNECTED:
      return features & kConnectedFeatures;
    case LINECALLSTATE_ONHOLD:
    case LINECALLSTATE_ONHOLDPENDCONF:
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
      return features & kOnHoldFeatures;
    case LINECALLSTATE_CONFERENCED:
      return features & kConferencedFeatures;
    default:
      return features;
  }
}

void CServiceWindow::RefreshCallStatusWithSameCallId(CLineObject* line, int position, plat::DWORD callId) {
  LogMessage(kLogTrace, "CServiceWindow::RefreshCallStatusWithSameCallId %u %u %u", line->GetDeviceID(),
             static_cast<unsigned>(position), callId);
  for (int other = 0; other < kCallTableSize; ++other) {
    if (other == position) continue;
    const CallRecord call = ReadCall(other);
    if (call.DrvClientCall == 0) continue;
    if (call.pLine == line) {
      SendCallStatus(line, other, 0, 0, 0);
    } else if (callId != 0 && call.dwCallID == callId && call.pLine != nullptr) {
      // Reported on its own line: the client line number and the feature masks belong to that line.
      SendCallStatus(call.pLine, other, 0, 0, 0);
    }
  }
}

void CServiceWindow::SendCallInfo(CLineObject* line, int position, plat::DWORD requested) {
  LogMessage(kLogTrace, "CServiceWindow::SendCallInfo %u %u 0x%08X", line->GetDeviceID(),
             static_cast<unsigned>(position), requested);
  const CallRecord call = ReadCall(position);
  if (call.DrvBaseCall == 0 || g_TspiEntryPoints.TSPI_lineGetCallInfo == nullptr) return;
  auto* info = static_cast<LINECALLINFO*>(PrepareStructBuffer());
  if (g_TspiEntryPoints.TSPI_lineGetCallInfo(call.DrvBaseCall, info) != 0) return;

  const PartyPieces parties(info);
  if (g_bFeatureOrigin) SettleOrigin(info, call, position, parties.Present(PartyPieces::kConnected));
  char list[kInfoListCharacters + 2];
  const plat::DWORD present = GatherInfoList(info, requested, parties, list);
  char infoLine[kCallLineBuffer] = {};
  plat::BoundedFormat(infoLine, kCallLineCharacters + 1, "SetLINECALLINFO %u %u %u ", line->GetClientLine(),
                      call.DrvClientCall, present);
  plat::BoundedAppend(infoLine, kCallLineCharacters + 1, list[0] == '\0' ? list : list + 1);
  if (g_bFeatureRefreshStatus) {
    const plat::DWORD checksum = TOOLFUNC_string::Checksum16(info, UsedBytes(info->dwUsedSize)) + requested;
    if (checksum == call.dwInfoChecksum) return;
    ChangeCall(position, call.DrvBaseCall,
               [checksum](CallRecord& entry) { entry.dwInfoChecksum = checksum; });
  }
  SendBack("%s", infoLine);
  SendBack("LINE_CALLINFO %u %u %u 0 0", line->GetClientLine(), call.DrvClientCall, present);
}

void CServiceWindow::SendNewCall(CLineObject* line, int position) {
  LogMessage(kLogTrace, "CServiceWindow::SendNewCall LinePos %d CallPos %d",
             static_cast<int>(line->GetDeviceID()), position);
  const CallRecord call = ReadCall(position);
  if (g_TspiEntryPoints.TSPI_lineGetCallInfo == nullptr || call.DrvBaseCall == 0) return;
  plat::DWORD addressId = 0;
  plat::DWORD callId = 0;
  auto* info = static_cast<LINECALLINFO*>(PrepareStructBuffer());
  g_bInSendNewCall = 1;
  plat::LONG result = g_TspiEntryPoints.TSPI_lineGetCallInfo(call.DrvBaseCall, info);
  g_bInSendNewCall = 0;
  if (result == 0) {
    addressId = info->dwAddressID;
    callId = info->dwCallID;
    ChangeCall(position, call.DrvBaseCall, [callId](CallRecord& entry) { entry.dwCallID = callId; });
  }
  SendBack("LINE_NEWCALL %u %u %u %u %u %u", line->GetClientLine(), addressId, call.DrvClientCall,
           call.ClientTapiCall, callId, 1u);
  SendAddressStatus(line, addressId, LINEADDRESSSTATE_OTHER | LINEADDRESSSTATE_NUMCALLS, true);
  SendCallInfo(line, position, 0xFFFFFFFF);
  ChangeCall(position, call.DrvBaseCall, [](CallRecord& entry) { entry.bNewCallSent = 1; });
}
