// Result codes, hexadecimal values, times, GUIDs and extension identifiers as short texts.
#include <cstring>

#include "bounded_text.h"
#include "own_results.h"
#include "tapi_text.h"
#include "value_names.h"

using namespace tapitext;

namespace {

// The line codes are named up to DIALVOICEDETECT; the later ones are read by name but not written.
constexpr DWORD kLastNamedLineErr = LINEERR_DIALVOICEDETECT;

const NamedValue* FindValue(NameList names, DWORD value) {
  for (const NamedValue& entry : names) {
    if (entry.value == value) return &entry;
  }
  return nullptr;
}

}  // namespace

const char* GetHexText(DWORD value) {
  static char buffer[32];
  BoundedPrint(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

const char* GetSystemTimeText(const SYSTEMTIME* time) {
  static char buffer[128];
  buffer[0] = '\0';
  if (time == nullptr) return buffer;
  BoundedPrint(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d:%03d", time->wDay, time->wMonth,
               time->wYear, time->wHour, time->wMinute, time->wSecond, time->wMilliseconds);
  return buffer;
}

const char* GetGuidText(GUID guid) {
  static char buffer[128];
  BoundedPrint(buffer, sizeof buffer, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", guid.Data1,
               guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
               guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return buffer;
}

const char* GetExtensionIdText(const DWORD* words) {
  static char buffer[128];
  buffer[0] = '\0';
  if (words == nullptr) return buffer;
  BoundedPrint(buffer, sizeof buffer, "0x%08X 0x%08X 0x%08X 0x%08X", words[0], words[1], words[2], words[3]);
  return buffer;
}

const char* GetTapiErrorText(LONG code) {
  static char buffer[256];
  BoundedPrint(buffer, sizeof buffer, "%s", "Unknown Error");
  const DWORD value = static_cast<DWORD>(code);
  const NamedValue* named = nullptr;
  const char* prefix = nullptr;
  if (value >= LINEERR_ALLOCATED && value <= kLastNamedLineErr) {
    named = FindValue(kLineErr, value);
    prefix = "LINEERR_";
  } else if (value >= PHONEERR_ALLOCATED && value <= PHONEERR_SERVICE_NOT_RUNNING) {
    named = FindValue(kPhoneErr, value);
    prefix = "PHONEERR_";
  }
  if (named != nullptr) {
    BoundedPrint(buffer, sizeof buffer, "%s%s", prefix, named->name);
    return buffer;
  }
  for (const OwnResult& own : kOwnResults) {
    if (own.code == code && own.text != nullptr) BoundedPrint(buffer, sizeof buffer, "%s", own.text);
  }
  return buffer;
}
