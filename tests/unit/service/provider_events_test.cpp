// Tests of the provider's callbacks and the handling of posted events on the main thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ToolFunktion.h"
#include "command_fixture.h"
#include "plat/testing/window.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "provider.h"
#include "service_window.h"
#include "support/service_log.h"
#include "support/temp_dir.h"

namespace {

std::vector<HDRVCALL> g_closedCalls;
std::vector<HDRVLINE> g_closedLines;
LONG FakeCloseCall(HDRVCALL call) {
  g_closedCalls.push_back(call);
  return 0;
}
LONG FakeClose(HDRVLINE line) {
  g_closedLines.push_back(line);
  return 0;
}

// A provider whose new lines take the device id they are given, with the address "<id>0".
std::vector<DWORD> g_createdDevices;
LONG g_createResult = 0;
LONG FakeCreateLineDevice(DWORD_PTR, DWORD deviceId) {
  g_createdDevices.push_back(deviceId);
  return g_createResult;
}
LONG FakeNegotiate(DWORD, DWORD, DWORD high, LPDWORD version) {
  *version = high;
  return 0;
}
LONG FakeGetDevCaps(DWORD, DWORD, DWORD, LPLINEDEVCAPS) { return static_cast<LONG>(LINEERR_OPERATIONFAILED); }
LONG FakeGetAddressCaps(DWORD deviceId, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS caps) {
  static const char16_t kAddress[] = u"70";
  caps->dwUsedSize = caps->dwNeededSize = sizeof(LINEADDRESSCAPS) + sizeof(kAddress);
  caps->dwAddressOffset = sizeof(LINEADDRESSCAPS);
  caps->dwAddressSize = deviceId == 5 ? 0 : sizeof(kAddress);
  std::memcpy(reinterpret_cast<char*>(caps) + caps->dwAddressOffset, kAddress, sizeof(kAddress));
  return 0;
}

// A provider whose creating requests are pending, with new call handles from 0x700 on; with
// g_completeEarly the completion comes from its own thread before the request returns.
HDRVCALL g_nextCall = 0x700;
bool g_completeEarly = false;
LONG g_completion = 0;
void CompleteOnProviderThread(DRV_REQUESTID request, LONG result) {
  std::thread([request, result] { CServiceWindow::AsyncCompletion(request, result); }).join();
}
LONG FakeMakeCall(DRV_REQUESTID request, HDRVLINE, HTAPICALL, LPHDRVCALL newCall, LPCWSTR, DWORD,
                  LPLINECALLPARAMS) {
  *newCall = g_nextCall++;
  if (g_completeEarly) CompleteOnProviderThread(request, g_completion);
  return static_cast<LONG>(request);
}
LONG FakeSetupConference(DRV_REQUESTID request, HDRVCALL, HDRVLINE, HTAPICALL, LPHDRVCALL conference,
                         HTAPICALL, LPHDRVCALL consultation, DWORD, LPLINECALLPARAMS) {
  *conference = g_nextCall++;
  *consultation = g_nextCall++;
  if (g_completeEarly) CompleteOnProviderThread(request, g_completion);
  return static_cast<LONG>(request);
}
constexpr LONG kFailed = static_cast<LONG>(LINEERR_CALLUNAVAIL);

// The service's hidden window on this thread, for the events the callbacks post to it.
class EventWindow {
 public:
  EventWindow() {
    plat::WNDCLASSEXA windowClass = {};
    windowClass.cbSize = 48;
    windowClass.lpfnWndProc = CServiceWindow::WindowProc;
    windowClass.lpszClassName = "EventsTest";
    EXPECT_NE(0, plat::RegisterClassExA(&windowClass));
    m_window =
        plat::CreateWindowExA(0, "EventsTest", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CServiceWindow::m_hWnd = m_window;
  }
  ~EventWindow() {
    CServiceWindow::m_hWnd = nullptr;
    plat::DestroyWindow(m_window);
    plat::UnregisterClassA("EventsTest", nullptr);
  }
  EventWindow(const EventWindow&) = delete;
  EventWindow& operator=(const EventWindow&) = delete;

  // Hands every posted event to the window procedure, as the main thread's loop does.
  static void DispatchAll() {
    plat::MSG message;
    while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) plat::DispatchMessageA(&message);
  }

