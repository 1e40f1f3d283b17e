// Tests of the error texts and the small formatters.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tapi_text.h"

namespace {

// The published names of the line and phone result codes in the order of their values, from the
// telephony documentation; a name that is missing means the code is unused.
const char* const kLineErrNames =
    "ALLOCATED BADDEVICEID BEARERMODEUNAVAIL - CALLUNAVAIL COMPLETIONOVERRUN CONFERENCEFULL DIALBILLING "
    "DIALDIALTONE DIALPROMPT DIALQUIET INCOMPATIBLEAPIVERSION INCOMPATIBLEEXTVERSION INIFILECORRUPT INUSE "
    "INVALADDRESS INVALADDRESSID INVALADDRESSMODE INVALADDRESSSTATE INVALAPPHANDLE INVALAPPNAME "
    "INVALBEARERMODE INVALCALLCOMPLMODE INVALCALLHANDLE INVALCALLPARAMS INVALCALLPRIVILEGE INVALCALLSELECT "
    "INVALCALLSTATE INVALCALLSTATELIST INVALCARD INVALCOMPLETIONID INVALCONFCALLHANDLE "
    "INVALCONSULTCALLHANDLE INVALCOUNTRYCODE INVALDEVICECLASS INVALDEVICEHANDLE INVALDIALPARAMS "
    "INVALDIGITLIST INVALDIGITMODE INVALDIGITS INVALEXTVERSION INVALGROUPID INVALLINEHANDLE INVALLINESTATE "
    "INVALLOCATION INVALMEDIALIST INVALMEDIAMODE INVALMESSAGEID - INVALPARAM INVALPARKID INVALPARKMODE "
    "INVALPOINTER INVALPRIVSELECT INVALRATE INVALREQUESTMODE INVALTERMINALID INVALTERMINALMODE "
    "INVALTIMEOUT INVALTONE INVALTONELIST INVALTONEMODE INVALTRANSFERMODE LINEMAPPERFAILED NOCONFERENCE "
    "NODEVICE NODRIVER NOMEM NOREQUEST NOTOWNER NOTREGISTERED OPERATIONFAILED OPERATIONUNAVAIL RATEUNAVAIL "
    "RESOURCEUNAVAIL REQUESTOVERRUN STRUCTURETOOSMALL TARGETNOTFOUND TARGETSELF UNINITIALIZED "
    "USERUSERINFOTOOBIG REINIT ADDRESSBLOCKED BILLINGREJECTED INVALFEATURE NOMULTIPLEINSTANCE INVALAGENTID "
    "INVALAGENTGROUP INVALPASSWORD INVALAGENTSTATE INVALAGENTACTIVITY DIALVOICEDETECT USERCANCELLED "
    "INVALADDRESSTYPE INVALAGENTSESSIONSTATE DISCONNECTED SERVICE_NOT_RUNNING";
const char* const kPhoneErrNames =
    "ALLOCATED BADDEVICEID INCOMPATIBLEAPIVERSION INCOMPATIBLEEXTVERSION INIFILECORRUPT INUSE INVALAPPHANDLE "
    "INVALAPPNAME INVALBUTTONLAMPID INVALBUTTONMODE INVALBUTTONSTATE INVALDATAID INVALDEVICECLASS "
    "INVALEXTVERSION INVALHOOKSWITCHDEV INVALHOOKSWITCHMODE INVALLAMPMODE INVALPARAM INVALPHONEHANDLE "
    "INVALPHONESTATE INVALPOINTER INVALPRIVILEGE INVALRINGMODE NODEVICE NODRIVER NOMEM NOTOWNER "
    "OPERATIONFAILED OPERATIONUNAVAIL - RESOURCEUNAVAIL REQUESTOVERRUN STRUCTURETOOSMALL UNINITIALIZED "
    "REINIT "
    "DISCONNECTED SERVICE_NOT_RUNNING";

// Every line code up to DIALVOICEDETECT and every phone code shows its name; the later line codes, and
// the unused ones, show "Unknown Error". Each name also reads back through the parsers.
TEST(ErrorTexts, EveryCodeOfBothRangesShowsItsPublishedName) {
  struct Range {
    const char* names;
    DWORD first;
    DWORD lastNamed;
    const char* prefix;
  } ranges[] = {{kLineErrNames, 0x80000001, 0x8000005C, "LINEERR_"},
                {kPhoneErrNames, 0x90000001, 0x90000025, "PHONEERR_"}};
  for (const Range& range : ranges) {
    std::istringstream words(range.names);
    DWORD code = range.first;
    for (std::string name; words >> name; ++code) {
      const LONG signedCode = static_cast<LONG>(code);
      const bool named = name != "-" && code <= range.lastNamed;
      EXPECT_EQ(GetTapiErrorText(signedCode), named ? range.prefix + name : "Unknown Error")
          << std::hex << code;
      if (name == "-") continue;
      if (range.first == 0x80000001) {
        EXPECT_EQ(GetLineErrFromText((range.prefix + name).c_str()), signedCode) << name;
      } else {
        EXPECT_EQ(GetPhoneErrFromText(name.c_str()), code) << name;
      }
    }
    EXPECT_STREQ(GetTapiErrorText(static_cast<LONG>(code)), "Unknown Error") << "one past the last";
    EXPECT_STREQ(GetTapiErrorText(static_cast<LONG>(range.first - 1)), "Unknown Error");
  }
}

TEST(ErrorTexts, TheSystemsOwnCodes) {
  struct Case {
    LONG code;
    const char* text;
  } cases[] = {
      {-1, "No CallInfo."},
      {-2, "Vars empty or corrupted."},
      {-3, "No SubState in CallState."},
      {-4, "Dynamic feature disabled. Command in progress."},
      {-5, "Asynchronous function call needs more than 500 ms."},
      {-6, "Unexpected event."},
      {-7, "General warning."},
      {-8, "Unknown Error"},
      {-9, "Unknown Error"},
      {-10, "Unknown Error"},
      {-11, "Bad scene command."},
      {-12, "Bad function parameter."},
      {-13, "No CallState."},
      {-14, "Unexpected return value."},
      {-15, "No Reply."},
      {-16, "Unknown Error"},
      {-17, "Feature disabled. Command refused."},
      {-18, "General error."},
      {-19, "Unknown Error"},
      {0, "Unknown Error"},
      {1, "Unknown Error"},
      {0x7FFFFFFF, "Unknown Error"},
  };
  for (const Case& c : cases) EXPECT_STREQ(GetTapiErrorText(c.code), c.text) << c.code;
}

TEST(Formatters, HexTimeGuidAndExtensionId) {
  EXPECT_STREQ(GetHexText(0), "0x00000000");
  EXPECT_STREQ(GetHexText(0x80000001), "0x80000001");

  SYSTEMTIME time{2026, 12, 3, 9, 9, 5, 3, 7};
  EXPECT_STREQ(GetSystemTimeText(&time), "09.12.2026 09:05:03:007");
  SYSTEMTIME midnight{2000, 1, 6, 1, 0, 0, 0, 0};
  EXPECT_STREQ(GetSystemTimeText(&midnight), "01.01.2000 00:00:00:000");
  midnight.wDayOfWeek = 0;
  EXPECT_STREQ(GetSystemTimeText(&midnight), "01.01.2000 00:00:00:000");
  SYSTEMTIME wide{12345, 1, 0, 1, 0, 0, 0, 1000};
  EXPECT_STREQ(GetSystemTimeText(&wide), "01.01.12345 00:00:00:1000");
  EXPECT_STREQ(GetSystemTimeText(nullptr), "");

  GUID guid{0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  EXPECT_STREQ(GetGuidText(guid), "12345678-9ABC-DEF0-0123-456789ABCDEF");

  const DWORD words[] = {1, 2, 10, 0xFFFFFFFF};
  EXPECT_STREQ(GetExtensionIdText(words), "0x00000001 0x00000002 0x0000000A 0xFFFFFFFF");
  EXPECT_STREQ(GetExtensionIdText(nullptr), "");
}

TEST(Formatters, EachFunctionKeepsItsOwnBuffer) {
  const char* first = GetTapiErrorText(-1);
  EXPECT_STREQ(GetHexText(5), "0x00000005");
  EXPECT_STREQ(first, "No CallInfo.");
  EXPECT_EQ(GetTapiErrorText(-2), first);
  EXPECT_STREQ(first, "Vars empty or corrupted.");
}

}  // namespace
