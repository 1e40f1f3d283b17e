// Renders TAPI values and bit sets as text: the names of a value's constants after its hexadecimal form.
#include <algorithm>
#include <cstring>

#include "bounded_text.h"
#include "tapi_text.h"
#include "value_names.h"

namespace tapitext {
namespace {

enum class Prefix { None, Hex, HexAndDecimal };

// Bit-set form: the names of the set bits in table order, each with a blank after it.
char* RenderBits(char* buffer, size_t size, NameList names, DWORD value, Prefix prefix) {
  buffer[0] = '\0';
  if (prefix == Prefix::Hex) BoundedPrint(buffer, size, "0x%08X (", value);
  if (prefix == Prefix::HexAndDecimal) BoundedPrint(buffer, size, "0x%08X %u (", value, value);
  bool named = false;
  for (const NamedValue& entry : names) {
    if ((value & entry.value) == 0) continue;
    BoundedAppend(buffer, size, entry.name);
    BoundedAppend(buffer, size, " ");
    named = true;
  }
  if (prefix == Prefix::None) {
    JoinNamesWithPipes(buffer);
    return buffer;
  }
  if (!named) BoundedAppend(buffer, size, "None");
  BoundedAppend(buffer, size, ")");
  return buffer;
}

// Value form: the one name whose constant equals the value.
char* RenderValue(char* buffer, size_t size, NameList names, DWORD value, bool blankAfterName) {
  BoundedPrint(buffer, size, "0x%08X (", value);
  const NamedValue* match = std::find_if(names.begin(), names.end(),
                                         [value](const NamedValue& entry) { return entry.value == value; });
  if (match == names.end()) {
    BoundedAppend(buffer, size, "None");
  } else {
    BoundedAppend(buffer, size, match->name);
    if (blankAfterName) BoundedAppend(buffer, size, " ");
  }
  BoundedAppend(buffer, size, ")");
  return buffer;
}

// A prefix flag of 0 asks for the names alone.
Prefix PrefixUnlessOff(DWORD prefixFlag, Prefix prefix) { return prefixFlag != 0 ? prefix : Prefix::None; }

}  // namespace
}  // namespace tapitext

void JoinNamesWithPipes(char* text) {
  if (text == nullptr) return;
  size_t length = std::strlen(text);
  if (length == 0) return;
  text[length - 1] = '\0';
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == ' ') *c = '|';
  }
}

// One line per renderer: its name, its table and the size of its buffer, which no other renderer shares.
#define BITS(function, names, size)                                                           \
  const char* function(DWORD value) {                                                         \
    static char buffer[size];                                                                 \
    return tapitext::RenderBits(buffer, size, tapitext::names, value, tapitext::Prefix::Hex); \
  }
#define FLAGGED_BITS(function, names, size)                                                    \
  const char* function(DWORD value, DWORD prefixFlag) {                                        \
    static char buffer[size];                                                                  \
    return tapitext::RenderBits(buffer, size, tapitext::names, value,                          \
                                tapitext::PrefixUnlessOff(prefixFlag, tapitext::Prefix::Hex)); \
  }
#define FLAGGED_BITS_WITH_DECIMAL(function, names, size)                                                 \
  const char* function(DWORD value, DWORD prefixFlag) {                                                  \
    static char buffer[size];                                                                            \
    return tapitext::RenderBits(buffer, size, tapitext::names, value,                                    \
                                tapitext::PrefixUnlessOff(prefixFlag, tapitext::Prefix::HexAndDecimal)); \
  }
#define VALUE_WITH_BLANK(function, names, size)                               \
  const char* function(DWORD value) {                                         \
    static char buffer[size];                                                 \
    return tapitext::RenderValue(buffer, size, tapitext::names, value, true); \
  }
#define VALUE(function, names, size)                                           \
  const char* function(DWORD value) {                                          \
    static char buffer[size];                                                  \
    return tapitext::RenderValue(buffer, size, tapitext::names, value, false); \
  }