 private:
  plat::HWND m_window = nullptr;
};

class ProviderEventsTest : public CommandTest {
 protected:
  static void SetUpTestSuite() {
    CommandTest::SetUpTestSuite();
    plat::InitializeCriticalSection(&CServiceWindow::m_csLineList);
  }
  void SetUp() override {
    CommandTest::SetUp();
    g_TspiEntryPoints.TSPI_lineCloseCall = FakeCloseCall;
    g_TspiEntryPoints.TSPI_lineClose = FakeClose;
    g_closedCalls.clear();
    g_closedLines.clear();
    g_bFeatureOrigin = 1;
    g_bFeatureRefreshStatus = 0;
    g_bInProviderCall = 0;
    CServiceWindow::m_dwNextTapiCall = 4;
    CServiceWindow::m_dwNextDrvCall = 0x8004;
    CServiceWindow::m_hWnd = nullptr;
    m_line->SetHtLine(4);
    m_line->SetClientLine(7);
    m_line->SetHdLine(0x51);
  }
  // The event as the window procedure hands it over.
  static void Handle(HTAPILINE htLine, HTAPICALL htCall, DWORD message, DWORD_PTR param1 = 0,
                     DWORD_PTR param2 = 0, DWORD_PTR param3 = 0) {
    CServiceWindow::LineEventFunction2(1, htLine, htCall, message, param1, param2, param3);
  }
  static const CallRecord* CallOf(HTAPICALL htCall) {
    int position = CServiceWindow::GetPosFromTapiCall(htCall);
    return position < 0 ? nullptr : &CServiceWindow::CallTable[position];
  }
};

TEST_F(ProviderEventsTest, NewCallGetsTheNextHandlesAndEntersTheCall) {
  HTAPICALL given = 0;
  CServiceWindow::LineEventFunction(4, 0, LINE_NEWCALL, 0x300, reinterpret_cast<DWORD_PTR>(&given), 0);
  EXPECT_EQ(4u, given);
  const CallRecord* call = CallOf(4);
  ASSERT_NE(nullptr, call);
  EXPECT_EQ(0x300u, call->DrvBaseCall);
  EXPECT_EQ(32772u, call->DrvClientCall);
  EXPECT_EQ(0u, call->ClientTapiCall);
  EXPECT_EQ(0u, call->dwOrigin);
  EXPECT_FALSE(call->bNewCallSent);
  EXPECT_EQ(m_line, call->pLine);
  EXPECT_EQ(8u, CServiceWindow::m_dwNextTapiCall);
  EXPECT_EQ(0x8008u, CServiceWindow::m_dwNextDrvCall);

  // Unknown lines (and line handle 0) get the handle, but nothing is entered and nothing advances.
  for (HTAPILINE unknown : {HTAPILINE{0}, HTAPILINE{99}}) {
    given = 0;
    CServiceWindow::LineEventFunction(unknown, 0, LINE_NEWCALL, 0x301, reinterpret_cast<DWORD_PTR>(&given),
                                      0);
    EXPECT_EQ(8u, given);
    EXPECT_EQ(8u, CServiceWindow::m_dwNextTapiCall);
    EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(0x301));
  }
  CServiceWindow::LineEventFunction(4, 0, LINE_NEWCALL, 0x302, 0, 0);
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(0x302)) << "no place for the handle, no call";
}

