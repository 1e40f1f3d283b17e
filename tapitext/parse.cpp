// Reads TAPI names, "|"-joined name lists, the renderers' texts and plain numbers back into values.
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "own_results.h"
#include "tapi_text.h"
#include "value_names.h"

namespace tapitext {
namespace {

// The working copy: at most 62 characters of the caller's text, always terminated.
constexpr size_t kCopySize = 64;
constexpr size_t kCopiedCharacters = 62;

// How a key of an all-names parser must stand in the text to count.
enum class Match {
  // Anywhere, but the key NONE not as "(NONE)": that is the renderers' mark of a value without names.
  Anywhere,
  // At the start or after "|", so DISCONNECTED does not count as CONNECTED; also after the blank or
  // "(" before it in a renderer's text.
  Connected,
  // Before "|", or alone between separators, so ONHOLDPENDCONF does not count as ONHOLD.
  OnHold,
  // Only as a whole name between separators: NOTREADY is no READY, VIDEOTEX no VIDEO.
  WholeName,
};

struct KeyRule {
  const char* key;
  Match match;
};

// The characters that can stand around a name in a list or in a renderer's text.
bool IsSeparator(char c) { return c == '\0' || c == '|' || c == ' ' || c == '(' || c == ')'; }

bool Counts(const char* copy, const char* at, size_t length, Match match) {
  const char before = at == copy ? '\0' : at[-1];
  const char after = at[length];
  switch (match) {
    case Match::Anywhere:
      return !(before == '(' && after == ')' && length == 4 && std::strncmp(at, "NONE", 4) == 0);
    case Match::Connected:
      return at == copy || before == '|' || before == ' ' || before == '(';
    case Match::OnHold:
      return after == '|' || (IsSeparator(before) && IsSeparator(after));
    case Match::WholeName:
      return IsSeparator(before) && IsSeparator(after);
  }
  return false;
}

bool Holds(const char* copy, const char* key, Match match) {
  const size_t length = std::strlen(key);
  for (const char* at = std::strstr(copy, key); at != nullptr; at = std::strstr(at + 1, key)) {
    if (Counts(copy, at, length, match)) return true;
  }
  return false;
}

Match MatchOf(const char* key, List<KeyRule> rules) {
  for (const KeyRule& rule : rules) {
    if (std::strcmp(rule.key, key) == 0) return rule.match;
  }
  return Match::Anywhere;
}

bool IsSkipped(DWORD value, List<DWORD> skipped) {
  for (DWORD s : skipped) {
    if (s == value) return true;
  }
  return false;
}

// The common first steps: the cut, terminated, upper-cased copy of the caller's text.
void MakeCopy(const char* text, char (&copy)[kCopySize]) {
  std::memset(copy, 0, sizeof copy);
  if (text == nullptr) return;
  std::strncpy(copy, text, kCopiedCharacters);
  for (char& c : copy) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

// Every key found counts; the value is the OR of theirs.
DWORD ParseAllNames(const char* text, NameList keys, List<KeyRule> rules = {}, List<DWORD> skipped = {},
                    NameList moreKeys = {}) {
  char copy[kCopySize];
  MakeCopy(text, copy);
  DWORD value = 0;
  for (NameList list : {keys, moreKeys}) {
    for (const NamedValue& key : list) {
      if (!IsSkipped(key.value, skipped) && Holds(copy, key.name, MatchOf(key.name, rules)))
        value |= key.value;
    }
  }
  ParseNumberFallback(value, copy);
  return value;
}

// The first key found, in table order, is the value; the tables put a longer key before each shorter
// key it contains.
DWORD ParseFirstName(const char* text, NameList keys) {
  char copy[kCopySize];
  MakeCopy(text, copy);
  DWORD value = 0;
  for (const NamedValue& key : keys) {
    if (std::strstr(copy, key.name) != nullptr) {
      value = key.value;
      break;
    }
  }
  ParseNumberFallback(value, copy);
  return value;
}

// The whole text must be the key.
DWORD ParseWholeName(const char* text, NameList keys, List<DWORD> skipped = {}) {
  char copy[kCopySize];
  MakeCopy(text, copy);
  DWORD value = 0;
  for (const NamedValue& key : keys) {
    if (!IsSkipped(key.value, skipped) && std::strcmp(copy, key.name) == 0) {
      value = key.value;
      break;
    }
  }
  ParseNumberFallback(value, copy);
  return value;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr KeyRule kCallStateRules[] = {{"CONNECTED", Match::Connected}, {"ONHOLD", Match::OnHold}};
constexpr KeyRule kConnectedRule[] = {{"CONNECTED", Match::Connected}};
constexpr KeyRule kAgentStateRules[] = {{"READY", Match::WholeName}};
constexpr KeyRule kBearerModeRules[] = {{"DATA", Match::WholeName}, {"SPEECH", Match::WholeName}};
constexpr KeyRule kCallInfoStateRules[] = {{"CALLID", Match::WholeName}};
constexpr KeyRule kMediaModeRules[] = {{"VIDEO", Match::WholeName}};
// Names that are rendered but have no key.
constexpr DWORD kBearerModeWithoutKey[] = {LINEBEARERMODE_PASSTHROUGH};
constexpr DWORD kButtonFunctionsWithoutKey[] = {PHONEBUTTONFUNCTION_DROP, PHONEBUTTONFUNCTION_SEND};

}  // namespace
}  // namespace tapitext

using namespace tapitext;

void ParseNumberFallback(DWORD& value, const char* copy) {
  if (value != 0 || copy == nullptr) return;
  if (copy[0] == '0' && (copy[1] == 'X' || copy[1] == 'x')) {
    const char* at = copy + 2;
    while (IsBlank(*at)) ++at;
    uint64_t number = 0;
    for (int digit = HexDigit(*at); digit >= 0; digit = HexDigit(*++at)) {
      number = number * 16 + static_cast<uint64_t>(digit);
      if (number > UINT32_MAX) number = UINT32_MAX;
    }
    value = static_cast<DWORD>(number);
    return;
  }
  uint64_t number = 0;
  for (const char* at = copy; *at >= '0' && *at <= '9'; ++at) {
    number = number * 10 + static_cast<uint64_t>(*at - '0');
    if (number > INT32_MAX) number = INT32_MAX;
  }
  value = static_cast<DWORD>(number);
}

LONG GetLineErrFromText(const char* text) {
  if (text == nullptr) return 0;
  for (const NamedValue& key : kLineErr) {
    if (std::strstr(text, key.name) != nullptr) return static_cast<LONG>(key.value);
  }
  for (const OwnResult& own : kOwnResults) {
    if (own.key != nullptr && std::strstr(text, own.key) != nullptr) return own.code;
  }
  return 0;
}

DWORD GetLineAddressStateFromText(const char* text) { return ParseAllNames(text, kLineAddressState); }
DWORD GetLineAgentStateFromText(const char* text) {
  return ParseAllNames(text, kLineAgentState, kAgentStateRules);
}
DWORD GetLineBearerModeFromText(const char* text) {
  return ParseAllNames(text, kLineBearerMode, kBearerModeRules, kBearerModeWithoutKey);
}
DWORD GetLineCallPrivilegeFromText(const char* text) {
  return ParseAllNames(text, kLineCallPrivilege, {}, {}, kLineOpenOption);
}
DWORD GetLineCallInfoStateFromText(const char* text) {
  return ParseAllNames(text, kLineCallInfoState, kCallInfoStateRules);
}
DWORD GetLineCallSelectFromText(const char* text) { return ParseFirstName(text, kLineCallSelectKeys); }
DWORD GetLineCallStateFromText(const char* text) {
  return ParseAllNames(text, kLineCallState, kCallStateRules);
}
// An enumeration read like a bit set: the values of several names are ORed.
DWORD GetLineCallTreatmentFromText(const char* text) { return ParseAllNames(text, kLineCallTreatment); }
DWORD GetLineCallComplModeFromText(const char* text) { return ParseFirstName(text, kLineCallComplMode); }
DWORD GetLineDevStateFromText(const char* text) { return ParseAllNames(text, kLineDevState, kConnectedRule); }
DWORD GetLineDigitModeFromText(const char* text) { return ParseFirstName(text, kLineDigitModeKeys); }
DWORD GetLineForwardModeFromText(const char* text) { return ParseFirstName(text, kLineForwardModeKeys); }
DWORD GetLineDevStatusFlagsFromText(const char* text) { return ParseAllNames(text, kLineDevStatusFlags); }
DWORD GetLineMessageFromText(const char* text) { return ParseFirstName(text, kLineMessageKeys); }
DWORD GetLineMediaControlFromText(const char* text) { return ParseAllNames(text, kLineMediaControlKeys); }
DWORD GetLineMediaModeFromText(const char* text) {
  return ParseAllNames(text, kLineMediaMode, kMediaModeRules);
}
DWORD GetLineCallOriginFromText(const char* text) { return ParseAllNames(text, kLineCallOrigin); }
DWORD GetLineParkModeFromText(const char* text) { return ParseFirstName(text, kLineParkModeKeys); }
DWORD GetQosServiceTypeFromText(const char* text) { return ParseFirstName(text, kQosServiceTypeKeys); }
DWORD GetPhoneButtonFunctionFromText(const char* text) {
  return ParseWholeName(text, kPhoneButtonFunction, kButtonFunctionsWithoutKey);
}
DWORD GetPhoneButtonModeFromText(const char* text) { return ParseAllNames(text, kPhoneButtonMode); }
DWORD GetPhoneButtonStateFromText(const char* text) { return ParseAllNames(text, kPhoneButtonState); }
DWORD GetPhoneErrFromText(const char* text) { return ParseWholeName(text, kPhoneErr); }
DWORD GetPhoneHookSwitchDevFromText(const char* text) { return ParseAllNames(text, kPhoneHookSwitchDev); }
DWORD GetPhoneHookSwitchModeFromText(const char* text) {
  return ParseFirstName(text, kPhoneHookSwitchModeKeys);
}
DWORD GetPhoneLampModeFromText(const char* text) { return ParseFirstName(text, kPhoneLampMode); }
DWORD GetPhoneMessageFromText(const char* text) { return ParseFirstName(text, kPhoneMessageKeys); }
DWORD GetPhonePrivilegeFromText(const char* text) { return ParseAllNames(text, kPhonePrivilege); }
DWORD GetPhoneStateFromText(const char* text) { return ParseAllNames(text, kPhoneState, kConnectedRule); }
DWORD GetLineTermModeFromText(const char* text) { return ParseAllNames(text, kLineTermMode); }
DWORD GetLineToneModeFromText(const char* text) { return ParseAllNames(text, kLineToneMode); }
DWORD GetLineTransferModeFromText(const char* text) { return ParseFirstName(text, kLineTransferModeKeys); }
DWORD GetLineBusyModeFromText(const char* text) { return ParseFirstName(text, kLineBusyMode); }
DWORD GetLineConnectedModeFromText(const char* text) { return ParseFirstName(text, kLineConnectedModeKeys); }
DWORD GetLineDialToneModeFromText(const char* text) { return ParseFirstName(text, kLineDialToneMode); }
DWORD GetLineDisconnectModeFromText(const char* text) { return ParseFirstName(text, kLineDisconnectMode); }
DWORD GetLineOfferingModeFromText(const char* text) { return ParseFirstName(text, kLineOfferingModeKeys); }
DWORD GetLineSpecialInfoFromText(const char* text) { return ParseFirstName(text, kLineSpecialInfo); }
