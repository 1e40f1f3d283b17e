// The TAPI text module: TAPI values and bit sets as text and back, error texts and small formatters.
#pragma once

#include "tapi.h"

// ---- Values and bit sets as text
// Each renderer writes into a buffer of its own and returns it; the next call of the same renderer
// overwrites it. A bit set shows the names of its set bits in a fixed order, "0x%08X (" before them and
// ")" after them ("None" when no bit has a name); a value shows its one name the same way. The renderers
// with a `prefixFlag` write the names alone, joined by "|", when the flag is 0.

const char* GetLineAddrCapFlagsText(DWORD value);
const char* GetLineAddrFeatureText(DWORD value);
const char* GetLineAddressModeText(DWORD value);
const char* GetLineAddressSharingText(DWORD value);
const char* GetLineAddressStateText(DWORD value, DWORD prefixFlag);
const char* GetLineAddressTypeText(DWORD value);
const char* GetLineAgentFeatureText(DWORD value);
const char* GetLineAgentSessionStateText(DWORD value);
const char* GetLineAgentStateExText(DWORD value);
const char* GetLineAgentStateText(DWORD value);
const char* GetLineAgentStatusText(DWORD value);
const char* GetLineCallComplCondText(DWORD value);
const char* GetLineAnswerModeText(DWORD value);
const char* GetLineBearerModeText(DWORD value);
const char* GetLineCallComplModeText(DWORD value);
const char* GetLineCallInfoStateText(DWORD value, DWORD prefixFlag);
const char* GetLineCallFeatureText(DWORD value);
const char* GetLineCallFeature2Text(DWORD value);
const char* GetLineCallHubTrackingText(DWORD value);
const char* GetLineCallParamFlagsText(DWORD value);
const char* GetLineCallPartyIdText(DWORD value);
const char* GetLineCallPrivilegeText(DWORD value);
const char* GetLineBusyModeText(DWORD value, DWORD prefixFlag);
const char* GetLineConnectedModeText(DWORD value, DWORD prefixFlag);
const char* GetLineDialToneModeText(DWORD value, DWORD prefixFlag);
const char* GetLineDisconnectModeText(DWORD value, DWORD prefixFlag);
const char* GetLineOfferingModeText(DWORD value, DWORD prefixFlag);
const char* GetLineSpecialInfoText(DWORD value, DWORD prefixFlag);
const char* GetLineCallStateText(DWORD value, DWORD prefixFlag);
const char* GetLineCallTreatmentText(DWORD value);
const char* GetLineDevCapFlagsText(DWORD value);
const char* GetLineDevStateText(DWORD value, DWORD prefixFlag);
const char* GetLineDevStatusFlagsText(DWORD value);
const char* GetLineDigitModeText(DWORD value);
const char* GetLineFeatureText(DWORD value);
const char* GetLineForwardModeText(DWORD value);
const char* GetLineGatherTermText(DWORD value);
const char* GetLineGenerateTermText(DWORD value);
const char* GetLineGroupStatusText(DWORD value);
const char* GetLineMediaModeText(DWORD value);
const char* GetLineCallOriginText(DWORD value, DWORD prefixFlag);
const char* GetLineParkModeText(DWORD value);
const char* GetLineProxyStatusText(DWORD value);
const char* GetLineQueueStatusText(DWORD value);
const char* GetLineCallReasonText(DWORD value);
const char* GetLineProxyRequestText(DWORD value);
const char* GetLineRequestModeText(DWORD value);
const char* GetLineRemoveFromConfText(DWORD value);
const char* GetLineStringFormatText(DWORD value);
const char* GetLineRoamModeText(DWORD value);
const char* GetLineTermDevText(DWORD value);
const char* GetLineTermModeText(DWORD value);
const char* GetLineTermSharingText(DWORD value);
const char* GetLineToneModeText(DWORD value);
const char* GetLineTransferModeText(DWORD value);
const char* GetPhoneButtonFunctionText(DWORD value);
const char* GetPhoneButtonModeText(DWORD value);
const char* GetPhoneButtonStateText(DWORD value);
const char* GetPhoneFeatureText(DWORD value);
const char* GetPhoneHookSwitchDevText(DWORD value);
const char* GetPhoneHookSwitchModeText(DWORD value);
const char* GetPhoneLampModeText(DWORD value);
const char* GetPhonePrivilegeText(DWORD value);
const char* GetPhoneStateText(DWORD value);
const char* GetPhoneStatusFlagsText(DWORD value);