// The log tells the steps of a new call in their order: the handle handed over, the entry, the draws.
TEST_F(ProviderEventsTest, ANewCallLogsTheHandoverTheEntryAndTheDrawsInThatOrder) {
  testsupport::TempDir dir;
  testsupport::WriteLogConfiguration(dir / "log4cxx.xml", dir / "velcora.log");
  std::snprintf(g_szLogConfigFile, sizeof(g_szLogConfigFile), "%s", (dir / "log4cxx.xml").c_str());
  ASSERT_EQ(0, TOOLFUNC_debug::ConfigureLogging());
  CServiceWindow::m_dwNextTapiCall = 0x7FFC;
  HTAPICALL given = 0;
  CServiceWindow::LineEventFunction(4, 0, LINE_NEWCALL, 0x300, reinterpret_cast<DWORD_PTR>(&given), 0);
  EXPECT_EQ(0x7FFCu, given);

  const std::string steps =
      "DEBUG Velcora:  LINE_NEWCALL(1): 32764\n"
      "DEBUG Velcora: CServiceWindow::InsertCall Line 0 0x00000300 0x00008004 0x00007FFC\n"
      "DEBUG Velcora: CServiceWindow::IncrementDrvCall\n"
      "DEBUG Velcora: CServiceWindow::IncrementTapiCall\n";
  const std::string log = testsupport::ReadFile(dir / "velcora.log");
  const size_t handover = log.find("DEBUG Velcora:  LINE_NEWCALL(1)");
  ASSERT_NE(std::string::npos, handover) << log;
  EXPECT_EQ(steps, log.substr(handover, steps.size())) << log;
  // The draws gave the values entered, and the counters went on past them.
  const CallRecord* call = CallOf(0x7FFC);
  ASSERT_NE(nullptr, call);
  EXPECT_EQ(0x8004u, call->DrvClientCall);
  EXPECT_EQ(4u, CServiceWindow::m_dwNextTapiCall);
  EXPECT_EQ(0x8008u, CServiceWindow::m_dwNextDrvCall);
}

TEST_F(ProviderEventsTest, NewCallsFromSeveralThreadsEachGetTheirOwnHandle) {
  constexpr int kThreads = 4, kCalls = 50;
  std::vector<std::vector<HTAPICALL>> given(kThreads, std::vector<HTAPICALL>(kCalls));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &given] {
      for (int c = 0; c < kCalls; ++c)
        CServiceWindow::LineEventFunction(4, 0, LINE_NEWCALL, 0x1000 + t * kCalls + c,
                                          reinterpret_cast<DWORD_PTR>(&given[t][c]), 0);
    });
  // The main thread draws handles for client-made calls meanwhile.
  std::vector<DWORD> drawn;
  for (int i = 0; i < kCalls; ++i) drawn.push_back(CServiceWindow::IncrementTapiCall());
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t)
    for (int c = 0; c < kCalls; ++c) {
      const CallRecord* call = CallOf(given[t][c]);
      ASSERT_NE(nullptr, call);
      EXPECT_EQ(DWORD(0x1000 + t * kCalls + c), call->DrvBaseCall) << "the entry carries the handle given";
      drawn.push_back(given[t][c]);
    }
  std::sort(drawn.begin(), drawn.end());
  EXPECT_EQ(drawn.end(), std::adjacent_find(drawn.begin(), drawn.end())) << "no handle twice";
}

TEST_F(ProviderEventsTest, IdleClosesTheCallAndFreesItsEntry) {
  CServiceWindow::InsertCall(m_line, 0x100, 12, 8, 8, 1);
  Handle(4, 8, LINE_CALLSTATE, 0x10000 | LINECALLSTATE_IDLE);
  EXPECT_EQ(std::vector<HDRVCALL>{0x100}, g_closedCalls) << "the state is the low 16 bits";
  EXPECT_EQ(nullptr, CallOf(8));
  Handle(4, 8, LINE_CALLSTATE, LINECALLSTATE_IDLE);
  EXPECT_EQ(1u, g_closedCalls.size()) << "a later event of the freed call finds nothing";

  g_TspiEntryPoints.TSPI_lineCloseCall = nullptr;
  CServiceWindow::InsertCall(m_line, 0x101, 13, 12, 12, 1);
  Handle(4, 12, LINE_CALLSTATE, LINECALLSTATE_IDLE);
  EXPECT_EQ(nullptr, CallOf(12)) << "without lineCloseCall the entry is freed all the same";
}

