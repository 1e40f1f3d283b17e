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

// What the creating commands handed the provider beyond the request.
struct Creation {
  DWORD calls = 0;
  std::vector<DWORD> values;  // handles and numbers in argument order
  std::u16string destination, group;
  DWORD completionId = 0;
};
Creation g_creation;

LONG FakePickup(DRV_REQUESTID, HDRVLINE line, DWORD address, HTAPICALL htCall, LPHDRVCALL newCall,
                LPCWSTR destination, LPCWSTR group) {
  g_creation = {g_creation.calls + 1, {line, address, htCall, *newCall}, destination, group, 0};
  return g_result;
}
// Leaves the handle variables as the service set them, as a provider that does not write them would.
LONG FakeSetupConference(DRV_REQUESTID, HDRVCALL call, HDRVLINE line, HTAPICALL conference,
                         LPHDRVCALL hdConference, HTAPICALL consultation, LPHDRVCALL hdConsultation,
                         DWORD parties, LPLINECALLPARAMS) {
  g_creation = {g_creation.calls + 1,
                {call, line, conference, *hdConference, consultation, *hdConsultation, parties},
                u"",
                u"",
                0};
  return g_result;
}
LONG FakeCompleteTransfer(DRV_REQUESTID, HDRVCALL call, HDRVCALL consultation, HTAPICALL conference,
                          LPHDRVCALL hdConference, DWORD mode) {
  g_creation = {g_creation.calls + 1, {call, consultation, conference, mode}, u"", u"", 0};
  *hdConference = 0x900;
  return g_result;
}
LONG FakeSetupTransfer(DRV_REQUESTID, HDRVCALL call, HTAPICALL consultation, LPHDRVCALL hdConsultation,
                       LPLINECALLPARAMS) {
  g_creation = {g_creation.calls + 1, {call, consultation}, u"", u"", 0};
  *hdConsultation = 0xA00;
  return g_result;
}
LONG FakeCompleteCall(DRV_REQUESTID, HDRVCALL call, LPDWORD completionId, DWORD mode, DWORD message) {
  g_creation = {g_creation.calls + 1, {call, mode, message}, u"", u"", *completionId};
  *completionId = 0x5555;
  return g_result;
}
LONG FakeGenerateDigits(HDRVCALL call, DWORD endToEnd, DWORD mode, LPCWSTR digits, DWORD duration) {
  g_creation = {g_creation.calls + 1, {call, endToEnd, mode, duration}, digits, u"", 0};
  return 0;
}

class CallCommandsTest : public CommandTest {
 protected:
  // The entry of the client's call number; fails the test when there is none.
  static const CallRecord& Call(DWORD number) {
    int position = CServiceWindow::GetPosFromDrvClientCall(number);
    EXPECT_GE(position, 0) << "no call " << number;
    return CServiceWindow::CallTable[position < 0 ? 0 : position];
  }
  void SetUp() override {
    CommandTest::SetUp();
    g_TspiEntryPoints.TSPI_lineDrop = FakeDrop;
    g_TspiEntryPoints.TSPI_lineSwapHold = FakeSwapHold;
    g_TspiEntryPoints.TSPI_lineDial = FakeDial;
    g_TspiEntryPoints.TSPI_lineMakeCall = FakeMakeCall;
    g_TspiEntryPoints.TSPI_linePickup = FakePickup;
    g_TspiEntryPoints.TSPI_lineSetupConference = FakeSetupConference;
    g_TspiEntryPoints.TSPI_lineCompleteTransfer = FakeCompleteTransfer;
    g_TspiEntryPoints.TSPI_lineSetupTransfer = FakeSetupTransfer;
    g_TspiEntryPoints.TSPI_lineCompleteCall = FakeCompleteCall;
    g_TspiEntryPoints.TSPI_lineGenerateDigits = FakeGenerateDigits;
    g_seen = {};
    g_creation = {};
    g_result = 1;
    g_bFeatureOrigin = 1;
    CServiceWindow::m_dwNextTapiCall = 4;
    m_line->SetHtLine(4);
    m_line->SetClientLine(7);
    m_line->SetHdLine(0x51);
    // Service handles far from the first draws, which skip handles that calls hold.
    CServiceWindow::InsertCall(m_line, 0x100, 12, 0x7000, 0x7000, 1);
    CServiceWindow::InsertCall(m_line, 0x200, 13, 0x7004, 0x7004, 1);
  }
};

