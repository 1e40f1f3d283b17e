// Tests of the call table and the handle counters.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "plat/sync.h"
#include "service_window.h"

namespace {

class CallTableTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plat::InitializeCriticalSection(&CServiceWindow::m_csTapiCall); }
  void SetUp() override {
    std::memset(CServiceWindow::CallTable, 0, sizeof(CServiceWindow::CallTable));
    CServiceWindow::m_dwNextTapiCall = 4;
    CServiceWindow::m_dwNextDrvCall = 0x8004;
    g_bFeatureOrigin = 1;
  }
  CLineObject m_line{3};
};

TEST_F(CallTableTest, InsertFillsTheFirstFreeEntry) {
  EXPECT_EQ(0, CServiceWindow::InsertCall(&m_line, 0x100, 12, 4, 4, 1));
  EXPECT_EQ(1, CServiceWindow::InsertCall(&m_line, 0x200, 13, 8, 0, 2));
  const CallRecord& call = CServiceWindow::CallTable[1];
  EXPECT_EQ(0x200u, call.DrvBaseCall);
  EXPECT_EQ(13u, call.DrvClientCall);
  EXPECT_EQ(8u, call.TapiCall);
  EXPECT_EQ(0u, call.ClientTapiCall);
  EXPECT_EQ(&m_line, call.pLine);
  EXPECT_EQ(2u, call.dwOrigin);
  EXPECT_EQ(0, call.bNewCallSent);
}

TEST_F(CallTableTest, AKnownProviderHandleKeepsItsEntry) {
  CServiceWindow::InsertCall(&m_line, 0x100, 12, 4, 4, 1);
  CLineObject other(9);
  EXPECT_EQ(0, CServiceWindow::InsertCall(&other, 0x100, 99, 8, 8, 2));
  EXPECT_EQ(12u, CServiceWindow::CallTable[0].DrvClientCall);
  EXPECT_EQ(4u, CServiceWindow::CallTable[0].TapiCall);
  EXPECT_EQ(&m_line, CServiceWindow::CallTable[0].pLine);
  EXPECT_EQ(1u, CServiceWindow::CallTable[0].dwOrigin);
}

TEST_F(CallTableTest, OriginIsKeptOnlyWithTheFeature) {
  g_bFeatureOrigin = 0;
  CServiceWindow::InsertCall(&m_line, 0x100, 12, 4, 4, 1);
  EXPECT_EQ(0u, CServiceWindow::CallTable[0].dwOrigin);
}

TEST_F(CallTableTest, AFullTableTakesNoCallUntilOneGoesIdle) {
  for (plat::DWORD i = 1; i <= 1024; ++i)
    ASSERT_EQ(static_cast<int>(i - 1), CServiceWindow::InsertCall(&m_line, i, i, 4 * i, 0, 0));
  EXPECT_EQ(-1, CServiceWindow::InsertCall(&m_line, 5000, 5000, 8, 0, 0));
  CServiceWindow::RemoveDrvBaseCall(500);
  CServiceWindow::RemoveDrvBaseCall(20);
  EXPECT_EQ(19, CServiceWindow::InsertCall(&m_line, 5000, 5000, 8, 0, 0)) << "the lowest free entry";
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(20));
}

TEST_F(CallTableTest, FreeEntriesNeverMatch) {
  EXPECT_EQ(-1, CServiceWindow::InsertCall(&m_line, 0, 12, 4, 4, 0)) << "provider handle 0 is no call";
  EXPECT_EQ(0u, CServiceWindow::CallTable[0].DrvClientCall);
  CServiceWindow::InsertCall(&m_line, 0x100, 0, 0, 0, 0);
  CServiceWindow::InsertCall(&m_line, 0x200, 12, 8, 8, 0);
  struct Case {
    int (*find)(plat::DWORD);
    plat::DWORD key;
    int position;
  } cases[] = {
      {CServiceWindow::GetPosFromDrvClientCall, 0, 0},  // a used entry that holds 0
      {CServiceWindow::GetPosFromTapiCall, 0, 0},        {CServiceWindow::GetPosFromDrvBaseCall, 0, -1},
      {CServiceWindow::GetPosFromDrvClientCall, 12, 1},  {CServiceWindow::GetPosFromTapiCall, 8, 1},
      {CServiceWindow::GetPosFromDrvBaseCall, 0x200, 1}, {CServiceWindow::GetPosFromDrvClientCall, 13, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.position, c.find(c.key)) << c.key;
  CServiceWindow::RemoveDrvBaseCall(0x100);
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvClientCall(0)) << "a cleared entry is free";
  CServiceWindow::RemoveTapiCall(8);
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(0x200));
}

TEST_F(CallTableTest, ServiceCallHandlesRunInStepsOfFourAndSkipZero) {
  EXPECT_EQ(4u, CServiceWindow::IncrementTapiCall());
  EXPECT_EQ(8u, CServiceWindow::IncrementTapiCall());
  CServiceWindow::m_dwNextTapiCall = 0x7FFC;
  EXPECT_EQ(0x7FFCu, CServiceWindow::IncrementTapiCall());
  EXPECT_EQ(4u, CServiceWindow::IncrementTapiCall());
}

