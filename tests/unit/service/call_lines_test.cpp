// Tests of the call status, call information and new-call lines against fake provider queries.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "loopback_client.h"
#include "plat/sync.h"
#include "provider.h"
#include "service_window.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kPosition = 5;
constexpr DWORD kDrvBaseCall = 0x5001;
constexpr DWORD kDrvClientCall = 0x8004;  // 32772 on the lines

// What the fake provider reports for a call's status.
struct ProviderStatus {
  DWORD state = 0;
  DWORD mode = 0;
  DWORD privilege = 0;
  DWORD features = 0;
  DWORD features2 = 0;
  plat::WORD entrySecond = 0;  // a part of the structure that no line shows
};

// What the fake provider reports for a call's information; a party text of "" is no identifier.
struct ProviderInfo {
  DWORD addressId = 0;
  DWORD callStates = 0;
  DWORD bearerMode = 0;
  DWORD rate = 0;
  DWORD mediaMode = 0;
  DWORD callId = 0;
  DWORD origin = 0;
  DWORD reason = 0;
  std::string caller, called, connected, redirection, redirecting;

  // The fixed part, then each party text with its terminator behind it.
  void WriteInto(LINECALLINFO* info) const {
    info->dwAddressID = addressId;
    info->dwCallStates = callStates;
    info->dwBearerMode = bearerMode;
    info->dwRate = rate;
    info->dwMediaMode = mediaMode;
    info->dwCallID = callId;
    info->dwOrigin = origin;
    info->dwReason = reason;
    info->dwUsedSize = sizeof(LINECALLINFO);
    Put(info, caller, &LINECALLINFO::dwCallerIDSize, &LINECALLINFO::dwCallerIDOffset);
    Put(info, called, &LINECALLINFO::dwCalledIDSize, &LINECALLINFO::dwCalledIDOffset);
    Put(info, connected, &LINECALLINFO::dwConnectedIDSize, &LINECALLINFO::dwConnectedIDOffset);
    Put(info, redirection, &LINECALLINFO::dwRedirectionIDSize, &LINECALLINFO::dwRedirectionIDOffset);
    Put(info, redirecting, &LINECALLINFO::dwRedirectingIDSize, &LINECALLINFO::dwRedirectingIDOffset);
  }

 private:
  static void Put(LINECALLINFO* info, const std::string& text, DWORD LINECALLINFO::*size,
                  DWORD LINECALLINFO::*offset) {
    if (text.empty()) return;
    std::memcpy(reinterpret_cast<char*>(info) + info->dwUsedSize, text.c_str(), text.size() + 1);
    info->*size = static_cast<DWORD>(text.size() + 1);
    info->*offset = info->dwUsedSize;
    info->dwUsedSize += info->*size;
  }
};

// The fake entry points answer through these and note what they were asked.
LONG g_statusResult = 0;
ProviderStatus g_status;
std::vector<HDRVCALL> g_statusAsked;
LONG g_infoResult = 0;
ProviderInfo g_info;
std::vector<plat::BOOL> g_inSendNewCallSeen;
std::vector<DWORD> g_addressesAsked;

LONG FakeGetCallStatus(HDRVCALL call, LPLINECALLSTATUS status) {
  g_statusAsked.push_back(call);
  status->dwCallState = g_status.state;
  status->dwCallStateMode = g_status.mode;
  status->dwCallPrivilege = g_status.privilege;
  status->dwCallFeatures = g_status.features;
  status->dwCallFeatures2 = g_status.features2;
  status->tStateEntryTime.wSecond = g_status.entrySecond;
  status->dwUsedSize = sizeof(LINECALLSTATUS);
  return g_statusResult;
}

LONG FakeGetCallInfo(HDRVCALL call, LPLINECALLINFO info) {
  EXPECT_EQ(kDrvBaseCall, call);
  g_inSendNewCallSeen.push_back(g_bInSendNewCall);
  g_info.WriteInto(info);
  return g_infoResult;
}

LONG FakeGetAddressStatus(HDRVLINE, DWORD address, LPLINEADDRESSSTATUS status) {
  g_addressesAsked.push_back(address);
  status->dwAddressFeatures = 7;
  status->dwNumActiveCalls = 1;
  return 0;
}

