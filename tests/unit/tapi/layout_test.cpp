// Tests of the telephony header: structure layouts, handle and callback types, key constants, the entry-point
// list.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "tspi.h"

namespace {

// ---- Handles and callbacks: 32-bit handles, pointer-sized event parameters, UTF-16 text.

static_assert(std::is_same_v<HDRVLINE, std::uint32_t> && std::is_same_v<HDRVCALL, std::uint32_t> &&
              std::is_same_v<HDRVPHONE, std::uint32_t> && std::is_same_v<HTAPILINE, std::uint32_t> &&
              std::is_same_v<HTAPICALL, std::uint32_t> && std::is_same_v<HTAPIPHONE, std::uint32_t> &&
              std::is_same_v<HDRVDIALOGINSTANCE, std::uint32_t> &&
              std::is_same_v<DRV_REQUESTID, std::uint32_t> && std::is_same_v<HPROVIDER, std::uint32_t> &&
              std::is_same_v<HLINE, std::uint32_t>);
static_assert(std::is_same_v<LPCWSTR, const char16_t*>);
static_assert(std::is_same_v<LINEEVENT, void (*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uintptr_t,
                                                 std::uintptr_t, std::uintptr_t)>);
static_assert(std::is_same_v<PHONEEVENT, void (*)(std::uint32_t, std::uint32_t, std::uintptr_t,
                                                  std::uintptr_t, std::uintptr_t)>);
static_assert(std::is_same_v<ASYNC_COMPLETION, void (*)(std::uint32_t, std::int32_t)>);
static_assert(
    std::is_same_v<TUISPIDLLCALLBACK, std::int32_t (*)(std::uintptr_t, std::uint32_t, void*, std::uint32_t)>);

// ---- The published signatures of the entry points the service calls, argument by argument.

static_assert(std::is_same_v<PFN_TSPI_lineNegotiateTSPIVersion, LONG (*)(DWORD, DWORD, DWORD, LPDWORD)>);
static_assert(
    std::is_same_v<PFN_TSPI_lineNegotiateExtVersion, LONG (*)(DWORD, DWORD, DWORD, DWORD, LPDWORD)>);
static_assert(std::is_same_v<PFN_TSPI_providerEnumDevices,
                             LONG (*)(DWORD, LPDWORD, LPDWORD, HPROVIDER, LINEEVENT, PHONEEVENT)>);
static_assert(std::is_same_v<PFN_TSPI_providerInit, LONG (*)(DWORD, DWORD, DWORD, DWORD, DWORD_PTR, DWORD_PTR,
                                                             ASYNC_COMPLETION, LPDWORD)>);
static_assert(std::is_same_v<PFN_TSPI_providerShutdown, LONG (*)(DWORD, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_providerCreateLineDevice, LONG (*)(DWORD_PTR, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_lineGetDevCaps, LONG (*)(DWORD, DWORD, DWORD, LINEDEVCAPS*)>);
static_assert(
    std::is_same_v<PFN_TSPI_lineGetAddressCaps, LONG (*)(DWORD, DWORD, DWORD, DWORD, LINEADDRESSCAPS*)>);
static_assert(std::is_same_v<PFN_TSPI_lineGetAddressStatus, LONG (*)(HDRVLINE, DWORD, LINEADDRESSSTATUS*)>);
static_assert(std::is_same_v<PFN_TSPI_lineGetLineDevStatus, LONG (*)(HDRVLINE, LINEDEVSTATUS*)>);
static_assert(std::is_same_v<PFN_TSPI_lineGetCallStatus, LONG (*)(HDRVCALL, LINECALLSTATUS*)>);
static_assert(std::is_same_v<PFN_TSPI_lineGetCallInfo, LONG (*)(HDRVCALL, LINECALLINFO*)>);
static_assert(std::is_same_v<PFN_TSPI_lineOpen, LONG (*)(DWORD, HTAPILINE, HDRVLINE*, DWORD, LINEEVENT)>);
static_assert(std::is_same_v<PFN_TSPI_lineClose, LONG (*)(HDRVLINE)>);
static_assert(std::is_same_v<PFN_TSPI_lineCloseCall, LONG (*)(HDRVCALL)>);
static_assert(std::is_same_v<PFN_TSPI_lineSetStatusMessages, LONG (*)(HDRVLINE, DWORD, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_lineSetDefaultMediaDetection, LONG (*)(HDRVLINE, DWORD)>);
static_assert(
    std::is_same_v<PFN_TSPI_lineForward, LONG (*)(DRV_REQUESTID, HDRVLINE, DWORD, DWORD, LINEFORWARDLIST*,
                                                  DWORD, HTAPICALL, HDRVCALL*, LINECALLPARAMS*)>);
static_assert(std::is_same_v<PFN_TSPI_lineMakeCall, LONG (*)(DRV_REQUESTID, HDRVLINE, HTAPICALL, HDRVCALL*,
                                                             LPCWSTR, DWORD, LINECALLPARAMS*)>);
static_assert(std::is_same_v<PFN_TSPI_linePickup, LONG (*)(DRV_REQUESTID, HDRVLINE, DWORD, HTAPICALL,
                                                           HDRVCALL*, LPCWSTR, LPCWSTR)>);
static_assert(std::is_same_v<PFN_TSPI_lineDrop, LONG (*)(DRV_REQUESTID, HDRVCALL, LPCSTR, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_lineAnswer, PFN_TSPI_lineDrop> &&
              std::is_same_v<PFN_TSPI_lineAccept, PFN_TSPI_lineDrop>);
static_assert(std::is_same_v<PFN_TSPI_lineDial, LONG (*)(DRV_REQUESTID, HDRVCALL, LPCWSTR, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_lineRedirect, PFN_TSPI_lineDial> &&
              std::is_same_v<PFN_TSPI_lineBlindTransfer, PFN_TSPI_lineDial>);
static_assert(std::is_same_v<PFN_TSPI_lineHold, LONG (*)(DRV_REQUESTID, HDRVCALL)>);
static_assert(std::is_same_v<PFN_TSPI_lineUnhold, PFN_TSPI_lineHold> &&
              std::is_same_v<PFN_TSPI_lineRemoveFromConference, PFN_TSPI_lineHold>);
static_assert(std::is_same_v<PFN_TSPI_lineSwapHold, LONG (*)(DRV_REQUESTID, HDRVCALL, HDRVCALL)>);
static_assert(std::is_same_v<PFN_TSPI_lineAddToConference, PFN_TSPI_lineSwapHold>);
static_assert(std::is_same_v<PFN_TSPI_lineSetupTransfer,
                             LONG (*)(DRV_REQUESTID, HDRVCALL, HTAPICALL, HDRVCALL*, LINECALLPARAMS*)>);
static_assert(std::is_same_v<PFN_TSPI_linePrepareAddToConference, PFN_TSPI_lineSetupTransfer>);
static_assert(std::is_same_v<PFN_TSPI_lineCompleteTransfer,
                             LONG (*)(DRV_REQUESTID, HDRVCALL, HDRVCALL, HTAPICALL, HDRVCALL*, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_lineSetupConference,
                             LONG (*)(DRV_REQUESTID, HDRVCALL, HDRVLINE, HTAPICALL, HDRVCALL*, HTAPICALL,
                                      HDRVCALL*, DWORD, LINECALLPARAMS*)>);
static_assert(
    std::is_same_v<PFN_TSPI_lineCompleteCall, LONG (*)(DRV_REQUESTID, HDRVCALL, LPDWORD, DWORD, DWORD)>);
static_assert(std::is_same_v<PFN_TSPI_lineGenerateDigits, LONG (*)(HDRVCALL, DWORD, DWORD, LPCWSTR, DWORD)>);
static_assert(std::is_same_v<PFN_TUISPI_lineConfigDialog, LONG (*)(TUISPIDLLCALLBACK, DWORD, HWND, LPCWSTR)>);

// ---- Structures

struct LayoutCase {
  const char* what;
  std::size_t actual;
  std::size_t expected;
};
#define SIZE_OF(type, expected) \
  LayoutCase { "sizeof " #type, sizeof(type), expected }
#define OFFSET_OF(type, field, expected) \
  LayoutCase { #type "." #field, offsetof(type, field), expected }

TEST(TapiLayoutTest, StructuresHaveThePublishedSizesAndOffsets) {
  const LayoutCase cases[] = {
      SIZE_OF(LINEDIALPARAMS, 16),
      OFFSET_OF(LINEDIALPARAMS, dwWaitForDialtone, 12),
      SIZE_OF(VARSTRING, 24),
      OFFSET_OF(VARSTRING, dwStringFormat, 12),
      OFFSET_OF(VARSTRING, dwStringOffset, 20),

      SIZE_OF(LINEDEVCAPS, 292),
      OFFSET_OF(LINEDEVCAPS, dwLineNameSize, 32),
      OFFSET_OF(LINEDEVCAPS, dwLineNameOffset, 36),
      OFFSET_OF(LINEDEVCAPS, dwStringFormat, 40),
      OFFSET_OF(LINEDEVCAPS, dwNumAddresses, 48),
      OFFSET_OF(LINEDEVCAPS, dwGatherDigitsMaxTimeout, 92),
      OFFSET_OF(LINEDEVCAPS, dwMedCtlCallStateMaxListSize, 108),
      OFFSET_OF(LINEDEVCAPS, dwDevCapFlags, 112),
      OFFSET_OF(LINEDEVCAPS, dwUUICallInfoSize, 152),
      OFFSET_OF(LINEDEVCAPS, MinDialParams, 156),
      OFFSET_OF(LINEDEVCAPS, DefaultDialParams, 188),
      OFFSET_OF(LINEDEVCAPS, dwNumTerminals, 204),
      OFFSET_OF(LINEDEVCAPS, dwLineFeatures, 236),
      OFFSET_OF(LINEDEVCAPS, dwSettableDevStatus, 240),
      OFFSET_OF(LINEDEVCAPS, PermanentLineGuid, 252),
      OFFSET_OF(LINEDEVCAPS, dwAddressTypes, 268),
      OFFSET_OF(LINEDEVCAPS, ProtocolGuid, 272),
      OFFSET_OF(LINEDEVCAPS, dwAvailableTracking, 288),

      SIZE_OF(LINEADDRESSCAPS, 228),
      OFFSET_OF(LINEADDRESSCAPS, dwAddressSize, 16),
      OFFSET_OF(LINEADDRESSCAPS, dwAddressOffset, 20),
      OFFSET_OF(LINEADDRESSCAPS, dwAddressSharing, 32),
      OFFSET_OF(LINEADDRESSCAPS, dwDisconnectModes, 80),
      OFFSET_OF(LINEADDRESSCAPS, dwCallFeatures, 108),
      OFFSET_OF(LINEADDRESSCAPS, dwCompletionMsgTextEntrySize, 164),
      OFFSET_OF(LINEADDRESSCAPS, dwAddressFeatures, 176),
      OFFSET_OF(LINEADDRESSCAPS, dwMaxCallDataSize, 204),
      OFFSET_OF(LINEADDRESSCAPS, dwCallFeatures2, 208),
      OFFSET_OF(LINEADDRESSCAPS, dwAvailableMediaModes, 224),

      SIZE_OF(LINEADDRESSSTATUS, 64),
      OFFSET_OF(LINEADDRESSSTATUS, dwNumInUse, 12),
      OFFSET_OF(LINEADDRESSSTATUS, dwNumActiveCalls, 16),
      OFFSET_OF(LINEADDRESSSTATUS, dwNumOnHoldPendCalls, 24),
      OFFSET_OF(LINEADDRESSSTATUS, dwAddressFeatures, 28),
      OFFSET_OF(LINEADDRESSSTATUS, dwForwardNumEntries, 36),
      OFFSET_OF(LINEADDRESSSTATUS, dwForwardOffset, 44),
      OFFSET_OF(LINEADDRESSSTATUS, dwDevSpecificOffset, 60),

      SIZE_OF(LINEDEVSTATUS, 88),
      OFFSET_OF(LINEDEVSTATUS, dwLineFeatures, 32),
      OFFSET_OF(LINEDEVSTATUS, dwDevStatusFlags, 56),
      OFFSET_OF(LINEDEVSTATUS, dwAvailableMediaModes, 76),
      OFFSET_OF(LINEDEVSTATUS, dwAppInfoOffset, 84),

      SIZE_OF(LINECALLSTATUS, 56),
      OFFSET_OF(LINECALLSTATUS, dwCallState, 12),
      OFFSET_OF(LINECALLSTATUS, dwCallStateMode, 16),
      OFFSET_OF(LINECALLSTATUS, dwCallPrivilege, 20),
      OFFSET_OF(LINECALLSTATUS, dwCallFeatures, 24),
      OFFSET_OF(LINECALLSTATUS, dwCallFeatures2, 36),
      OFFSET_OF(LINECALLSTATUS, tStateEntryTime, 40),

      SIZE_OF(LINECALLINFO, 344),
      OFFSET_OF(LINECALLINFO, hLine, 12),
      OFFSET_OF(LINECALLINFO, dwAddressID, 20),
      OFFSET_OF(LINECALLINFO, dwBearerMode, 24),
      OFFSET_OF(LINECALLINFO, dwRate, 28),
      OFFSET_OF(LINECALLINFO, dwMediaMode, 32),
      OFFSET_OF(LINECALLINFO, dwCallID, 40),
      OFFSET_OF(LINECALLINFO, dwCallStates, 52),
      OFFSET_OF(LINECALLINFO, DialParams, 64),
      OFFSET_OF(LINECALLINFO, dwOrigin, 80),
      OFFSET_OF(LINECALLINFO, dwReason, 84),
      OFFSET_OF(LINECALLINFO, dwCallerIDSize, 112),
      OFFSET_OF(LINECALLINFO, dwCallerIDOffset, 116),
      OFFSET_OF(LINECALLINFO, dwCalledIDOffset, 136),
      OFFSET_OF(LINECALLINFO, dwConnectedIDOffset, 156),
      OFFSET_OF(LINECALLINFO, dwRedirectionIDOffset, 176),
      OFFSET_OF(LINECALLINFO, dwRedirectingIDOffset, 196),
      OFFSET_OF(LINECALLINFO, dwDevSpecificOffset, 292),
      OFFSET_OF(LINECALLINFO, dwCallTreatment, 296),
      OFFSET_OF(LINECALLINFO, dwCallerIDAddressType, 324),
      OFFSET_OF(LINECALLINFO, dwRedirectingIDAddressType, 340),

      SIZE_OF(LINEFORWARD, 32),
      OFFSET_OF(LINEFORWARD, dwDestCountryCode, 12),
      OFFSET_OF(LINEFORWARD, dwDestAddressSize, 16),
      OFFSET_OF(LINEFORWARD, dwDestAddressOffset, 20),
      OFFSET_OF(LINEFORWARD, dwCallerAddressType, 24),
      OFFSET_OF(LINEFORWARD, dwDestAddressType, 28),
      OFFSET_OF(LINEFORWARDLIST, dwNumEntries, 4),
      OFFSET_OF(LINEFORWARDLIST, ForwardList, 8),
      LayoutCase{"LINEFORWARDLIST fourth entry",
                 offsetof(LINEFORWARDLIST, ForwardList) + 3 * sizeof(LINEFORWARD), 104},

      SIZE_OF(LINECALLPARAMS, 180),
      OFFSET_OF(LINECALLPARAMS, dwAddressID, 28),
      OFFSET_OF(LINECALLPARAMS, DialParams, 32),
      OFFSET_OF(LINECALLPARAMS, dwOrigAddressSize, 48),
      OFFSET_OF(LINECALLPARAMS, dwDevSpecificOffset, 108),
      OFFSET_OF(LINECALLPARAMS, dwPredictiveAutoTransferStates, 112),
      OFFSET_OF(LINECALLPARAMS, dwNoAnswerTimeout, 164),
      OFFSET_OF(LINECALLPARAMS, dwAddressType, 176),

      SIZE_OF(LINECALLHUBTRACKINGINFO, 20),
      SIZE_OF(LINEEXTENSIONID, 16),
      SIZE_OF(LINEGENERATETONE, 16),
      SIZE_OF(LINEMONITORTONE, 20),
      SIZE_OF(LINEMEDIACONTROLDIGIT, 12),
      SIZE_OF(LINEMEDIACONTROLMEDIA, 12),
      SIZE_OF(LINEMEDIACONTROLTONE, 24),
      SIZE_OF(LINEMEDIACONTROLCALLSTATE, 8),
      SIZE_OF(PHONEEXTENSIONID, 16),
  };
  for (const LayoutCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.what;
}

// ---- Constants

struct ValueCase {
  const char* what;
  DWORD actual;
  DWORD expected;
};
#define VALUE_OF(name, expected) \
  ValueCase { #name, name, expected }

TEST(TapiConstantsTest, CodesTheServiceReportsHaveThePublishedValues) {
  const ValueCase cases[] = {
      VALUE_OF(LINEERR_INVALCALLHANDLE, 2147483672u),
      VALUE_OF(LINEERR_INVALLINEHANDLE, 0x8000002Bu),
      VALUE_OF(LINEERR_INVALPARAM, 2147483698u),
      VALUE_OF(LINEERR_NOMEM, 0x80000044u),
      VALUE_OF(LINEERR_OPERATIONFAILED, 2147483720u),
      VALUE_OF(LINEERR_OPERATIONUNAVAIL, 2147483721u),
      VALUE_OF(LINEERR_RESOURCEUNAVAIL, 0x8000004Bu),
      VALUE_OF(LINEERR_SERVICE_NOT_RUNNING, 0x80000061u),
      VALUE_OF(PHONEERR_OPERATIONUNAVAIL, 0x9000001Du),
      VALUE_OF(PHONEERR_RESOURCEUNAVAIL, 0x9000001Fu),
      VALUE_OF(LINE_ADDRESSSTATE, 0u),
      VALUE_OF(LINE_CALLINFO, 1u),
      VALUE_OF(LINE_CALLSTATE, 2u),
      VALUE_OF(LINE_CLOSE, 3u),
      VALUE_OF(LINE_GENERATE, 7u),
      VALUE_OF(LINE_LINEDEVSTATE, 8u),
      VALUE_OF(LINE_REPLY, 12u),
      VALUE_OF(LINE_CREATE, 19u),
      VALUE_OF(LINE_REMOVE, 25u),
      VALUE_OF(LINE_NEWCALL, 500u),
      VALUE_OF(LINE_QOSINFO, 506u),
      VALUE_OF(INITIALIZE_NEGOTIATION, 0xFFFFFFFFu),
      VALUE_OF(TAPI_VERSION1_0, 0x00010003u),
      VALUE_OF(TAPI_VERSION3_1, 0x00030001u),
  };
  for (const ValueCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.what;
}

// A bit given twice or left out of a family shows as a gap in the range the family covers.
TEST(TapiConstantsTest, FlagFamiliesFillTheirRanges) {
  const ValueCase cases[] = {
      {"LINECALLSTATE_",
       LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED | LINECALLSTATE_DIALTONE |
           LINECALLSTATE_DIALING | LINECALLSTATE_RINGBACK | LINECALLSTATE_BUSY | LINECALLSTATE_SPECIALINFO |
           LINECALLSTATE_CONNECTED | LINECALLSTATE_PROCEEDING | LINECALLSTATE_ONHOLD |
           LINECALLSTATE_CONFERENCED | LINECALLSTATE_ONHOLDPENDCONF | LINECALLSTATE_ONHOLDPENDTRANSFER |
           LINECALLSTATE_DISCONNECTED | LINECALLSTATE_UNKNOWN,
       0x0000FFFFu},
      {"LINECALLFEATURE_",
       LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_ANSWER |
           LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_COMPLETECALL | LINECALLFEATURE_COMPLETETRANSF |
           LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP | LINECALLFEATURE_GATHERDIGITS |
           LINECALLFEATURE_GENERATEDIGITS | LINECALLFEATURE_GENERATETONE | LINECALLFEATURE_HOLD |
           LINECALLFEATURE_MONITORDIGITS | LINECALLFEATURE_MONITORMEDIA | LINECALLFEATURE_MONITORTONES |
           LINECALLFEATURE_PARK | LINECALLFEATURE_PREPAREADDCONF | LINECALLFEATURE_REDIRECT |
           LINECALLFEATURE_REMOVEFROMCONF | LINECALLFEATURE_SECURECALL | LINECALLFEATURE_SENDUSERUSER |
           LINECALLFEATURE_SETCALLPARAMS | LINECALLFEATURE_SETMEDIACONTROL | LINECALLFEATURE_SETTERMINAL |
           LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_SWAPHOLD |
           LINECALLFEATURE_UNHOLD | LINECALLFEATURE_RELEASEUSERUSERINFO | LINECALLFEATURE_SETTREATMENT |
           LINECALLFEATURE_SETQOS | LINECALLFEATURE_SETCALLDATA,
       0xFFFFFFFFu},
      {"LINEDEVSTATE_ up to REMOVED",
       LINEDEVSTATE_OTHER | LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED | LINEDEVSTATE_DISCONNECTED |
           LINEDEVSTATE_MSGWAITON | LINEDEVSTATE_MSGWAITOFF | LINEDEVSTATE_INSERVICE |
           LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_MAINTENANCE | LINEDEVSTATE_OPEN | LINEDEVSTATE_CLOSE |
           LINEDEVSTATE_NUMCALLS | LINEDEVSTATE_NUMCOMPLETIONS | LINEDEVSTATE_TERMINALS |
           LINEDEVSTATE_ROAMMODE | LINEDEVSTATE_BATTERY | LINEDEVSTATE_SIGNAL | LINEDEVSTATE_DEVSPECIFIC |
           LINEDEVSTATE_REINIT | LINEDEVSTATE_LOCK | LINEDEVSTATE_CAPSCHANGE | LINEDEVSTATE_CONFIGCHANGE |
           LINEDEVSTATE_TRANSLATECHANGE | LINEDEVSTATE_COMPLCANCEL | LINEDEVSTATE_REMOVED,
       0x01FFFFFFu},
      {"LINEADDRESSSTATE_ up to CAPSCHANGE",
       LINEADDRESSSTATE_OTHER | LINEADDRESSSTATE_DEVSPECIFIC | LINEADDRESSSTATE_INUSEZERO |
           LINEADDRESSSTATE_INUSEONE | LINEADDRESSSTATE_INUSEMANY | LINEADDRESSSTATE_NUMCALLS |
           LINEADDRESSSTATE_FORWARD | LINEADDRESSSTATE_TERMINALS | LINEADDRESSSTATE_CAPSCHANGE,
       0x000001FFu},
      {"LINECALLINFOSTATE_",
       LINECALLINFOSTATE_OTHER | LINECALLINFOSTATE_DEVSPECIFIC | LINECALLINFOSTATE_BEARERMODE |
           LINECALLINFOSTATE_RATE | LINECALLINFOSTATE_MEDIAMODE | LINECALLINFOSTATE_APPSPECIFIC |
           LINECALLINFOSTATE_CALLID | LINECALLINFOSTATE_RELATEDCALLID | LINECALLINFOSTATE_ORIGIN |
           LINECALLINFOSTATE_REASON | LINECALLINFOSTATE_COMPLETIONID | LINECALLINFOSTATE_NUMOWNERINCR |
           LINECALLINFOSTATE_NUMOWNERDECR | LINECALLINFOSTATE_NUMMONITORS | LINECALLINFOSTATE_TRUNK |
           LINECALLINFOSTATE_CALLERID | LINECALLINFOSTATE_CALLEDID | LINECALLINFOSTATE_CONNECTEDID |
           LINECALLINFOSTATE_REDIRECTIONID | LINECALLINFOSTATE_REDIRECTINGID | LINECALLINFOSTATE_DISPLAY |
           LINECALLINFOSTATE_USERUSERINFO | LINECALLINFOSTATE_HIGHLEVELCOMP | LINECALLINFOSTATE_LOWLEVELCOMP |
           LINECALLINFOSTATE_CHARGINGINFO | LINECALLINFOSTATE_TERMINAL | LINECALLINFOSTATE_DIALPARAMS |
           LINECALLINFOSTATE_MONITORMODES | LINECALLINFOSTATE_TREATMENT | LINECALLINFOSTATE_QOS |
           LINECALLINFOSTATE_CALLDATA,
       0x7FFFFFFFu},
  };
  for (const ValueCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.what;
}

// The call features that suit a call state, named feature by feature, give the masks the service filters
// with; a feature constant on the wrong bit changes the mask.
TEST(TapiConstantsTest, CallFeatureNamesGiveTheStateMasks) {
  const ValueCase cases[] = {
      {"offering",
       ~(LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_COMPLETETRANSF |
         LINECALLFEATURE_DIAL | LINECALLFEATURE_HOLD | LINECALLFEATURE_PARK | LINECALLFEATURE_PREPAREADDCONF |
         LINECALLFEATURE_REMOVEFROMCONF | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER |
         LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_UNHOLD),
       0xF0FA7795u},
      {"dial tone",
       ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_ANSWER |
         LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_GENERATEDIGITS |
         LINECALLFEATURE_GENERATETONE | LINECALLFEATURE_HOLD | LINECALLFEATURE_PARK |
         LINECALLFEATURE_PREPAREADDCONF | LINECALLFEATURE_REDIRECT | LINECALLFEATURE_REMOVEFROMCONF |
         LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_SWAPHOLD |
         LINECALLFEATURE_UNHOLD),
       0xF0F871D0u},
      {"connected",
       ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_DIAL | LINECALLFEATURE_REDIRECT |
         LINECALLFEATURE_UNHOLD),
       0xF7FDFFBAu},
      {"on hold",
       ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_BLINDTRANSFER |
         LINECALLFEATURE_DIAL | LINECALLFEATURE_HOLD | LINECALLFEATURE_REDIRECT | LINECALLFEATURE_SETUPCONF |
         LINECALLFEATURE_SETUPTRANSFER),
       0xFCFDF7B2u},
      {"conferenced",
       ~(LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_ANSWER |
         LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_DIAL | LINECALLFEATURE_PREPAREADDCONF |
         LINECALLFEATURE_REDIRECT | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER |
         LINECALLFEATURE_SWAPHOLD | LINECALLFEATURE_UNHOLD),
       0xF0FCFF98u},
  };
  for (const ValueCase& c : cases) EXPECT_EQ(c.expected, c.actual) << c.what;
}

// ---- The entry-point list

#define ENTRY_POINT_NAME(name) #name,
const std::vector<std::string> kAllNames = {TSPI_ENTRY_POINTS(ENTRY_POINT_NAME)};
const std::vector<std::string> kLineNames = {TSPI_LINE_ENTRY_POINTS(ENTRY_POINT_NAME)};
const std::vector<std::string> kPhoneNames = {TSPI_PHONE_ENTRY_POINTS(ENTRY_POINT_NAME)};
const std::vector<std::string> kProviderNames = {TSPI_PROVIDER_ENTRY_POINTS(ENTRY_POINT_NAME)};
const std::vector<std::string> kMspNames = {TSPI_MSP_ENTRY_POINTS(ENTRY_POINT_NAME)};
const std::vector<std::string> kUserInterfaceNames = {TUISPI_ENTRY_POINTS(ENTRY_POINT_NAME)};
#undef ENTRY_POINT_NAME

TEST(TspiEntryPointsTest, ListHolds122DistinctNames) {
  EXPECT_EQ(122u, kAllNames.size());
  EXPECT_EQ(122u, TSPI_ENTRY_POINT_COUNT);
  EXPECT_EQ(122u, std::set<std::string>(kAllNames.begin(), kAllNames.end()).size());
}

TEST(TspiEntryPointsTest, NamesStandInSlotOrder) {
  struct Slot {
    std::size_t index;
    const char* name;
  };
  const Slot slots[] = {
      {0, "TSPI_lineAccept"},
      {13, "TSPI_lineDropOnClose"},
      {14, "TSPI_lineDropNoOwner"},
      {19, "TSPI_lineGetAddressCaps"},
      {27, "TSPI_lineGetDevCaps"},
      {40, "TSPI_lineNegotiateTSPIVersion"},
      {41, "TSPI_lineOpen"},
      {70, "TSPI_lineUnpark"},
      {71, "TSPI_phoneClose"},
      {98, "TSPI_phoneSetVolume"},
      {99, "TSPI_providerConfig"},
      {102, "TSPI_providerEnumDevices"},
      {105, "TSPI_providerInit"},
      {108, "TSPI_providerShutdown"},
      {109, "TSPI_providerUIIdentify"},
      {110, "TSPI_lineMSPIdentify"},
      {113, "TSPI_lineReceiveMSPData"},
      {114, "TUISPI_lineConfigDialog"},
      {121, "TUISPI_providerRemove"},
  };
  ASSERT_EQ(122u, kAllNames.size());
  for (const Slot& slot : slots) EXPECT_EQ(slot.name, kAllNames[slot.index]) << "slot " << slot.index;
}

TEST(TspiEntryPointsTest, EachGroupHoldsItsOwnKindInTurn) {
  struct Group {
    const std::vector<std::string>* names;
    const char* prefix;
    std::size_t count;
  };
  const Group groups[] = {
      {&kLineNames, "TSPI_line", 71},         {&kPhoneNames, "TSPI_phone", 28},
      {&kProviderNames, "TSPI_provider", 11}, {&kMspNames, "TSPI_line", 4},
      {&kUserInterfaceNames, "TUISPI_", 8},
  };
  std::vector<std::string> joined;
  for (const Group& group : groups) {
    EXPECT_EQ(group.count, group.names->size()) << group.prefix;
    for (const std::string& name : *group.names) {
      EXPECT_EQ(0u, name.rfind(group.prefix, 0)) << name;
      EXPECT_EQ(group.names == &kMspNames, name.find("MSP") != std::string::npos) << name;
    }
    joined.insert(joined.end(), group.names->begin(), group.names->end());
  }
  EXPECT_EQ(kAllNames, joined);
}

TEST(TspiEntryPointsTest, OnlyTheLastEightAreUserInterfaceFunctions) {
  ASSERT_EQ(122u, kAllNames.size());
  for (std::size_t i = 0; i < kAllNames.size(); ++i) {
    EXPECT_EQ(i >= 114, kAllNames[i].rfind("TUISPI_", 0) == 0) << kAllNames[i];
  }
}

}  // namespace