TEST_F(CallTableTest, ClientCallNumbersSkipZeroAndNumbersInUse) {
  EXPECT_EQ(0x8004u, CServiceWindow::IncrementDrvCall());
  EXPECT_EQ(0x8008u, CServiceWindow::IncrementDrvCall());
  CServiceWindow::InsertCall(&m_line, 0x100, 4, 4, 4, 0);  // a client call numbered 4
  CServiceWindow::m_dwNextDrvCall = 0xFFFC;
  EXPECT_EQ(0xFFFCu, CServiceWindow::IncrementDrvCall());
  EXPECT_EQ(8u, CServiceWindow::m_dwNextDrvCall) << "past 0 and 4, which a call still has";
}

// Every counter keeps its wrap point, and neither a draw nor the value after it is 0 or a value that a
// call (or, for line handles, a line) still holds: a client may also have named one since the last draw.
TEST_F(CallTableTest, WrappedCountersSkipValuesStillInUse) {
  enum Counter { kTapiCall, kDrvCall, kHtLine };
  struct Case {
    Counter counter;
    DWORD start;
    std::vector<DWORD> held;
    DWORD first, second;
  } cases[] = {
      {kTapiCall, 4, {}, 4, 8},
      {kTapiCall, 0x7FFC, {}, 0x7FFC, 4},
      {kTapiCall, 0x7FFC, {4}, 0x7FFC, 8},
      {kTapiCall, 4, {4, 8}, 12, 16},
      {kTapiCall, 0x7FF8, {0x7FF8, 0x7FFC, 4, 12}, 8, 16},
      {kDrvCall, 0x8004, {}, 0x8004, 0x8008},
      {kDrvCall, 0xFFFC, {}, 0xFFFC, 4},
      {kDrvCall, 0xFFF8, {0xFFF8, 0xFFFC, 4}, 8, 12},
      {kHtLine, 4, {}, 4, 8},
      {kHtLine, 0xFFFFFFFC, {}, 0xFFFFFFFC, 4},
      {kHtLine, 0xFFFFFFFC, {4}, 0xFFFFFFFC, 8},
      {kHtLine, 0xFFFFFFF8, {0xFFFFFFF8, 0xFFFFFFFC, 4}, 8, 12},
  };
  for (const Case& c : cases) {
    std::memset(CServiceWindow::CallTable, 0, sizeof(CServiceWindow::CallTable));
    auto* root = new CLineObject(0xFFFFFFFF);
    CServiceWindow::m_pLineRoot = root;
    DWORD provider = 0x100;
    for (DWORD value : c.held) {
      if (c.counter == kHtLine) {
        auto* line = new CLineObject(provider);
        line->SetHtLine(value);
        root->AddObject(line);
      } else {
        const bool tapi = c.counter == kTapiCall;
        CServiceWindow::InsertCall(&m_line, provider, tapi ? 0x9000 + provider : value,
                                   tapi ? value : provider, 0, 0);
      }
      ++provider;
    }
    DWORD(*draw)
    () = c.counter == kTapiCall  ? CServiceWindow::IncrementTapiCall
         : c.counter == kDrvCall ? CServiceWindow::IncrementDrvCall
                                 : CServiceWindow::IncrementHtLine;
    DWORD& next = c.counter == kTapiCall  ? CServiceWindow::m_dwNextTapiCall
                  : c.counter == kDrvCall ? CServiceWindow::m_dwNextDrvCall
                                          : CServiceWindow::m_dwNextHtLine;
    next = c.start;
    EXPECT_EQ(c.first, draw()) << "counter " << c.counter << " from 0x" << std::hex << c.start;
    EXPECT_EQ(c.second, draw()) << "counter " << c.counter << " from 0x" << std::hex << c.start;
    CServiceWindow::m_pLineRoot = nullptr;
    delete root;
  }
}

TEST_F(CallTableTest, PeekingGivesTheNextDrawWithoutDrawingIt) {
  CServiceWindow::InsertCall(&m_line, 0x100, 12, 4, 4, 0);
  EXPECT_EQ(8u, CServiceWindow::PeekTapiCall()) << "past a handle a call holds";
  EXPECT_EQ(8u, CServiceWindow::PeekTapiCall());
  EXPECT_EQ(8u, CServiceWindow::IncrementTapiCall());
  EXPECT_EQ(12u, CServiceWindow::PeekTapiCall());
}

TEST_F(CallTableTest, ClosingALineClearsItsCallsOnly) {
  CLineObject other(4);
  CServiceWindow::InsertCall(&m_line, 0x100, 12, 4, 4, 0);
  CServiceWindow::InsertCall(&other, 0x200, 13, 8, 8, 0);
  CServiceWindow::InsertCall(&m_line, 0x300, 14, 12, 12, 0);
  CServiceWindow::ClearCallsOfLine(&m_line);
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(0x100));
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(0x300));
  EXPECT_EQ(1, CServiceWindow::GetPosFromDrvBaseCall(0x200));
}

TEST_F(CallTableTest, InsertsFromTwoThreadsNeverShareAnEntry) {
  std::vector<std::thread> threads;
  for (plat::DWORD t = 0; t < 2; ++t)
    threads.emplace_back([t] {
      for (plat::DWORD i = 1; i <= 400; ++i) CServiceWindow::InsertCall(nullptr, t * 1000 + i, i, 4, 0, 0);
    });
  for (std::thread& thread : threads) thread.join();
  for (plat::DWORD t = 0; t < 2; ++t)
    for (plat::DWORD i = 1; i <= 400; ++i) ASSERT_GE(CServiceWindow::GetPosFromDrvBaseCall(t * 1000 + i), 0);
  EXPECT_EQ(-1, CServiceWindow::GetPosFromDrvBaseCall(0x7777));
}

}  // namespace