// Sets a feature switch for one scope.
class Switch {
 public:
  Switch(plat::BOOL& flag, plat::BOOL value) : m_flag(flag), m_saved(flag) { m_flag = value; }
  ~Switch() { m_flag = m_saved; }
  Switch(const Switch&) = delete;
  Switch& operator=(const Switch&) = delete;

 private:
  plat::BOOL& m_flag;
  plat::BOOL m_saved;
};

TEST(CallFeatures, EachStateKeepsOnlyItsFeatures) {
  struct Case {
    DWORD state;
    DWORD kept;
  } cases[] = {
      {0x2, 0xF0FA7795},    {0x4, 0xF0FA7794},    {0x8, 0xF0F871D0},    {0x10, 0xF0F871D0},
      {0x20, 0xF0F871D0},   {0x200, 0xF0F871D0},  {0x100, 0xF7FDFFBA},  {0x400, 0xFCFDF7B2},
      {0x1000, 0xFCFDF7B2}, {0x2000, 0xFCFDF7B2}, {0x800, 0xF0FCFF98},  {0x1, 0xFFFFFFFF},
      {0x40, 0xFFFFFFFF},   {0x80, 0xFFFFFFFF},   {0x4000, 0xFFFFFFFF}, {0x8000, 0xFFFFFFFF},
      {0x102, 0xFFFFFFFF},  {0x0, 0xFFFFFFFF},
  };
  Switch filter(g_bFeatureFilterFeatures, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    EXPECT_EQ(c.kept, CServiceWindow::GetClearedCallFeatures(c.state, 0xFFFFFFFF));
  }
  // The mask only takes away: ACCEPT and ANSWER stay while offered and go once connected.
  EXPECT_EQ(0x5u, CServiceWindow::GetClearedCallFeatures(0x2, 0x5));
  EXPECT_EQ(0x0u, CServiceWindow::GetClearedCallFeatures(0x100, 0x5));
}

TEST(CallFeatures, WithoutTheFilterEveryFeatureStays) {
  Switch filter(g_bFeatureFilterFeatures, 0);
  EXPECT_EQ(0xFFFFFFFFu, CServiceWindow::GetClearedCallFeatures(0x8, 0xFFFFFFFF));
  EXPECT_EQ(0x12345678u, CServiceWindow::GetClearedCallFeatures(0x2, 0x12345678));
}

class CallLines : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::InitializeCriticalSection(&CServiceWindow::m_csSend);
    plat::InitializeCriticalSection(&CServiceWindow::m_csTapiCall);
  }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(m_client.Connect());
    g_TspiEntryPoints = {};
    g_TspiEntryPoints.TSPI_lineGetCallStatus = FakeGetCallStatus;
    g_TspiEntryPoints.TSPI_lineGetCallInfo = FakeGetCallInfo;
    g_TspiEntryPoints.TSPI_lineGetAddressStatus = FakeGetAddressStatus;
    std::memset(CServiceWindow::CallTable, 0, sizeof(CServiceWindow::CallTable));
    m_line.SetClientLine(3);
    m_line.SetCallFeatures(0xFFFFFFFF);
    m_line.SetCallFeatures2(0xFFFFFFFF);
    PutCall(kPosition, kDrvBaseCall, kDrvClientCall, &m_line);
  }

  void TearDown() override {
    EXPECT_TRUE(m_client.Quiet()) << "no line beyond those expected";
    m_client.Close();
    g_TspiEntryPoints = {};
    g_statusResult = 0;
    g_status = {};
    g_statusAsked.clear();
    g_infoResult = 0;
    g_info = {};
    g_inSendNewCallSeen.clear();
    g_addressesAsked.clear();
  }

  static CallRecord& PutCall(int position, DWORD drvBaseCall, DWORD drvClientCall, CLineObject* line) {
    CallRecord& call = CServiceWindow::CallTable[position];
    call = {};
    call.DrvBaseCall = drvBaseCall;
    call.DrvClientCall = drvClientCall;
    call.pLine = line;
    return call;
  }

  static CallRecord& Entry() { return CServiceWindow::CallTable[kPosition]; }

  LoopbackClient m_client;
  CLineObject m_line{7};
};