TEST_F(ProviderEventsTest, TheFirstStateSettlesAnOriginThatIsStill0) {
  struct Case {
    DWORD state;
    DWORD origin;
  } cases[] = {
      {LINECALLSTATE_OFFERING, 0x80},       {LINECALLSTATE_ACCEPTED, 0x80}, {LINECALLSTATE_DIALTONE, 0x1},
      {LINECALLSTATE_DIALING, 0x1},         {LINECALLSTATE_BUSY, 0x1},      {LINECALLSTATE_PROCEEDING, 0x1},
      {LINECALLSTATE_ONHOLDPENDCONF, 0x40}, {LINECALLSTATE_CONNECTED, 0},   {LINECALLSTATE_RINGBACK, 0},
      {LINECALLSTATE_DISCONNECTED, 0},      {LINECALLSTATE_UNKNOWN, 0},
  };
  HDRVCALL handle = 0x200;
  for (const Case& c : cases) {
    CServiceWindow::InsertCall(m_line, handle, handle, handle, 0, 0);
    Handle(4, handle, LINE_CALLSTATE, c.state);
    const CallRecord* call = CallOf(handle);
    ASSERT_NE(nullptr, call);
    EXPECT_EQ(c.origin, call->dwOrigin) << "state 0x" << std::hex << c.state;
    EXPECT_EQ(c.state, call->dwCallState);
    // A known origin stays.
    Handle(4, handle, LINE_CALLSTATE, LINECALLSTATE_DIALTONE);
    EXPECT_EQ(c.origin == 0 ? 0x1u : c.origin, call->dwOrigin);
    ++handle;
  }
  g_bFeatureOrigin = 0;
  CServiceWindow::InsertCall(m_line, 0x300, 0x300, 0x300, 0, 0);
  Handle(4, 0x300, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
  EXPECT_EQ(0u, CallOf(0x300)->dwOrigin) << "without FeatureOrigin no origin is made up";
}

TEST_F(ProviderEventsTest, LineCloseClosesTheLineAtTheProviderAndForgetsItsCalls) {
  CServiceWindow::InsertCall(m_line, 0x100, 12, 8, 8, 1);
  Handle(0, 0, LINE_CLOSE);
  EXPECT_TRUE(g_closedLines.empty()) << "line handle 0 names no line";
  Handle(4, 0, LINE_CLOSE);
  EXPECT_EQ(std::vector<HDRVLINE>{0x51}, g_closedLines);
  EXPECT_EQ(0u, m_line->GetHtLine());
  EXPECT_EQ(0u, m_line->GetHdLine());
  EXPECT_EQ(0u, m_line->GetClientLine());
  EXPECT_EQ(nullptr, CallOf(8));
}

TEST_F(ProviderEventsTest, LineRemoveDeletesTheLineButNeverTheRoot) {
  CLineObject* second = new CLineObject(1);
  m_root->AddObject(second);
  CServiceWindow::InsertCall(second, 0x100, 12, 8, 8, 1);
  for (DWORD_PTR nothing : {DWORD_PTR{0xFFFFFFFF}, DWORD_PTR{9}}) {
    Handle(0, 0, LINE_REMOVE, nothing);
    EXPECT_EQ(3, m_root->GetNumberOfObjects());
  }
  Handle(0, 0, LINE_REMOVE, 1);
  EXPECT_EQ(2, m_root->GetNumberOfObjects());
  EXPECT_EQ(nullptr, m_root->GetObjectFromDeviceID(1));
  EXPECT_EQ(nullptr, CallOf(8)) << "no entry is left pointing at the deleted line";
}

TEST_F(ProviderEventsTest, LineCreateNumbersTheNewLineWithTheLineCount) {
  g_TspiEntryPoints.TSPI_providerCreateLineDevice = FakeCreateLineDevice;
  g_TspiEntryPoints.TSPI_lineNegotiateTSPIVersion = FakeNegotiate;
  g_TspiEntryPoints.TSPI_lineGetDevCaps = FakeGetDevCaps;
  g_TspiEntryPoints.TSPI_lineGetAddressCaps = FakeGetAddressCaps;
  g_createdDevices.clear();
  g_createResult = 0;
  g_dwNumLines = 4;
  Handle(0, 0, LINE_CREATE, 0, 0x77);
  Handle(0, 0, LINE_CREATE, 0, 0x78);
  EXPECT_EQ((std::vector<DWORD>{4, 5}), g_createdDevices);
  EXPECT_EQ(6u, g_dwNumLines);
  ASSERT_NE(nullptr, m_root->GetObjectFromDeviceID(4));
  EXPECT_STREQ("70", m_root->GetObjectFromDeviceID(4)->GetAddress());

  g_createResult = static_cast<LONG>(LINEERR_NOMEM);
  Handle(0, 0, LINE_CREATE, 0, 0x79);
  EXPECT_EQ(6u, g_dwNumLines) << "a refused device makes no line";
  EXPECT_EQ(4, m_root->GetNumberOfObjects());
  g_TspiEntryPoints.TSPI_providerCreateLineDevice = nullptr;
  Handle(0, 0, LINE_CREATE, 0, 0x7A);
  EXPECT_EQ(3u, g_createdDevices.size());
}

// Events posted while the main thread is busy with the provider wait for their turn in the queue.
TEST_F(ProviderEventsTest, AnEventDuringAProviderCallIsHandledAfterIt) {
  EventWindow window;
  CServiceWindow::InsertCall(m_line, 0x100, 12, 8, 8, 1);
  CServiceWindow::LineEventFunction(4, 8, LINE_CALLSTATE, LINECALLSTATE_IDLE, 0, 0);

  auto dispatchOne = [] {
    plat::MSG message;
    ASSERT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
    EXPECT_EQ(0x47Cu, message.message);
    plat::DispatchMessageA(&message);
  };
  g_bInProviderCall = 1;
  dispatchOne();
  EXPECT_NE(nullptr, CallOf(8)) << "not handled inside the provider call";
  EXPECT_EQ(1u, plat::QueueLengthForTesting(plat::GetCurrentThreadId()).posted) << "posted again";
  g_bInProviderCall = 0;
  dispatchOne();
  EXPECT_EQ(nullptr, CallOf(8));
  EXPECT_EQ(0, g_bInProviderCall) << "the busy flag is given back";
}

// A call held since before the handles wrapped keeps its handle: a new call gets the next free one.
TEST_F(ProviderEventsTest, ANewCallAfterTheWrapSkipsHandlesThatCallsHold) {
  CServiceWindow::InsertCall(m_line, 0x100, 12, 4, 4, 1);
  CServiceWindow::m_dwNextTapiCall = 0x7FFC;
  HTAPICALL given[2] = {};
  for (DWORD i = 0; i < 2; ++i)
    CServiceWindow::LineEventFunction(4, 0, LINE_NEWCALL, 0x300 + i, reinterpret_cast<DWORD_PTR>(&given[i]),
                                      0);
  EXPECT_EQ(0x7FFCu, given[0]);
  EXPECT_EQ(8u, given[1]) << "4 is still the call's";
  EXPECT_EQ(0x100u, CallOf(4)->DrvBaseCall);
  EXPECT_EQ(0x301u, CallOf(8)->DrvBaseCall);

  // A client names handle 12 for its own call: a call no line takes is given the next free handle,
  // which stays the next one.
  CServiceWindow::InsertCall(m_line, 0x102, 14, 12, 12, 1);
  HTAPICALL unknown = 0;
  CServiceWindow::LineEventFunction(99, 0, LINE_NEWCALL, 0x303, reinterpret_cast<DWORD_PTR>(&unknown), 0);
  EXPECT_EQ(16u, unknown);
  EXPECT_EQ(16u, CServiceWindow::IncrementTapiCall());
}

class CreationTest : public ProviderEventsTest {
 protected:
  void SetUp() override {
    ProviderEventsTest::SetUp();
    g_TspiEntryPoints.TSPI_lineMakeCall = FakeMakeCall;
    g_TspiEntryPoints.TSPI_lineSetupConference = FakeSetupConference;
    g_nextCall = 0x700;
    g_completeEarly = false;
    m_window = std::make_unique<EventWindow>();
  }
  static bool Entered(DWORD callNumber) { return CServiceWindow::GetPosFromDrvClientCall(callNumber) >= 0; }
  std::unique_ptr<EventWindow> m_window;
};

// A creating request whose completion fails frees the calls it entered, once the main thread handles the
// posted failure; a success keeps them, also against a later failure under the same request number. The
// completion may come before the request's calls are entered.
TEST_F(CreationTest, AFailedCompletionFreesTheCallsOfItsRequest) {
  struct Case {
    bool early;
    LONG result;
    bool kept;
  } cases[] = {{false, kFailed, false}, {true, kFailed, false}, {false, 0, true}, {true, 0, true}};
  DWORD number = 30;
  std::vector<DWORD> kept;
  for (const Case& c : cases) {
    const std::string request = std::to_string(number + 100);
    g_completeEarly = c.early;
    g_completion = c.result;
    Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", request, "7", "0", std::to_string(number), "200"});
    if (!c.early) {
      CompleteOnProviderThread(number + 100, c.result);
      EXPECT_TRUE(Entered(number)) << "the provider's thread frees no entry";
    }
    EventWindow::DispatchAll();
    EXPECT_EQ(c.kept, Entered(number)) << "early " << c.early << " result " << c.result;
    CompleteOnProviderThread(number + 100, kFailed);
    EventWindow::DispatchAll();
    EXPECT_EQ(c.kept, Entered(number)) << "early " << c.early << ": a later failure of the same request";
    if (c.kept) kept.push_back(number);
    ++number;
  }
  g_completeEarly = false;
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "999", "7", "0", "99", "200"});
  CompleteOnProviderThread(999, kFailed);
  EventWindow::DispatchAll();
  EXPECT_FALSE(Entered(99));
  for (DWORD call : kept) EXPECT_TRUE(Entered(call)) << call << " after the failure of another request";
}

