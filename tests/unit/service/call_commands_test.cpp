// Tests of the call commands against fake provider entry points.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_fixture.h"

namespace {

struct Seen {
  int calls = 0;
  DRV_REQUESTID request = 0;
  HDRVCALL first = 0;
  HDRVCALL second = 0;
  std::u16string destination;
};
Seen g_seen;
LONG g_result = 1;

LONG FakeDrop(DRV_REQUESTID request, HDRVCALL call, LPCSTR, DWORD) {
  g_seen = {g_seen.calls + 1, request, call, 0, u""};
  return g_result;
}
LONG FakeSwapHold(DRV_REQUESTID request, HDRVCALL active, HDRVCALL held) {
  g_seen = {g_seen.calls + 1, request, active, held, u""};
  return g_result;
}
LONG FakeDial(DRV_REQUESTID request, HDRVCALL call, LPCWSTR destination, DWORD) {
  g_seen = {g_seen.calls + 1, request, call, 0, destination};
  return g_result;
}
LONG FakeMakeCall(DRV_REQUESTID request, HDRVLINE line, HTAPICALL, LPHDRVCALL newCall, LPCWSTR destination,
                  DWORD, LPLINECALLPARAMS) {
  g_seen = {g_seen.calls + 1, request, line, 0, destination};
  *newCall = 0x700;
  return g_result;
}

class CallCommandsTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    g_TspiEntryPoints.TSPI_lineDrop = FakeDrop;
    g_TspiEntryPoints.TSPI_lineSwapHold = FakeSwapHold;
    g_TspiEntryPoints.TSPI_lineDial = FakeDial;
    g_TspiEntryPoints.TSPI_lineMakeCall = FakeMakeCall;
    g_seen = {};
    g_result = 1;
    g_bFeatureOrigin = 1;
    CServiceWindow::m_dwNextTapiCall = 4;
    m_line->SetHtLine(4);
    m_line->SetClientLine(7);
    m_line->SetHdLine(0x51);
    CServiceWindow::InsertCall(m_line, 0x100, 12, 8, 8, 1);
    CServiceWindow::InsertCall(m_line, 0x200, 13, 12, 12, 1);
  }
};

TEST_F(CallCommandsTest, ACommandOnACallReachesTheProviderWithTheCallsHandle) {
  Run(commands::Drop, {"TSPI_lineDrop", "17", "12"});
  EXPECT_EQ(1, g_seen.calls);
  EXPECT_EQ(17u, g_seen.request);
  EXPECT_EQ(0x100u, g_seen.first);
  Run(commands::Drop, {"TSPI_lineDrop", "18", "99"});
  EXPECT_EQ(1, g_seen.calls) << "an unknown call number reaches no provider";
  g_TspiEntryPoints.TSPI_lineDrop = nullptr;
  Run(commands::Drop, {"TSPI_lineDrop", "19", "12"});
  EXPECT_EQ(1, g_seen.calls);
}

TEST_F(CallCommandsTest, SwapHoldNeedsTwoDifferentCalls) {
  Run(commands::SwapHold, {"TSPI_lineSwapHold", "1", "12", "12"});
  EXPECT_EQ(0, g_seen.calls);
  Run(commands::SwapHold, {"TSPI_lineSwapHold", "2", "12", "13"});
  EXPECT_EQ(1, g_seen.calls);
  EXPECT_EQ(0x100u, g_seen.first);
  EXPECT_EQ(0x200u, g_seen.second);
}

TEST_F(CallCommandsTest, DialHandsTheDestinationUnfilteredInUtf16) {
  Run(commands::Dial, {"TSPI_lineDial", "3", "13", "*31#9"});
  EXPECT_EQ(u"*31#9", g_seen.destination);
  EXPECT_EQ(0x200u, g_seen.first);
}

TEST_F(CallCommandsTest, MakeCallEntersThePendingCall) {
  Run(commands::MakeCall, {"TSPI_lineMakeCall", "21", "7", "0", "30", "+1 (2) 34-5"});
  ASSERT_EQ(1, g_seen.calls);
  EXPECT_EQ(0x51u, g_seen.first) << "the provider's handle of the line";
  EXPECT_EQ(u"+1(2)345", g_seen.destination);
  int position = CServiceWindow::GetPosFromDrvClientCall(30);
  ASSERT_GE(position, 0);
  const CallRecord& call = CServiceWindow::CallTable[position];
  EXPECT_EQ(0x700u, call.DrvBaseCall);
  EXPECT_EQ(4u, call.TapiCall) << "service handle 0 draws one";
  EXPECT_EQ(4u, call.ClientTapiCall);
  EXPECT_EQ(1u, call.dwOrigin);
  EXPECT_EQ(m_line, call.pLine);

  g_result = 0;
  Run(commands::MakeCall, {"TSPI_lineMakeCall", "0", "7", "40", "31", "200"});
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvClientCall(31)) << "a result of 0 enters no call";
  Run(commands::MakeCall, {"TSPI_lineMakeCall", "22", "8", "40", "32", "200"});
  EXPECT_EQ(2, g_seen.calls) << "an unknown line reaches no provider";
}

}  // namespace