TEST_F(CallLines, StatusWithoutRefreshCarriesTheEventValues) {
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 0);
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x4000, 0x1, 0x2);
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 0);
  EXPECT_EQ((Lines{"SetLINECALLSTATUS 3 32772 256 0 0 0 0", "LINE_CALLSTATE 3 32772 256 0 4",
                   "SetLINECALLSTATUS 3 32772 16384 1 2 0 0", "LINE_CALLSTATE 3 32772 16384 1 4",
                   "SetLINECALLSTATUS 3 32772 256 0 0 0 0", "LINE_CALLSTATE 3 32772 256 0 4"}),
            m_client.Lines(6));
  EXPECT_TRUE(g_statusAsked.empty()) << "the provider is asked only with FeatureRefreshStatus";
}

// A state argument whose low 16 bits are 0 is a refresh like 0 itself: the provider's view is sent, with
// LINE_CALLINFO, and only above IDLE; nothing claims the call went IDLE.
TEST_F(CallLines, AStateWithoutItsLow16BitsIsARefresh) {
  struct Case {
    DWORD state;
    plat::BOOL refresh;
    LONG providerResult;
    Lines expected;
  } cases[] = {
      {0x10000, 0, 0, {}},
      {0xFFFF0000, 0, 0, {}},
      {0x10000, 1, static_cast<LONG>(0x80000011), {}},
      {0x10000, 1, 0, {"SetLINECALLSTATUS 3 32772 256 7 2 0 0", "LINE_CALLINFO 3 32772 1 0 0"}},
      {0, 1, 0, {"SetLINECALLSTATUS 3 32772 256 7 2 0 0", "LINE_CALLINFO 3 32772 1 0 0"}},
  };
  g_status = {0x100, 7, 2, 0, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    Switch refresh(g_bFeatureRefreshStatus, c.refresh);
    g_statusResult = c.providerResult;
    CServiceWindow::SendCallStatus(&m_line, kPosition, c.state, 5, 2);
    if (!c.expected.empty()) {
      EXPECT_EQ(c.expected, m_client.Lines(c.expected.size()));
    }
    EXPECT_TRUE(m_client.Quiet());
  }
}

TEST_F(CallLines, RefreshedStatusCarriesTheProviderFeaturesOfTheLine) {
  struct Case {
    const char* name;
    plat::BOOL filter;
    DWORD lineFeatures;
    LONG providerResult;
    std::string expected;
  } cases[] = {
      {"filtered for the state", 1, 0xFFFFFFFF, 0, "SetLINECALLSTATUS 3 32772 8 1 4 4042813904 255"},
      {"unfiltered", 0, 0xFFFFFFFF, 0, "SetLINECALLSTATUS 3 32772 8 1 4 4294967295 255"},
      {"filtered and masked by the line", 1, 0x0000FFFF, 0, "SetLINECALLSTATUS 3 32772 8 1 4 29136 255"},
      {"provider failure", 1, 0xFFFFFFFF, static_cast<LONG>(0x80000011),
       "SetLINECALLSTATUS 3 32772 8 1 4 0 0"},
  };
  Switch refresh(g_bFeatureRefreshStatus, 1);
  // The provider's own view of the call lags behind the event, which wins.
  g_status = {0x100, 7, 2, 0xFFFFFFFF, 0x0000FFFF};
  m_line.SetCallFeatures2(0x00FF00FF);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Switch filter(g_bFeatureFilterFeatures, c.filter);
    m_line.SetCallFeatures(c.lineFeatures);
    g_statusResult = c.providerResult;
    Entry().dwStatusChecksum = 0;
    CServiceWindow::SendCallStatus(&m_line, kPosition, 0x8, 1, 4);
    EXPECT_EQ((Lines{c.expected, "LINE_CALLSTATE 3 32772 8 1 4"}), m_client.Lines(2));
  }
  EXPECT_EQ((std::vector<HDRVCALL>(4, kDrvBaseCall)), g_statusAsked);
}