// Only the completion callback tells of a failed request: a provider's event with any message number is
// no such word, and the failure takes no number of the provider's events.
TEST_F(CreationTest, NoProviderEventStandsForAFailedRequest) {
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "9", "7", "0", "40", "200"});
  const DWORD unlisted = 0x10000 | LINE_REPLY;
  CServiceWindow::LineEventFunction(0, 0, unlisted, 9, static_cast<DWORD>(kFailed), 0);
  CompleteOnProviderThread(9, kFailed);
  CServiceWindow::LineEventFunction(4, 0, LINE_DEVSPECIFIC, 0, 0, 0);

  // Handed to the window procedure one at a time, in the order they were posted.
  auto dispatchNext = [] {
    plat::MSG message = {};
    EXPECT_TRUE(plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE));
    const bool event = message.message == 0x47C;
    const DWORD sequence = event ? reinterpret_cast<PIPE_LINE_EVENT*>(message.lParam)->dwSequence : 0;
    plat::DispatchMessageA(&message);
    return std::make_pair(event, sequence);
  };
  const auto [firstIsEvent, first] = dispatchNext();
  EXPECT_TRUE(firstIsEvent);
  EXPECT_TRUE(Entered(40)) << "the provider's event did nothing";
  EXPECT_FALSE(dispatchNext().first) << "the failure is a message of its own";
  EXPECT_FALSE(Entered(40)) << "the failure freed the call";
  const auto [lastIsEvent, last] = dispatchNext();
  EXPECT_TRUE(lastIsEvent);
  EXPECT_EQ(first + 1, last) << "the provider's events are numbered one after the other";
}