// Drops the last character of a non-empty text (the blank after the last name) and turns every other
// blank into "|": "ACCEPTED CONNECTED " becomes "ACCEPTED|CONNECTED".
void JoinNamesWithPipes(char* text);

// ---- Names into values
// Each parser reads at most the first 62 characters of `text`, in any letter case: one name, names
// joined by "|", a renderer's text, or, when no name is found, a number ("0x1F", "31") at its start.
// 0 when nothing is recognised, also for a null text.

DWORD GetLineAddressStateFromText(const char* text);
DWORD GetLineAgentStateFromText(const char* text);
DWORD GetLineBearerModeFromText(const char* text);
DWORD GetLineCallPrivilegeFromText(const char* text);
DWORD GetLineCallInfoStateFromText(const char* text);
DWORD GetLineCallSelectFromText(const char* text);
DWORD GetLineCallStateFromText(const char* text);
DWORD GetLineCallTreatmentFromText(const char* text);
DWORD GetLineCallComplModeFromText(const char* text);
DWORD GetLineDevStateFromText(const char* text);
DWORD GetLineDigitModeFromText(const char* text);
DWORD GetLineForwardModeFromText(const char* text);
DWORD GetLineDevStatusFlagsFromText(const char* text);
DWORD GetLineMessageFromText(const char* text);
DWORD GetLineMediaControlFromText(const char* text);
DWORD GetLineMediaModeFromText(const char* text);
DWORD GetLineCallOriginFromText(const char* text);
DWORD GetLineParkModeFromText(const char* text);
DWORD GetQosServiceTypeFromText(const char* text);
DWORD GetPhoneButtonFunctionFromText(const char* text);
DWORD GetPhoneButtonModeFromText(const char* text);
DWORD GetPhoneButtonStateFromText(const char* text);
DWORD GetPhoneErrFromText(const char* text);
DWORD GetPhoneHookSwitchDevFromText(const char* text);
DWORD GetPhoneHookSwitchModeFromText(const char* text);
DWORD GetPhoneLampModeFromText(const char* text);
DWORD GetPhoneMessageFromText(const char* text);
DWORD GetPhonePrivilegeFromText(const char* text);
DWORD GetPhoneStateFromText(const char* text);
DWORD GetLineTermModeFromText(const char* text);
DWORD GetLineToneModeFromText(const char* text);
DWORD GetLineTransferModeFromText(const char* text);
DWORD GetLineBusyModeFromText(const char* text);
DWORD GetLineConnectedModeFromText(const char* text);
DWORD GetLineDialToneModeFromText(const char* text);
DWORD GetLineDisconnectModeFromText(const char* text);
DWORD GetLineOfferingModeFromText(const char* text);
DWORD GetLineSpecialInfoFromText(const char* text);

// The line result code whose name (or one of the system's own result names) `text` holds, case
// significant, anywhere and at any length; 0 when none. No number is read.
LONG GetLineErrFromText(const char* text);

// The last step of every parser but GetLineErrFromText: when `value` is still 0, reads the hexadecimal
// number after a leading "0X" (blanks skipped; more than eight digits give 0xFFFFFFFF), or the decimal
// number at the start of `copy` (above 2147483647 gives 2147483647). `copy` is upper case.
void ParseNumberFallback(DWORD& value, const char* copy);

// ---- Error texts and small formatters, each into a buffer of its own

// "0x" and the value in eight hexadecimal digits.
const char* GetHexText(DWORD value);
// "DD.MM.YYYY hh:mm:ss:mmm"; the empty text for a null time.
const char* GetSystemTimeText(const SYSTEMTIME* time);
// The GUID in the usual form, "12345678-9ABC-DEF0-0123-456789ABCDEF".
const char* GetGuidText(GUID guid);
// The four words of an extension identifier, "0x%08X 0x%08X 0x%08X 0x%08X"; empty for a null pointer.
const char* GetExtensionIdText(const DWORD* words);
// The LINEERR_ or PHONEERR_ name of a result code, the sentence of one of the system's own codes -1
// to -18, or "Unknown Error".
const char* GetTapiErrorText(LONG code);