TEST_F(CallLines, UnchangedStatusIsSentOnceWithRefresh) {
  Switch refresh(g_bFeatureRefreshStatus, 1);
  g_status = {0x100, 0, 4, 0x10, 0};
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 4);
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 4);
  EXPECT_EQ((Lines{"SetLINECALLSTATUS 3 32772 256 0 4 16 0", "LINE_CALLSTATE 3 32772 256 0 4"}),
            m_client.Lines(2));
  EXPECT_TRUE(m_client.Quiet());

  g_status.features = 0x30;
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 4);
  EXPECT_EQ((Lines{"SetLINECALLSTATUS 3 32772 256 0 4 48 0", "LINE_CALLSTATE 3 32772 256 0 4"}),
            m_client.Lines(2));
  // A change the line does not show still counts: the whole structure is compared.
  g_status.entrySecond = 12;
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 4);
  EXPECT_EQ((Lines{"SetLINECALLSTATUS 3 32772 256 0 4 48 0", "LINE_CALLSTATE 3 32772 256 0 4"}),
            m_client.Lines(2));
}

TEST_F(CallLines, RefreshSendsACallAboveIdleAndKeepsNoChecksum) {
  Switch refresh(g_bFeatureRefreshStatus, 1);
  g_status = {0x1, 0, 4, 0x10, 0};
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0, 0, 0);
  g_status.state = 0;
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0, 0, 0);
  EXPECT_TRUE(m_client.Quiet()) << "an idle call is not refreshed";

  const Lines refreshed{"SetLINECALLSTATUS 3 32772 256 0 4 16 0", "LINE_CALLINFO 3 32772 1 0 0"};
  g_status.state = 0x100;
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0, 0, 0);
  EXPECT_EQ(refreshed, m_client.Lines(2));
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0, 0, 0);
  EXPECT_EQ(refreshed, m_client.Lines(2));

  // Once an event has sent this status, a refresh of it has nothing new to say.
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 4);
  EXPECT_EQ((Lines{"SetLINECALLSTATUS 3 32772 256 0 4 16 0", "LINE_CALLSTATE 3 32772 256 0 4"}),
            m_client.Lines(2));
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0, 0, 0);
  EXPECT_TRUE(m_client.Quiet());
}

TEST_F(CallLines, RefreshWithoutTheFeatureSendsNothing) {
  g_status = {0x100, 0, 4, 0x10, 0};
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0, 0, 0);
  EXPECT_TRUE(m_client.Quiet());
  EXPECT_TRUE(g_statusAsked.empty());
}