TEST_F(CreationTest, AFailedConferenceFreesBothItsCalls) {
  CServiceWindow::InsertCall(m_line, 0x100, 12, 0x7000, 0x7000, 1);
  Run(commands::SetupConference::Handle,
      {"TSPI_lineSetupConference", "8", "12", "0", "0", "50", "0", "51", "3"});
  ASSERT_TRUE(Entered(50) && Entered(51));
  CompleteOnProviderThread(8, kFailed);
  EventWindow::DispatchAll();
  EXPECT_FALSE(Entered(50));
  EXPECT_FALSE(Entered(51));
  EXPECT_TRUE(Entered(12)) << "the call it was set up from stays";
}

// Only the calls the request made are freed: not one announced meanwhile, not one the table knew before.
TEST_F(CreationTest, AFailureSparesAnnouncedAndEarlierCalls) {
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "9", "7", "0", "40", "200"});
  CServiceWindow::CallTable[CServiceWindow::GetPosFromDrvClientCall(40)].bNewCallSent = 1;
  CServiceWindow::InsertCall(m_line, 0x701, 41, 0x7000, 0x7000, 1);
  Run(commands::MakeCall::Handle, {"TSPI_lineMakeCall", "10", "7", "0", "42", "200"});
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvClientCall(42)) << "the provider named the known call 0x701";
  CompleteOnProviderThread(9, kFailed);
  CompleteOnProviderThread(10, kFailed);
  EventWindow::DispatchAll();
  EXPECT_TRUE(Entered(40)) << "announced";
  EXPECT_TRUE(Entered(41)) << "in the table before";
}

}  // namespace
