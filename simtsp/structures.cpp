// The capabilities and status of the simulated lines: a small voice phone system with one address per line.
#include "structures.h"

#include <cstring>
#include <string>

#include "variable_parts.h"

namespace simtsp {
namespace {

// What every simulated line and its address offer; the call operations are those of a phone system
// with hold, transfer and three-party conference.
constexpr DWORD kLineFeatures = LINEFEATURE_MAKECALL | LINEFEATURE_FORWARD;
constexpr DWORD kAddressFeatures =
    LINEADDRFEATURE_FORWARD | LINEADDRFEATURE_MAKECALL | LINEADDRFEATURE_PICKUP;
constexpr DWORD kCallFeatures = LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_ANSWER |
                                LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_COMPLETETRANSF |
                                LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP | LINECALLFEATURE_GENERATEDIGITS |
                                LINECALLFEATURE_HOLD | LINECALLFEATURE_PREPAREADDCONF |
                                LINECALLFEATURE_REDIRECT | LINECALLFEATURE_REMOVEFROMCONF |
                                LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER |
                                LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_UNHOLD;
constexpr DWORD kCallFeatures2 = LINECALLFEATURE2_TRANSFERNORM | LINECALLFEATURE2_TRANSFERCONF;
constexpr DWORD kCallStates =
    LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED | LINECALLSTATE_DIALTONE |
    LINECALLSTATE_DIALING | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY | LINECALLSTATE_CONNECTED |
    LINECALLSTATE_PROCEEDING | LINECALLSTATE_ONHOLD | LINECALLSTATE_CONFERENCED |
    LINECALLSTATE_ONHOLDPENDCONF | LINECALLSTATE_ONHOLDPENDTRANSFER | LINECALLSTATE_DISCONNECTED;
constexpr DWORD kLineStates = LINEDEVSTATE_OTHER | LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED |
                              LINEDEVSTATE_DISCONNECTED | LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OPEN |
                              LINEDEVSTATE_CLOSE | LINEDEVSTATE_NUMCALLS | LINEDEVSTATE_REMOVED;
constexpr DWORD kAddressStates = LINEADDRESSSTATE_OTHER | LINEADDRESSSTATE_INUSEZERO |
                                 LINEADDRESSSTATE_INUSEONE | LINEADDRESSSTATE_NUMCALLS |
                                 LINEADDRESSSTATE_FORWARD;
constexpr DWORD kCallInfoStates =
    LINECALLINFOSTATE_OTHER | LINECALLINFOSTATE_MEDIAMODE | LINECALLINFOSTATE_CALLID |
    LINECALLINFOSTATE_RELATEDCALLID | LINECALLINFOSTATE_ORIGIN | LINECALLINFOSTATE_REASON |
    LINECALLINFOSTATE_CALLERID | LINECALLINFOSTATE_CALLEDID | LINECALLINFOSTATE_CONNECTEDID |
    LINECALLINFOSTATE_REDIRECTIONID | LINECALLINFOSTATE_REDIRECTINGID;
constexpr DWORD kPartyIdFlags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_UNKNOWN;
constexpr DWORD kNoLevel = 0xFFFF;  // signal and battery: a wired line has neither
constexpr DWORD kUnknownTrunk = 0xFFFFFFFF;

// Clears the fixed part but keeps the size the caller gave.
template <class Structure>
void ClearFixedPart(Structure& structure) {
  DWORD totalSize = structure.dwTotalSize;
  std::memset(&structure, 0, sizeof(Structure));
  structure.dwTotalSize = totalSize;
}

template <class Structure>
void SetSizes(Structure& structure, const VariableParts& parts) {
  structure.dwNeededSize = parts.NeededSize();
  structure.dwUsedSize = parts.UsedSize();
}

}  // namespace

void FillDevCaps(const Line& line, LINEDEVCAPS& caps) {
  ClearFixedPart(caps);
  VariableParts parts(&caps, caps.dwTotalSize, sizeof(caps));
  parts.AddText(line.setting.name, caps.dwLineNameSize, caps.dwLineNameOffset);
  caps.dwPermanentLineID = line.permanentId;
  caps.dwStringFormat = STRINGFORMAT_UNICODE;
  caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
  caps.dwNumAddresses = 1;
  caps.dwBearerModes = LINEBEARERMODE_VOICE;
  caps.dwMediaModes = kLineMediaModes;
  caps.dwGenerateDigitModes = LINEDIGITMODE_DTMF;
  caps.dwDevCapFlags = LINEDEVCAPFLAGS_CLOSEDROP;
  caps.dwMaxNumActiveCalls = 1;
  caps.dwAnswerMode = LINEANSWERMODE_HOLD;
  caps.dwRingModes = 1;
  caps.dwLineStates = kLineStates;
  caps.dwLineFeatures = kLineFeatures;
  caps.dwAddressTypes = LINEADDRESSTYPE_PHONENUMBER;
  SetSizes(caps, parts);
}

void FillAddressCaps(const Line& line, LINEADDRESSCAPS& caps) {
  ClearFixedPart(caps);
  VariableParts parts(&caps, caps.dwTotalSize, sizeof(caps));
  parts.AddText(line.setting.address, caps.dwAddressSize, caps.dwAddressOffset);
  caps.dwLineDeviceID = line.deviceId;
  caps.dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
  caps.dwAddressStates = kAddressStates;
  caps.dwCallInfoStates = kCallInfoStates;
  caps.dwCallerIDFlags = kPartyIdFlags;
  caps.dwCalledIDFlags = kPartyIdFlags;
  caps.dwConnectedIDFlags = kPartyIdFlags;
  caps.dwRedirectionIDFlags = kPartyIdFlags;
  caps.dwRedirectingIDFlags = kPartyIdFlags;
  caps.dwCallStates = kCallStates;
  caps.dwDialToneModes = LINEDIALTONEMODE_NORMAL;
  caps.dwBusyModes = LINEBUSYMODE_STATION;
  caps.dwSpecialInfo = LINESPECIALINFO_UNAVAIL;
  caps.dwDisconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_REJECT | LINEDISCONNECTMODE_BUSY |
                           LINEDISCONNECTMODE_NOANSWER;
  caps.dwMaxNumActiveCalls = 1;
  caps.dwMaxNumOnHoldCalls = 1;
  caps.dwMaxNumOnHoldPendingCalls = 1;
  caps.dwMaxNumConference = kMaxConferenceParties;
  caps.dwMaxNumTransConf = kMaxConferenceParties;
  caps.dwAddrCapFlags =
      LINEADDRCAPFLAGS_DIALED | LINEADDRCAPFLAGS_TRANSFERHELD | LINEADDRCAPFLAGS_CONFERENCEHELD;
  caps.dwCallFeatures = kCallFeatures;
  caps.dwRemoveFromConfCaps = LINEREMOVEFROMCONF_ANY;
  caps.dwRemoveFromConfState = LINECALLSTATE_IDLE;
  caps.dwTransferModes = LINETRANSFERMODE_TRANSFER | LINETRANSFERMODE_CONFERENCE;
  caps.dwForwardModes = LINEFORWARDMODE_UNCOND | LINEFORWARDMODE_BUSY | LINEFORWARDMODE_NOANSW;
  caps.dwMaxForwardEntries = 3;
  caps.dwMinFwdNumRings = 1;
  caps.dwMaxFwdNumRings = 10;
  caps.dwAddressFeatures = kAddressFeatures;
  caps.dwCallFeatures2 = kCallFeatures2;
  caps.dwConnectedModes = LINECONNECTEDMODE_ACTIVE;
  caps.dwOfferingModes = LINEOFFERINGMODE_ACTIVE;
  caps.dwAvailableMediaModes = kLineMediaModes;
  SetSizes(caps, parts);
}

void FillLineDevStatus(const Line& line, const CallCounts& calls, LINEDEVSTATUS& status) {
  ClearFixedPart(status);
  status.dwNeededSize = sizeof(status);
  status.dwUsedSize = sizeof(status);
  status.dwNumOpens = line.IsOpen() ? 1 : 0;
  status.dwOpenMediaModes = line.detectedMediaModes;
  status.dwNumActiveCalls = calls.active;
  status.dwNumOnHoldCalls = calls.onHold;
  status.dwNumOnHoldPendCalls = calls.onHoldPending;
  status.dwLineFeatures = kLineFeatures;
  status.dwRingMode = 1;
  status.dwSignalLevel = kNoLevel;
  status.dwBatteryLevel = kNoLevel;
  status.dwDevStatusFlags = LINEDEVSTATUSFLAGS_CONNECTED | LINEDEVSTATUSFLAGS_INSERVICE;
  status.dwAvailableMediaModes = kLineMediaModes;
}

// One station per address: it is in use while any of its calls is.
void FillAddressStatus(const CallCounts& calls, LINEADDRESSSTATUS& status) {
  ClearFixedPart(status);
  status.dwNeededSize = sizeof(status);
  status.dwUsedSize = sizeof(status);
  status.dwNumInUse = calls.active + calls.onHold + calls.onHoldPending > 0 ? 1 : 0;
  status.dwNumActiveCalls = calls.active;
  status.dwNumOnHoldCalls = calls.onHold;
  status.dwNumOnHoldPendCalls = calls.onHoldPending;
  status.dwAddressFeatures = kAddressFeatures;
}

void FillCallStatus(const Call& call, DWORD features, LINECALLSTATUS& status) {
  ClearFixedPart(status);
  status.dwNeededSize = sizeof(status);
  status.dwUsedSize = sizeof(status);
  status.dwCallState = call.state == kNotStarted ? LINECALLSTATE_IDLE : call.state;
  status.dwCallStateMode = call.stateMode;
  status.dwCallPrivilege = LINECALLPRIVILEGE_OWNER;
  status.dwCallFeatures = features & kCallFeatures;
}

// The party ids are numbers without names: an id is an address when it is known.
void FillCallInfo(const Call& call, DWORD relatedCallId, LINECALLINFO& info) {
  ClearFixedPart(info);
  VariableParts parts(&info, info.dwTotalSize, sizeof(info));
  info.dwLineDeviceID = call.line->deviceId;
  info.dwBearerMode = LINEBEARERMODE_VOICE;
  info.dwMediaMode = kLineMediaModes;
  info.dwCallID = call.callId;
  info.dwRelatedCallID = relatedCallId;
  info.dwCallStates = kCallStates;
  info.dwOrigin = call.origin;
  info.dwReason = call.reason;
  info.dwTrunk = kUnknownTrunk;
  struct PartyId {
    const std::string& text;
    DWORD& flags;
    DWORD& size;
    DWORD& offset;
  } ids[] = {
      {call.callerId, info.dwCallerIDFlags, info.dwCallerIDSize, info.dwCallerIDOffset},
      {call.calledId, info.dwCalledIDFlags, info.dwCalledIDSize, info.dwCalledIDOffset},
      {call.connectedId, info.dwConnectedIDFlags, info.dwConnectedIDSize, info.dwConnectedIDOffset},
  };
  for (PartyId& id : ids) {
    id.flags = id.text.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
    if (!id.text.empty()) parts.AddText(id.text, id.size, id.offset);
  }
  info.dwRedirectionIDFlags = LINECALLPARTYID_UNKNOWN;
  info.dwRedirectingIDFlags = LINECALLPARTYID_UNKNOWN;
  info.dwCallerIDAddressType = LINEADDRESSTYPE_PHONENUMBER;
  info.dwCalledIDAddressType = LINEADDRESSTYPE_PHONENUMBER;
  info.dwConnectedIDAddressType = LINEADDRESSTYPE_PHONENUMBER;
  info.dwRedirectionIDAddressType = LINEADDRESSTYPE_PHONENUMBER;
  info.dwRedirectingIDAddressType = LINEADDRESSTYPE_PHONENUMBER;
  SetSizes(info, parts);
}

}  // namespace simtsp