TEST_F(CallLines, RefreshReachesTheLinesCallsAndTheSameCallIdOnOtherLines) {
  CLineObject otherLine(8);
  otherLine.SetClientLine(9);
  otherLine.SetCallFeatures(0x0F);
  CServiceWindow::CallTable[kPosition] = {};
  PutCall(0, 0x100, 0x8010, &m_line).dwCallID = 55;  // the call of the event
  PutCall(1, 0x101, 0x8011, &m_line);
  PutCall(2, 0x102, 0x8012, &otherLine).dwCallID = 55;
  PutCall(3, 0x103, 0x8013, &otherLine).dwCallID = 66;
  PutCall(4, 0x104, 0, &m_line);  // not yet numbered for the client
  PutCall(1000, 0x105, 0x8015, &m_line);
  Switch refresh(g_bFeatureRefreshStatus, 1);
  g_status = {0x100, 0, 4, 0xFF, 0};
  struct Case {
    DWORD callId;
    std::vector<HDRVCALL> asked;
    Lines expected;
  } cases[] = {
      {55,
       {0x101, 0x102, 0x105},
       {"SetLINECALLSTATUS 3 32785 256 0 4 255 0", "LINE_CALLINFO 3 32785 1 0 0",
        "SetLINECALLSTATUS 9 32786 256 0 4 15 0", "LINE_CALLINFO 9 32786 1 0 0",
        "SetLINECALLSTATUS 3 32789 256 0 4 255 0", "LINE_CALLINFO 3 32789 1 0 0"}},
      {0,
       {0x101, 0x105},
       {"SetLINECALLSTATUS 3 32785 256 0 4 255 0", "LINE_CALLINFO 3 32785 1 0 0",
        "SetLINECALLSTATUS 3 32789 256 0 4 255 0", "LINE_CALLINFO 3 32789 1 0 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callId);
    g_statusAsked.clear();
    CServiceWindow::RefreshCallStatusWithSameCallId(&m_line, 0, c.callId);
    EXPECT_EQ(c.expected, m_client.Lines(c.expected.size()));
    EXPECT_EQ(c.asked, g_statusAsked);
  }
}

ProviderInfo FullInfo() {
  ProviderInfo info;
  info.callStates = 2;
  info.bearerMode = 1;
  info.rate = 64000;
  info.mediaMode = 4;
  info.callId = 55;
  info.origin = 1;
  info.reason = 2;
  info.caller = "201";
  info.called = "202";
  info.connected = "203";
  info.redirection = "204";
  info.redirecting = "205";
  return info;
}

TEST_F(CallLines, InfoListFollowsTheProtocolOrderAndMask) {
  struct Case {
    const char* name;
    DWORD requested;
    ProviderInfo info;
    Lines expected;
  } cases[] = {
      {"everything",
       0xFFFFFFFF,
       FullInfo(),
       {"SetLINECALLINFO 3 32772 1016669 2 1 64000 4 55 1 2 201 202 203 204 205",
        "LINE_CALLINFO 3 32772 1016669 0 0"}},
      {"a choice",
       0x20041,
       FullInfo(),
       {"SetLINECALLINFO 3 32772 131137 2 55 203", "LINE_CALLINFO 3 32772 131137 0 0"}},
      {"a reason of 0", 0x200, {}, {"SetLINECALLINFO 3 32772 0 ", "LINE_CALLINFO 3 32772 0 0 0"}},
      {"an empty call", 0xFFFFFFFF, {}, {"SetLINECALLINFO 3 32772 64 0", "LINE_CALLINFO 3 32772 64 0 0"}},
      {"bits the list does not hold",
       0x001004A2,
       FullInfo(),
       {"SetLINECALLINFO 3 32772 0 ", "LINE_CALLINFO 3 32772 0 0 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_info = c.info;
    CServiceWindow::SendCallInfo(&m_line, kPosition, c.requested);
    EXPECT_EQ(c.expected, m_client.Lines(2));
  }
}

TEST_F(CallLines, PartyIdsGoOnTheLineAsGivenUpTo29Characters) {
  struct Case {
    std::string caller;
    std::string expected;
  } cases[] = {
      {"1234567890123456789012345678901234567890",
       "SetLINECALLINFO 3 32772 32768 12345678901234567890123456789"},
      {"12345678901234567890123456789", "SetLINECALLINFO 3 32772 32768 12345678901234567890123456789"},
      {"N<0301>", "SetLINECALLINFO 3 32772 32768 N<0301>"},
      {"T201", "SetLINECALLINFO 3 32772 32768 T201"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caller);
    g_info.caller = c.caller;
    CServiceWindow::SendCallInfo(&m_line, kPosition, 0x8000);
    EXPECT_EQ((Lines{c.expected, "LINE_CALLINFO 3 32772 32768 0 0"}), m_client.Lines(2));
  }
}

TEST_F(CallLines, InfoLineIsCutAt126Characters) {
  g_info = FullInfo();
  g_info.caller = std::string(40, '1');
  g_info.called = std::string(40, '2');
  g_info.connected = std::string(40, '3');
  g_info.redirection = std::string(40, '4');
  g_info.redirecting = std::string(40, '5');
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0xFFFFFFFF);
  EXPECT_EQ((Lines{"SetLINECALLINFO 3 32772 1016669 2 1 64000 4 55 1 2 11111111111111111111111111111 "
                   "22222222222222222222222222222 333333333333333",
                   "LINE_CALLINFO 3 32772 1016669 0 0"}),
            m_client.Lines(2));
}

TEST_F(CallLines, OriginIsSettledFromWhatTheCallIs) {
  struct Case {
    plat::BOOL feature;
    DWORD providerOrigin;
    DWORD entryOrigin;
    DWORD entryState;
    std::string connectedId;
    std::string expected;
    DWORD entryOriginAfter;
  } cases[] = {
      {1, 0x10, 0, 0x100, "203", "SetLINECALLINFO 3 32772 256 128", 0x80},
      {1, 0x10, 0, 0x100, "", "SetLINECALLINFO 3 32772 256 16", 0},
      {1, 0x10, 0, 0x800, "", "SetLINECALLINFO 3 32772 256 128", 0x80},
      {1, 0x20, 0, 0x800, "", "SetLINECALLINFO 3 32772 256 128", 0x80},
      {1, 0x0, 0, 0x100, "203", "SetLINECALLINFO 3 32772 256 128", 0x80},
      {1, 0x0, 0, 0x2, "203", "SetLINECALLINFO 3 32772 0 ", 0},
      {1, 0x20, 0, 0x400, "203", "SetLINECALLINFO 3 32772 256 32", 0},
      {1, 0x10, 0x2, 0x100, "203", "SetLINECALLINFO 3 32772 256 2", 0x2},
      {1, 0x41, 0, 0x2, "", "SetLINECALLINFO 3 32772 256 64", 0x40},
      {1, 0x50, 0, 0x100, "203", "SetLINECALLINFO 3 32772 256 64", 0x40},
      {1, 0x41, 0x80, 0x2, "", "SetLINECALLINFO 3 32772 256 64", 0x80},
      {1, 0x1, 0, 0x2, "", "SetLINECALLINFO 3 32772 256 1", 0x1},
      {1, 0x4, 0x80, 0x2, "", "SetLINECALLINFO 3 32772 256 4", 0x80},
      {0, 0x41, 0, 0x2, "", "SetLINECALLINFO 3 32772 256 65", 0},
      {0, 0x10, 0, 0x100, "203", "SetLINECALLINFO 3 32772 256 16", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.feature << " 0x" << std::hex << c.providerOrigin << " 0x"
                                    << c.entryOrigin << " 0x" << c.entryState << " '" << c.connectedId
                                    << "'");
    Switch origin(g_bFeatureOrigin, c.feature);
    Entry().dwOrigin = c.entryOrigin;
    Entry().dwCallState = c.entryState;
    g_info.origin = c.providerOrigin;
    g_info.connected = c.connectedId;
    CServiceWindow::SendCallInfo(&m_line, kPosition, 0x100);
    Lines lines = m_client.Lines(2);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(c.expected, lines[0]);
    EXPECT_EQ(c.entryOriginAfter, Entry().dwOrigin);
  }
}

TEST_F(CallLines, InboundOriginStaysWithTheCall) {
  Switch origin(g_bFeatureOrigin, 1);
  Entry().dwCallState = 0x100;
  g_info.origin = 0x10;
  g_info.connected = "203";
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0x100);
  Entry().dwCallState = 0x400;
  g_info.connected = "";
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0x100);
  EXPECT_EQ((Lines{"SetLINECALLINFO 3 32772 256 128", "LINE_CALLINFO 3 32772 256 0 0",
                   "SetLINECALLINFO 3 32772 256 128", "LINE_CALLINFO 3 32772 256 0 0"}),
            m_client.Lines(4));
}

TEST_F(CallLines, UnchangedInfoIsSentOnceWithRefresh) {
  const Lines callId{"SetLINECALLINFO 3 32772 64 55", "LINE_CALLINFO 3 32772 64 0 0"};
  g_info.callId = 55;
  {
    Switch refresh(g_bFeatureRefreshStatus, 1);
    CServiceWindow::SendCallInfo(&m_line, kPosition, 0x40);
    CServiceWindow::SendCallInfo(&m_line, kPosition, 0x40);
    EXPECT_EQ(callId, m_client.Lines(2));
    EXPECT_TRUE(m_client.Quiet());
    // Other requested bits on the same information are news.
    CServiceWindow::SendCallInfo(&m_line, kPosition, 0x48);
    EXPECT_EQ((Lines{"SetLINECALLINFO 3 32772 64 55", "LINE_CALLINFO 3 32772 64 0 0"}), m_client.Lines(2));
    g_info.rate = 64000;
    CServiceWindow::SendCallInfo(&m_line, kPosition, 0x48);
    EXPECT_EQ((Lines{"SetLINECALLINFO 3 32772 72 64000 55", "LINE_CALLINFO 3 32772 72 0 0"}),
              m_client.Lines(2));
  }
  g_info.rate = 0;
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0x40);
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0x40);
  EXPECT_EQ((Lines{callId[0], callId[1], callId[0], callId[1]}), m_client.Lines(4));
}

