// Tests of the parsers: every key of every set, the search forms, the position rules and the numbers.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tapi_text.h"

namespace {

// Per parser: its keys with the published values of the constants they name, typed from the published
// telephony and quality-of-service documentation.
struct ParserCase {
  const char* parser;
  DWORD (*parse)(const char*);
  const char* keysWithValues;  // "NAME=0x1 OTHER=0x2 ..."
};

const ParserCase kParsers[] = {
    {"GetLineAddressStateFromText", GetLineAddressStateFromText,
     "CAPSCHANGE=0x100 DEVSPECIFIC=0x2 FORWARD=0x40 INUSEMANY=0x10 INUSEONE=0x8 INUSEZERO=0x4 NUMCALLS=0x20 "
     "OTHER=0x1 TERMINALS=0x80"},
    {"GetLineAgentStateFromText", GetLineAgentStateFromText,
     "BUSYACD=0x8 BUSYINCOMING=0x10 BUSYOTHER=0x40 BUSYOUTBOUND=0x20 LOGGEDOFF=0x1 NOTREADY=0x2 READY=0x4 "
     "UNAVAIL=0x200 UNKNOWN=0x100 WORKINGAFTERCALL=0x80"},
    {"GetLineBearerModeFromText", GetLineBearerModeFromText,
     "ALTSPEECHDATA=0x10 DATA=0x8 MULTIUSE=0x4 NONCALLSIGNALING=0x20 RESTRICTEDDATA=0x80 SPEECH=0x2 "
     "VOICE=0x1"},
    {"GetLineCallPrivilegeFromText", GetLineCallPrivilegeFromText,
     "MONITOR=0x2 NONE=0x1 OWNER=0x4 PROXY=0x40000000 SINGLEADDRESS=0x80000000"},
    {"GetLineCallInfoStateFromText", GetLineCallInfoStateFromText,
     "APPSPECIFIC=0x20 BEARERMODE=0x4 CALLDATA=0x40000000 CALLEDID=0x10000 CALLERID=0x8000 CALLID=0x40 "
     "CHARGINGINFO=0x1000000 COMPLETIONID=0x400 CONNECTEDID=0x20000 DEVSPECIFIC=0x2 DIALPARAMS=0x4000000 "
     "DISPLAY=0x100000 HIGHLEVELCOMP=0x400000 LOWLEVELCOMP=0x800000 MEDIAMODE=0x10 MONITORMODES=0x8000000 "
     "NUMMONITORS=0x2000 NUMOWNERDECR=0x1000 NUMOWNERINCR=0x800 ORIGIN=0x100 OTHER=0x1 QOS=0x20000000 "
     "RATE=0x8 REASON=0x200 REDIRECTINGID=0x80000 REDIRECTIONID=0x40000 RELATEDCALLID=0x80 "
     "TERMINAL=0x2000000 TRUNK=0x4000 USERUSERINFO=0x200000"},
    {"GetLineCallSelectFromText", GetLineCallSelectFromText,
     "ADDRESS=0x2 DEVICEID=0x8 CALLID=0x10 CALL=0x4 LINE=0x1"},
    {"GetLineCallStateFromText", GetLineCallStateFromText,
     "ACCEPTED=0x4 BUSY=0x40 CONFERENCED=0x800 DIALING=0x10 DIALTONE=0x8 DISCONNECTED=0x4000 IDLE=0x1 "
     "OFFERING=0x2 ONHOLDPENDCONF=0x1000 ONHOLDPENDTRANSFER=0x2000 PROCEEDING=0x200 RINGBACK=0x20 "
     "SPECIALINFO=0x80 UNKNOWN=0x8000 CONNECTED=0x100 ONHOLD=0x400"},
    {"GetLineCallTreatmentFromText", GetLineCallTreatmentFromText,
     "BUSY=0x3 MUSIC=0x4 RINGBACK=0x2 SILENCE=0x1"},
    {"GetLineCallComplModeFromText", GetLineCallComplModeFromText,
     "CALLBACK=0x2 CAMPON=0x1 INTRUDE=0x4 MESSAGE=0x8"},
    {"GetLineDevStateFromText", GetLineDevStateFromText,
     "BATTERY=0x8000 CAPSCHANGE=0x100000 CLOSE=0x400 CONFIGCHANGE=0x200000 COMPLCANCEL=0x800000 "
     "DEVSPECIFIC=0x20000 DISCONNECTED=0x8 INSERVICE=0x40 LOCK=0x80000 MAINTENANCE=0x100 MSGWAITOFF=0x20 "
     "MSGWAITON=0x10 NUMCALLS=0x800 NUMCOMPLETIONS=0x1000 OPEN=0x200 OTHER=0x1 OUTOFSERVICE=0x80 "
     "REINIT=0x40000 REMOVED=0x1000000 RINGING=0x2 ROAMMODE=0x4000 SIGNAL=0x10000 TERMINALS=0x2000 "
     "TRANSLATECHANGE=0x400000 CONNECTED=0x4"},
    {"GetLineDigitModeFromText", GetLineDigitModeFromText, "DTMFEND=0x4 DTMF=0x2 PULSE=0x1"},
    {"GetLineForwardModeFromText", GetLineForwardModeFromText,
     "BUSYEXTERNAL=0x40 BUSYINTERNAL=0x20 BUSYNAEXTERNAL=0x4000 BUSYNAINTERNAL=0x2000 BUSYNASPECIFIC=0x8000 "
     "BUSYSPECIFIC=0x80 BUSYNA=0x1000 BUSY=0x10 NOANSWEXTERNAL=0x400 NOANSWINTERNAL=0x200 "
     "NOANSWSPECIFIC=0x800 NOANSW=0x100 UNAVAIL=0x20000 UNCONDEXTERNAL=0x4 UNCONDINTERNAL=0x2 "
     "UNCONDSPECIFIC=0x8 UNKNOWN=0x10000 UNCOND=0x1"},
    {"GetLineDevStatusFlagsFromText", GetLineDevStatusFlagsFromText,
     "CONNECTED=0x1 INSERVICE=0x4 LOCKED=0x8 MSGWAIT=0x2"},
    {"GetLineMessageFromText", GetLineMessageFromText,
     "ADDRESSSTATE=0x0 CALLINFO=0x1 CALLSTATE=0x2 DEVSPECIFICFEATURE=0x5 DEVSPECIFICEX=0x22 DEVSPECIFIC=0x4 "
     "GATHERDIGITS=0x6 GENERATE=0x7 LINEDEVSTATE=0x8 MONITORDIGITS=0x9 MONITORMEDIA=0xA MONITORTONE=0xB "
     "AGENTSPECIFIC=0x15 AGENTSTATUSEX=0x1D AGENTSTATUS=0x16 APPNEWCALLHUB=0x20 APPNEWCALL=0x17 "
     "PROXYREQUEST=0x18 AGENTSESSIONSTATUS=0x1B QUEUESTATUS=0x1C GROUPSTATUS=0x1E PROXYSTATUS=0x1F "
     "CALLHUBCLOSE=0x21 CLOSE=0x3 CREATE=0x13 REMOVE=0x19 REPLY=0xC REQUEST=0xD"},
    {"GetLineMediaControlFromText", GetLineMediaControlFromText,
     "NONE=0x1 PAUSE=0x8 RATEDOWN=0x40 RATENORMAL=0x80 RATEUP=0x20 RESET=0x4 RESUME=0x10 START=0x2 "
     "VOLUMEDOWN=0x200 VOLUMENORMAL=0x400 VOLUMEUP=0x100"},
    {"GetLineMediaModeFromText", GetLineMediaModeFromText,
     "INTERACTIVEVOICE=0x4 AUTOMATEDVOICE=0x8 DATAMODEM=0x10 ADSI=0x2000 DIGITALDATA=0x100 G3FAX=0x20 "
     "G4FAX=0x80 MIXED=0x1000 TDD=0x40 TELETEX=0x200 TELEX=0x800 VIDEOTEX=0x400 VOICEVIEW=0x4000 UNKNOWN=0x2 "
     "VIDEO=0x8000"},
    {"GetLineCallOriginFromText", GetLineCallOriginFromText,
     "CONFERENCE=0x40 EXTERNAL=0x4 INBOUND=0x80 INTERNAL=0x2 OUTBOUND=0x1 UNAVAIL=0x20 UNKNOWN=0x10"},
    {"GetLineParkModeFromText", GetLineParkModeFromText, "NONDIRECTED=0x2 DIRECTED=0x1"},
    {"GetQosServiceTypeFromText", GetQosServiceTypeFromText,
     "NOTRAFFIC=0x0 BESTEFFORT=0x1 CONTROLLEDLOAD=0x2 GUARANTEED=0x3 NETWORK_UNAVAILABLE=0x4 "
     "GENERAL_INFORMATION=0x5 NOCHANGE=0x6 NONCONFORMING=0x9 NETWORK_CONTROL=0xA QUALITATIVE=0xD"},
    {"GetPhoneButtonFunctionFromText", GetPhoneButtonFunctionFromText,
     "ABBREVDIAL=0xB BUSY=0x1D BRIDGEDAPP=0x1C CALLAPP=0x1E CALLID=0x22 CAMPON=0x2B COVER=0x21 "
     "CONFERENCE=0x1 CONNECT=0x7 DATAOFF=0x19 DATAON=0x18 DATETIME=0x1F DIRECTORY=0x20 DISCONNECT=0x6 "
     "DONOTDISTURB=0x1A FLASH=0x17 FORWARD=0xC HOLD=0x4 INTERCOM=0x1B LASTNUM=0x23 MSGINDICATOR=0x26 "
     "MSGWAITOFF=0x9 MSGWAITON=0x8 MUTE=0x12 NIGHTSRV=0x24 NONE=0x2E PARK=0xF PICKUP=0xD QUEUECALL=0x2D "
     "RECALL=0x5 REDIRECT=0x11 REJECT=0x10 REPDIAL=0x27 RINGAGAIN=0xE SAVEREPEAT=0x2C SELECTRING=0xA "
     "SETREPDIAL=0x28 SENDCALLS=0x25 SPEAKEROFF=0x16 SPEAKERON=0x15 STATIONSPEED=0x2A SYSTEMSPEED=0x29 "
     "TRANSFER=0x2 UNKNOWN=0x0 VOLUMEDOWN=0x14 VOLUMEUP=0x13"},
    {"GetPhoneButtonModeFromText", GetPhoneButtonModeFromText,
     "CALL=0x2 DISPLAY=0x20 DUMMY=0x1 FEATURE=0x4 KEYPAD=0x8 LOCAL=0x10"},
    {"GetPhoneButtonStateFromText", GetPhoneButtonStateFromText, "DOWN=0x2 UNAVAIL=0x8 UNKNOWN=0x4 UP=0x1"},
    {"GetPhoneErrFromText", GetPhoneErrFromText,
     "ALLOCATED=0x90000001 BADDEVICEID=0x90000002 DISCONNECTED=0x90000024 INCOMPATIBLEAPIVERSION=0x90000003 "
     "INCOMPATIBLEEXTVERSION=0x90000004 INIFILECORRUPT=0x90000005 INUSE=0x90000006 INVALAPPHANDLE=0x90000007 "
     "INVALAPPNAME=0x90000008 INVALBUTTONLAMPID=0x90000009 INVALBUTTONMODE=0x9000000A "
     "INVALBUTTONSTATE=0x9000000B INVALDATAID=0x9000000C INVALDEVICECLASS=0x9000000D "
     "INVALEXTVERSION=0x9000000E INVALHOOKSWITCHDEV=0x9000000F INVALHOOKSWITCHMODE=0x90000010 "
     "INVALLAMPMODE=0x90000011 INVALPARAM=0x90000012 INVALPHONEHANDLE=0x90000013 INVALPHONESTATE=0x90000014 "
     "INVALPOINTER=0x90000015 INVALPRIVILEGE=0x90000016 INVALRINGMODE=0x90000017 NODEVICE=0x90000018 "
     "NODRIVER=0x90000019 NOMEM=0x9000001A NOTOWNER=0x9000001B OPERATIONFAILED=0x9000001C "
     "OPERATIONUNAVAIL=0x9000001D REINIT=0x90000023 REQUESTOVERRUN=0x90000020 RESOURCEUNAVAIL=0x9000001F "
     "STRUCTURETOOSMALL=0x90000021 UNINITIALIZED=0x90000022 SERVICE_NOT_RUNNING=0x90000025"},
    {"GetPhoneHookSwitchDevFromText", GetPhoneHookSwitchDevFromText, "HANDSET=0x1 HEADSET=0x4 SPEAKER=0x2"},
    {"GetPhoneHookSwitchModeFromText", GetPhoneHookSwitchModeFromText,
     "MICSPEAKER=0x8 MIC=0x2 ONHOOK=0x1 SPEAKER=0x4 UNKNOWN=0x10"},
    {"GetPhoneLampModeFromText", GetPhoneLampModeFromText,
     "DUMMY=0x1 BROKENFLUTTER=0x40 FLASH=0x10 FLUTTER=0x20 OFF=0x2 STEADY=0x4 UNKNOWN=0x80 WINK=0x8"},
    {"GetPhoneMessageFromText", GetPhoneMessageFromText,
     "BUTTON=0xE CLOSE=0xF DEVSPECIFIC=0x10 REPLY=0x11 STATE=0x12 CREATE=0x14 REMOVE=0x1A"},
    {"GetPhonePrivilegeFromText", GetPhonePrivilegeFromText, "MONITOR=0x1 OWNER=0x2"},
    {"GetPhoneStateFromText", GetPhoneStateFromText,
     "CAPSCHANGE=0x400000 CONNECTED=0x2 DEVSPECIFIC=0x100000 DISCONNECTED=0x4 DISPLAY=0x20 HANDSETGAIN=0x800 "
     "HANDSETHOOKSWITCH=0x200 HANDSETVOLUME=0x400 HEADSETHOOKSWITCH=0x8000 HEADSETGAIN=0x20000 "
     "HEADSETVOLUME=0x10000 LAMP=0x40 MONITORS=0x10 OTHER=0x1 OWNER=0x8 REINIT=0x200000 REMOVED=0x800000 "
     "RESUME=0x80000 RINGMODE=0x80 RINGVOLUME=0x100 SPEAKERHOOKSWITCH=0x1000 SPEAKERGAIN=0x4000 "
     "SPEAKERVOLUME=0x2000 SUSPEND=0x40000"},
    {"GetLineTermModeFromText", GetLineTermModeFromText,
     "BUTTONS=0x1 DISPLAY=0x4 HOOKSWITCH=0x10 LAMPS=0x2 MEDIABIDIRECT=0x80 MEDIAFROMLINE=0x40 "
     "MEDIATOLINE=0x20 RINGER=0x8"},
    {"GetLineToneModeFromText", GetLineToneModeFromText,
     "BEEP=0x8 BILLING=0x10 BUSY=0x4 CUSTOM=0x1 RINGBACK=0x2"},
    {"GetLineTransferModeFromText", GetLineTransferModeFromText, "TRANSFER=0x1 CONFERENCE=0x2"},
    {"GetLineBusyModeFromText", GetLineBusyModeFromText, "STATION=0x1 TRUNK=0x2 UNKNOWN=0x4 UNAVAIL=0x8"},
    {"GetLineConnectedModeFromText", GetLineConnectedModeFromText,
     "INACTIVEHELD=0x8 INACTIVE=0x2 ACTIVEHELD=0x4 ACTIVE=0x1 CONFIRMED=0x10"},
    {"GetLineDialToneModeFromText", GetLineDialToneModeFromText,
     "EXTERNAL=0x8 INTERNAL=0x4 NORMAL=0x1 SPECIAL=0x2 UNAVAIL=0x20 UNKNOWN=0x10"},
    {"GetLineDisconnectModeFromText", GetLineDisconnectModeFromText,
     "BADADDRESS=0x80 BLOCKED=0x20000 BUSY=0x20 CANCELLED=0x80000 CONGESTION=0x200 DONOTDISTURB=0x40000 "
     "FORWARDED=0x10 INCOMPATIBLE=0x400 NOANSWER=0x40 NODIALTONE=0x1000 NORMAL=0x1 NUMBERCHANGED=0x2000 "
     "OUTOFORDER=0x4000 PICKUP=0x8 QOSUNAVAIL=0x10000 REJECT=0x4 TEMPFAILURE=0x8000 UNAVAIL=0x800 "
     "UNKNOWN=0x2 UNREACHABLE=0x100"},
    {"GetLineOfferingModeFromText", GetLineOfferingModeFromText, "INACTIVE=0x2 ACTIVE=0x1"},
    {"GetLineSpecialInfoFromText", GetLineSpecialInfoFromText,
     "CUSTIRREG=0x2 NOCIRCUIT=0x1 REORDER=0x4 UNAVAIL=0x10 UNKNOWN=0x8"},
};

// Each key alone, in any letter case, reads as its own value: a wrong constant, a shorter key tested
// before a longer one that contains it, or a key that also fires inside another key shows here.
TEST(Parsers, EveryKeyAloneReadsAsItsOwnValue) {
  EXPECT_EQ(std::size(kParsers), 38u);
  for (const ParserCase& c : kParsers) {
    std::istringstream words(c.keysWithValues);
    for (std::string word; words >> word;) {
      size_t equals = word.find('=');
      std::string key = word.substr(0, equals);
      DWORD value = static_cast<DWORD>(std::stoul(word.substr(equals + 1), nullptr, 16));
      EXPECT_EQ(c.parse(key.c_str()), value) << c.parser << " " << key;
      std::string lower = key;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      EXPECT_EQ(c.parse(lower.c_str()), value) << c.parser << " " << lower;
    }
  }
}

struct Example {
  DWORD (*parse)(const char*);
  const char* text;
  DWORD value;
};

void ExpectAll(const Example* begin, const Example* end) {
  for (const Example* e = begin; e != end; ++e)
    EXPECT_EQ(e->parse(e->text), e->value) << "'" << e->text << "'";
}

TEST(Parsers, SearchFormsAndPositionRules) {
  const Example examples[] = {
      {GetLineCallStateFromText, "accepted|connected", 0x104},
      {GetLineCallStateFromText, "DISCONNECTED", 0x4000},
      {GetLineCallStateFromText, "CONNECTED|DISCONNECTED", 0x4100},
      {GetLineCallStateFromText, "ONHOLDPENDCONF", 0x1000},
      {GetLineCallStateFromText, "ONHOLD", 0x400},
      {GetLineCallStateFromText, "IDLE|ONHOLD", 0x401},
      {GetLineCallStateFromText, "ONHOLD|IDLE", 0x401},
      {GetLineCallStateFromText, "IDLE|ONHOLDPENDCONF|ONHOLD", 0x1401},
      {GetPhoneStateFromText, "DISCONNECTED", 0x4},
      {GetPhoneStateFromText, "CONNECTED", 0x2},
      {GetLineDevStateFromText, "DISCONNECTED", 0x8},
      {GetLineConnectedModeFromText, "INACTIVEHELD", 8},
      {GetLineConnectedModeFromText, "INACTIVE", 2},
      {GetLineConnectedModeFromText, "ACTIVEHELD", 4},
      {GetLineConnectedModeFromText, "ACTIVE", 1},
      {GetLineOfferingModeFromText, "INACTIVE", 2},
      {GetLineOfferingModeFromText, "ACTIVE", 1},
      {GetLineMessageFromText, "AGENTSTATUSEX", 29},
      {GetLineMessageFromText, "AGENTSTATUS", 22},
      {GetLineMessageFromText, "APPNEWCALLHUB", 32},
      {GetLineMessageFromText, "APPNEWCALL", 23},
      {GetLineMessageFromText, "DEVSPECIFICEX", 34},
      {GetLineMessageFromText, "DEVSPECIFICFEATURE", 5},
      {GetLineMessageFromText, "DEVSPECIFIC", 4},
      {GetLineMessageFromText, "LINE_REPLY", 12},
      {GetLineMessageFromText, "ADDRESSSTATE", 0},
      {GetPhoneErrFromText, "invalparam", 0x90000012},
      {GetPhoneErrFromText, "0x90000012", 0x90000012},
      {GetPhoneErrFromText, "PHONEERR_INVALPARAM", 0},
      {GetPhoneErrFromText, "INVALPARAM ", 0},
      {GetPhoneButtonFunctionFromText, "hold", 4},
      {GetPhoneButtonFunctionFromText, "HOLD ", 0},
      {GetPhoneButtonFunctionFromText, "DROP", 0},
      {GetPhoneButtonFunctionFromText, "SEND", 0},
      {GetPhoneButtonFunctionFromText, "3", 3},
      {GetPhoneLampModeFromText, "BROKENFLUTTER", 0x40},
      {GetPhoneLampModeFromText, "FLUTTER", 0x20},
      {GetLineCallSelectFromText, "CALLID", 0x10},
      {GetLineCallSelectFromText, "CALL", 4},
      {GetLineForwardModeFromText, "BUSYNAINTERNAL", 0x2000},
      {GetLineForwardModeFromText, "busy", 0x10},
      {GetLineCallTreatmentFromText, "SILENCE|RINGBACK", 3},
      {GetLineCallPrivilegeFromText, "OWNER|SINGLEADDRESS", 0x80000004},
      {GetQosServiceTypeFromText, "GUARANTEED", 3},
      {GetQosServiceTypeFromText, "NOTRAFFIC", 0},
      {GetLineBearerModeFromText, "PASSTHROUGH", 0},
      // A key written directly between parentheses counts; only the "(None)" marker is no name.
      {GetLineAddressStateFromText, "(OTHER)", 0x1},
      {GetLineCallTreatmentFromText, "(BUSY)", 3},
      {GetLineCallOriginFromText, "(INBOUND)", 0x80},
      {GetLineAgentStateFromText, "(NOTREADY)", 2},
      {GetLineCallPrivilegeFromText, "(NONE)", 0},
      // A first-name parser takes the first key of its own order, not the first name of the text.
      {GetLineDigitModeFromText, "PULSE|DTMFEND", 4},
  };
  ExpectAll(std::begin(examples), std::end(examples));
}

// The renderers' texts read back: the prefixed form too, where a name follows a blank or "(".
TEST(Parsers, RenderedTextsReadBack) {
  const Example examples[] = {
      {GetLineCallStateFromText, "ACCEPTED|CONNECTED", 0x104},
      {GetLineCallStateFromText, "0x00000104 (ACCEPTED CONNECTED )", 0x104},
      {GetLineCallStateFromText, "0x00000100 (CONNECTED )", 0x100},
      {GetLineCallStateFromText, "0x00000401 (IDLE ONHOLD )", 0x401},
      {GetLineCallStateFromText, "0x00001000 (ONHOLDPENDCONF )", 0x1000},
      {GetLineDevStateFromText, "0x00000204 (CONNECTED OPEN )", 0x204},
      {GetPhoneStateFromText, "0x00000042 (CONNECTED LAMP )", 0x42},
      {GetLineMediaModeFromText, "0x00008040 (TDD VIDEO )", 0x8040},
      {GetLineMediaModeFromText, "VIDEOTEX", 0x400},
      {GetLineMediaModeFromText, "VIDEO|VIDEOTEX", 0x8400},
      {GetLineAgentStateFromText, "NOTREADY", 0x2},
      {GetLineAgentStateFromText, "NOTREADY|READY", 0x6},
      {GetLineBearerModeFromText, "ALTSPEECHDATA", 0x10},
      {GetLineBearerModeFromText, "0x00000088 (DATA RESTRICTEDDATA )", 0x88},
      {GetLineCallInfoStateFromText, "RELATEDCALLID", 0x80},
      {GetLineCallPrivilegeFromText, "0x00000000 (None)", 0},
      {GetLineCallPrivilegeFromText, "0x00000008 (None)", 8},
      {GetLineCallPrivilegeFromText, "0x00000001 (NONE )", 1},
      {GetLineMediaControlFromText, "0x00000000 (None)", 0},
      {GetLineAddressStateFromText, "0x00000101 (CAPSCHANGE OTHER )", 0x101},
      {GetLineAddressStateFromText, "0x00000010 (None)", 0x10},
  };
  ExpectAll(std::begin(examples), std::end(examples));
  for (DWORD bit = 1; bit != 0; bit <<= 1) {
    EXPECT_EQ(GetLineCallStateFromText(GetLineCallStateText(bit, 0)), bit & 0xFFFF) << bit;
    EXPECT_EQ(GetLineCallInfoStateFromText(GetLineCallInfoStateText(bit, 0)), bit & 0x6FFFFFFF)
        << bit;  // TREATMENT and bit 31 have no name
  }
}

TEST(Parsers, NumbersAreReadOnlyWhenNoNameIsFound) {
  const Example examples[] = {
      {GetLineAddressStateFromText, "0x1f", 0x1F},
      {GetLineAddressStateFromText, "0X1F", 0x1F},
      {GetLineAddressStateFromText, "0x 1F", 0x1F},
      {GetLineAddressStateFromText, "12", 12},
      {GetLineAddressStateFromText, "12abc", 12},
      {GetLineAddressStateFromText, "007", 7},
      {GetLineAddressStateFromText, "0", 0},
      {GetLineAddressStateFromText, "-5", 0},
      {GetLineAddressStateFromText, " 5", 0},
      {GetLineAddressStateFromText, "0x", 0},
      {GetLineAddressStateFromText, "0xZZ", 0},
      {GetLineAddressStateFromText, "0x-1", 0},
      {GetLineAddressStateFromText, "99999999999", 2147483647},
      {GetLineAddressStateFromText, "4294967296", 2147483647},
      {GetLineAddressStateFromText, "0x123456789", 0xFFFFFFFF},
      {GetLineAddressStateFromText, "0xFFFFFFFF", 0xFFFFFFFF},
      {GetLineAddressStateFromText, "7|OTHER", 1},
      {GetLineAddressStateFromText, "", 0},
      {GetLineAddressStateFromText, nullptr, 0},
  };
  ExpectAll(std::begin(examples), std::end(examples));

  DWORD value = 5;
  ParseNumberFallback(value, "0X10");
  EXPECT_EQ(value, 5u) << "a value already found stays";
  value = 0;
  ParseNumberFallback(value, "0X10");
  EXPECT_EQ(value, 0x10u);
}

// Only the first 62 characters are read; the line error search has no such limit.
TEST(Parsers, TheTextIsCutAfterItsSixtySecondCharacter) {
  const std::string fits = std::string(57, ' ') + "OTHER";
  const std::string runsPast = std::string(58, ' ') + "OTHER";
  const std::string behind = std::string(63, ' ') + "OTHER";
  EXPECT_EQ(GetLineAddressStateFromText(fits.c_str()), 1u);
  EXPECT_EQ(GetLineAddressStateFromText(runsPast.c_str()), 0u);
  EXPECT_EQ(GetLineAddressStateFromText(behind.c_str()), 0u);
  EXPECT_EQ(GetLineErrFromText((std::string(500, ' ') + "NOMEM").c_str()), static_cast<LONG>(0x80000044));
}

TEST(Parsers, LineErrorNames) {
  struct Case {
    const char* text;
    LONG code;
  } cases[] = {
      {"INVALADDRESSTYPE", static_cast<LONG>(0x8000005E)},
      {"INVALADDRESS", static_cast<LONG>(0x80000010)},
      {"INVALTONEMODE", static_cast<LONG>(0x8000003E)},
      {"INVALTONE", static_cast<LONG>(0x8000003C)},
      {"INVALTONELIST", static_cast<LONG>(0x8000003D)},
      {"INVALCALLSTATELIST", static_cast<LONG>(0x8000001D)},
      {"INVALCALLSTATE", static_cast<LONG>(0x8000001C)},
      {"LINEERR_INVALPARAM", static_cast<LONG>(0x80000032)},
      {"SERVICE_NOT_RUNNING", static_cast<LONG>(0x80000061)},
      {"NOCALLINFO", -1},
      {"REFUSEFUNCTION", -17},
      {"NOSCENEFILE", -16},
      {"ASYNCTIMETOLONG", -5},
      {"NOVARS NOCALLINFO", -2},  // the first name in the search's order wins
      {"invalparam", 0},
      {"0x80000032", 0},
      {"", 0},
      {nullptr, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(GetLineErrFromText(c.text), c.code) << (c.text ? c.text : "null");
}

}  // namespace