TEST_F(CallCommandsTest, ACommandOnACallReachesTheProviderWithTheCallsHandle) {
  Run(commands::Drop::Handle, {"TSPI_lineDrop", "17", "12"});
  EXPECT_EQ(1, g_seen.calls);
  EXPECT_EQ(17u, g_seen.request);
  EXPECT_EQ(0x100u, g_seen.first);
  Run(commands::Drop::Handle, {"TSPI_lineDrop", "18", "99"});
  EXPECT_EQ(1, g_seen.calls) << "an unknown call number reaches no provider";
  g_TspiEntryPoints.TSPI_lineDrop = nullptr;
  Run(commands::Drop::Handle, {"TSPI_lineDrop", "19", "12"});
  EXPECT_EQ(1, g_seen.calls);
}

TEST_F(CallCommandsTest, SwapHoldNeedsTwoDifferentCalls) {
  Run(commands::SwapHold::Handle, {"TSPI_lineSwapHold", "1", "12", "12"});
  EXPECT_EQ(0, g_seen.calls);
  Run(commands::SwapHold::Handle, {"TSPI_lineSwapHold", "2", "12", "13"});
  EXPECT_EQ(1, g_seen.calls);
  EXPECT_EQ(0x100u, g_seen.first);
  EXPECT_EQ(0x200u, g_seen.second);
}

TEST_F(CallCommandsTest, DialHandsTheDestinationUnfilteredInUtf16) {
  Run(commands::Dial::Handle, {"TSPI_lineDial", "3", "13", "*31#9"});
  EXPECT_EQ(u"*31#9", g_seen.destination);
  EXPECT_EQ(0x200u, g_seen.first);
}

TEST_F(CallCommandsTest, MakeCallEntersThePendingCall) {
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "21", "7", "0", "30", "+1 (2) 34-5"});
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
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "0", "7", "40", "31", "200"});
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvClientCall(31)) << "a result of 0 enters no call";
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "22", "8", "40", "32", "200"});
  EXPECT_EQ(2, g_seen.calls) << "an unknown line reaches no provider";
}

TEST_F(CallCommandsTest, PickupEntersAnInboundCallWithUnfilteredTexts) {
  Run(commands::Pickup::Handle, {"TSPI_linePickup", "5", "7", "2", "0", "40", "+1+2-3", "g#1"});
  ASSERT_EQ(1u, g_creation.calls);
  EXPECT_EQ((std::vector<DWORD>{0x51, 2, 4, 40}), g_creation.values)
      << "line handle, address, drawn service handle, the variable holding the new call number";
  EXPECT_EQ(u"+1+2-3", g_creation.destination) << "no filter";
  EXPECT_EQ(u"g#1", g_creation.group);
  EXPECT_EQ(0x80u, Call(40).dwOrigin);
  EXPECT_EQ(40u, Call(40).DrvBaseCall) << "a provider that writes no handle leaves the call number";

  Run(commands::Pickup::Handle, {"TSPI_linePickup", "6", "9", "0", "0", "41", "", ""});
  EXPECT_EQ(1u, g_creation.calls) << "an unknown line reaches no provider";
  EXPECT_EQ(12u, CServiceWindow::m_dwNextTapiCall) << "the handle drawn for it is spent";
  Run(commands::Pickup::Handle, {"TSPI_linePickup", "7", "7", "0", "0", "42", "", ""});
  EXPECT_EQ(u"", g_creation.destination) << "an empty field is an empty string";
}

TEST_F(CallCommandsTest, SetupConferenceDrawsBothHandlesAndEntersBothCalls) {
  Run(commands::SetupConference::Handle,
      {"TSPI_lineSetupConference", "8", "12", "0", "0", "50", "0", "51", "3"});
  ASSERT_EQ(1u, g_creation.calls);
  EXPECT_EQ((std::vector<DWORD>{0x100, 0, 4, 50, 8, 51, 3}), g_creation.values)
      << "field 4 as the line handle unchanged; the conference handle drawn first";
  EXPECT_EQ(0x40u, Call(50).dwOrigin);
  EXPECT_EQ(4u, Call(50).TapiCall);
  EXPECT_EQ(1u, Call(51).dwOrigin);
  EXPECT_EQ(8u, Call(51).ClientTapiCall);
  EXPECT_EQ(m_line, Call(51).pLine) << "on the line of the call";

  Run(commands::SetupConference::Handle,
      {"TSPI_lineSetupConference", "9", "99", "0", "0", "52", "0", "53", "3"});
  EXPECT_EQ(1u, g_creation.calls) << "an unknown call reaches no provider";
}