TEST_F(CallLines, NewCallIsAnnouncedInOneBurst) {
  Entry().ClientTapiCall = 0x40;
  g_info.addressId = 1;
  g_info.callId = 77;
  g_info.origin = 0x80;
  g_info.caller = "201";
  CServiceWindow::SendNewCall(&m_line, kPosition);
  EXPECT_EQ((Lines{"LINE_NEWCALL 3 1 32772 64 77 1", "SetLINEADDRESSSTATUS 3 33 7 1 0 0",
                   "LINE_ADDRESSSTATE 3 0 0 33 0", "SetLINECALLINFO 3 32772 33088 77 128 201",
                   "LINE_CALLINFO 3 32772 33088 0 0"}),
            m_client.Lines(5));
  EXPECT_EQ(std::vector<DWORD>{1}, g_addressesAsked);
  EXPECT_EQ((std::vector<plat::BOOL>{1, 0}), g_inSendNewCallSeen) << "set only while the announcement asks";
  EXPECT_EQ(0, g_bInSendNewCall);
  EXPECT_EQ(77u, Entry().dwCallID);
  EXPECT_EQ(1, Entry().bNewCallSent);
}

TEST_F(CallLines, NewCallWithFailingInfoIsAnnouncedWithoutIds) {
  g_infoResult = static_cast<LONG>(0x80000011);
  g_info.addressId = 1;
  g_info.callId = 77;
  CServiceWindow::SendNewCall(&m_line, kPosition);
  EXPECT_EQ((Lines{"LINE_NEWCALL 3 0 32772 0 0 1", "SetLINEADDRESSSTATUS 3 33 7 1 0 0",
                   "LINE_ADDRESSSTATE 3 0 0 33 0"}),
            m_client.Lines(3));
  EXPECT_EQ(std::vector<DWORD>{0}, g_addressesAsked);
  EXPECT_EQ(0u, Entry().dwCallID);
  EXPECT_EQ(1, Entry().bNewCallSent);
  EXPECT_EQ(0, g_bInSendNewCall);
}