BITS(GetLineAddrCapFlagsText, kLineAddrCapFlags, 1024)
BITS(GetLineAddrFeatureText, kLineAddrFeature, 1024)
BITS(GetLineAddressModeText, kLineAddressMode, 256)
BITS(GetLineAddressSharingText, kLineAddressSharing, 256)
FLAGGED_BITS(GetLineAddressStateText, kLineAddressState, 1024)
BITS(GetLineAddressTypeText, kLineAddressType, 1024)
BITS(GetLineAgentFeatureText, kLineAgentFeature, 256)
BITS(GetLineAgentSessionStateText, kLineAgentSessionState, 256)
BITS(GetLineAgentStateExText, kLineAgentStateEx, 256)
BITS(GetLineAgentStateText, kLineAgentState, 256)
BITS(GetLineAgentStatusText, kLineAgentStatus, 256)
BITS(GetLineCallComplCondText, kLineCallComplCond, 256)
BITS(GetLineAnswerModeText, kLineAnswerMode, 256)
BITS(GetLineBearerModeText, kLineBearerMode, 256)
BITS(GetLineCallComplModeText, kLineCallComplMode, 256)
FLAGGED_BITS_WITH_DECIMAL(GetLineCallInfoStateText, kLineCallInfoState, 1024)
BITS(GetLineCallFeatureText, kLineCallFeature, 1024)
BITS(GetLineCallFeature2Text, kLineCallFeature2, 1024)
BITS(GetLineCallHubTrackingText, kLineCallHubTracking, 1024)
BITS(GetLineCallParamFlagsText, kLineCallParamFlags, 1024)
BITS(GetLineCallPartyIdText, kLineCallPartyId, 1024)
BITS(GetLineCallPrivilegeText, kLineCallPrivilege, 256)
FLAGGED_BITS(GetLineBusyModeText, kLineBusyMode, 256)
FLAGGED_BITS(GetLineConnectedModeText, kLineConnectedMode, 256)
FLAGGED_BITS(GetLineDialToneModeText, kLineDialToneMode, 256)
FLAGGED_BITS(GetLineDisconnectModeText, kLineDisconnectMode, 1024)
FLAGGED_BITS(GetLineOfferingModeText, kLineOfferingMode, 256)
FLAGGED_BITS(GetLineSpecialInfoText, kLineSpecialInfo, 256)
FLAGGED_BITS(GetLineCallStateText, kLineCallState, 1024)
VALUE(GetLineCallTreatmentText, kLineCallTreatment, 256)
VALUE(GetLineDevCapFlagsText, kLineDevCapFlags, 256)
FLAGGED_BITS(GetLineDevStateText, kLineDevState, 1024)
BITS(GetLineDevStatusFlagsText, kLineDevStatusFlags, 256)
BITS(GetLineDigitModeText, kLineDigitMode, 256)
BITS(GetLineFeatureText, kLineFeature, 256)
BITS(GetLineForwardModeText, kLineForwardMode, 1024)
BITS(GetLineGatherTermText, kLineGatherTerm, 256)
BITS(GetLineGenerateTermText, kLineGenerateTerm, 256)
BITS(GetLineGroupStatusText, kLineGroupStatus, 256)
BITS(GetLineMediaModeText, kLineMediaMode, 1024)
FLAGGED_BITS(GetLineCallOriginText, kLineCallOrigin, 256)
BITS(GetLineParkModeText, kLineParkMode, 256)
BITS(GetLineProxyStatusText, kLineProxyStatus, 256)
BITS(GetLineQueueStatusText, kLineQueueStatus, 256)
BITS(GetLineCallReasonText, kLineCallReason, 256)
VALUE_WITH_BLANK(GetLineProxyRequestText, kLineProxyRequest, 1024)
BITS(GetLineRequestModeText, kLineRequestMode, 256)
VALUE_WITH_BLANK(GetLineRemoveFromConfText, kLineRemoveFromConf, 256)
VALUE(GetLineStringFormatText, kLineStringFormat, 256)
BITS(GetLineRoamModeText, kLineRoamMode, 256)
BITS(GetLineTermDevText, kLineTermDev, 256)
BITS(GetLineTermModeText, kLineTermMode, 256)
BITS(GetLineTermSharingText, kLineTermSharing, 256)
BITS(GetLineToneModeText, kLineToneMode, 256)
BITS(GetLineTransferModeText, kLineTransferMode, 256)
VALUE_WITH_BLANK(GetPhoneButtonFunctionText, kPhoneButtonFunction, 1024)
BITS(GetPhoneButtonModeText, kPhoneButtonMode, 512)
BITS(GetPhoneButtonStateText, kPhoneButtonState, 512)
BITS(GetPhoneFeatureText, kPhoneFeature, 512)
BITS(GetPhoneHookSwitchDevText, kPhoneHookSwitchDev, 256)
BITS(GetPhoneHookSwitchModeText, kPhoneHookSwitchMode, 256)
BITS(GetPhoneLampModeText, kPhoneLampMode, 256)
BITS(GetPhonePrivilegeText, kPhonePrivilege, 256)
BITS(GetPhoneStateText, kPhoneState, 256)
BITS(GetPhoneStatusFlagsText, kPhoneStatusFlags, 256)