TEST_F(CallCommandsTest, CompleteTransferEntersAConferenceOnlyInConferenceMode) {
  struct Case {
    const char* mode;
    LONG result;
    bool entered;
  } cases[] = {{"1", 1, false}, {"2", 1, true}, {"2", 0, false}, {"2", -5, false}};
  DWORD number = 60;
  for (const Case& c : cases) {
    g_result = c.result;
    std::string conference = std::to_string(number++);
    Run(commands::CompleteTransfer::Handle,
        {"TSPI_lineCompleteTransfer", "1", "12", "13", "0", conference, c.mode});
    EXPECT_EQ(c.entered, CServiceWindow::GetPosFromDrvClientCall(std::stoul(conference)) >= 0)
        << "mode " << c.mode << " result " << c.result;
  }
  EXPECT_EQ((std::vector<DWORD>{0x100, 0x200, 16, 2}), g_creation.values);
  EXPECT_EQ(0x40u, Call(61).dwOrigin);
  EXPECT_EQ(0x900u, Call(61).DrvBaseCall);

  DWORD before = CServiceWindow::m_dwNextTapiCall;
  Run(commands::CompleteTransfer::Handle, {"TSPI_lineCompleteTransfer", "1", "12", "99", "0", "70", "2"});
  EXPECT_EQ(4u, g_creation.calls) << "an unknown consultation call reaches no provider";
  EXPECT_EQ(before, CServiceWindow::m_dwNextTapiCall) << "and draws no handle";
}

// "TSPI_lineSetupTransfer" and "TSPI_linePrepareAddToConference" make a consultation call from a call.
TEST_F(CallCommandsTest, AConsultationCallIsEnteredOnTheLineOfItsCall) {
  g_TspiEntryPoints.TSPI_linePrepareAddToConference = FakeSetupTransfer;
  struct Case {
    void (*command)(CommandFields);
    const char* word;
  } cases[] = {{commands::SetupTransfer::Handle, "TSPI_lineSetupTransfer"},
               {commands::PrepareAddToConference::Handle, "TSPI_linePrepareAddToConference"}};
  DWORD number = 44;
  for (const Case& c : cases) {
    const std::string consultation = std::to_string(number);
    Run(c.command, {c.word, "2", "13", "20", consultation});
    EXPECT_EQ((std::vector<DWORD>{0x200, 20}), g_creation.values) << c.word;
    EXPECT_EQ(0xA00u, Call(number).DrvBaseCall);
    EXPECT_EQ(20u, Call(number).TapiCall);
    EXPECT_EQ(1u, Call(number).dwOrigin);
    EXPECT_EQ(m_line, Call(number).pLine);
    CServiceWindow::RemoveDrvBaseCall(0xA00);
    const DWORD calls = g_creation.calls;
    Run(c.command, {c.word, "3", "99", "0", "50"});
    EXPECT_EQ(calls, g_creation.calls) << c.word << ": an unknown call reaches no provider";
    ++number;
  }
}

TEST_F(CallCommandsTest, CompleteCallHandsTheCompletionIdOfField4) {
  Run(commands::CompleteCall::Handle, {"TSPI_lineCompleteCall", "3", "12", "77", "2", "9"});
  EXPECT_EQ(77u, g_creation.completionId);
  EXPECT_EQ((std::vector<DWORD>{0x100, 2, 9}), g_creation.values);
}

TEST_F(CallCommandsTest, GenerateDigitsIsSynchronous) {
  Run(commands::GenerateDigits::Handle, {"TSPI_lineGenerateDigits", "4", "13", "6", "2", "12#*", "150"});
  EXPECT_EQ((std::vector<DWORD>{0x200, 6, 2, 150}), g_creation.values);
  EXPECT_EQ(u"12#*", g_creation.destination);
  Run(commands::GenerateDigits::Handle, {"TSPI_lineGenerateDigits", "5", "99", "6", "2", "1", "150"});
  EXPECT_EQ(1u, g_creation.calls);
}

}  // namespace