TEST_F(CallLines, FreeOrUnknownCallsAndMissingQueriesSendNothing) {
  Switch refresh(g_bFeatureRefreshStatus, 1);
  g_status = {0x100, 0, 4, 0x10, 0};
  g_info.callId = 55;
  for (int position : {6, -1, 1024}) {
    SCOPED_TRACE(position);
    CServiceWindow::SendCallStatus(&m_line, position, 0x100, 0, 4);
    CServiceWindow::SendCallInfo(&m_line, position, 0xFFFFFFFF);
    CServiceWindow::SendNewCall(&m_line, position);
  }
  EXPECT_EQ(0, CServiceWindow::CallTable[6].bNewCallSent);
  EXPECT_TRUE(g_statusAsked.empty());
  EXPECT_TRUE(g_inSendNewCallSeen.empty());

  g_infoResult = static_cast<LONG>(0x80000011);
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0xFFFFFFFF);
  g_TspiEntryPoints.TSPI_lineGetCallStatus = nullptr;
  g_TspiEntryPoints.TSPI_lineGetCallInfo = nullptr;
  CServiceWindow::SendCallStatus(&m_line, kPosition, 0x100, 0, 4);
  CServiceWindow::SendCallInfo(&m_line, kPosition, 0xFFFFFFFF);
  CServiceWindow::SendNewCall(&m_line, kPosition);
  EXPECT_EQ(0, Entry().bNewCallSent) << "a call the provider cannot describe stays unannounced";
  EXPECT_TRUE(m_client.Quiet());
}

}  // namespace
