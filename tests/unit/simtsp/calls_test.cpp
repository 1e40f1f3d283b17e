// Tests of the simulated phone system's calls, through the provider as a host drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "provider.h"
#include "recording_host.h"
#include "support/temp_dir.h"

namespace {

using namespace testsupport;  // the recording host, its callbacks and the messages it tells apart

// Call states, messages and results by their published values.
constexpr DWORD kIdle = 0x1, kOffering = 0x2, kAccepted = 0x4, kDialtone = 0x8, kDialing = 0x10,
                kRingback = 0x20, kBusy = 0x40, kConnected = 0x100, kProceeding = 0x200, kOnHold = 0x400,
                kConferenced = 0x800, kOnHoldPendConf = 0x1000, kOnHoldPendTransfer = 0x2000,
                kDisconnected = 0x4000;
constexpr DWORD kCallInfoMessage = 1, kGenerateMessage = 7;
constexpr DWORD kTransfer = 0x1, kIntoConference = 0x2;  // LINETRANSFERMODE_
constexpr DWORD kDtmf = 0x2;                             // LINEDIGITMODE_DTMF
constexpr DWORD kAgreed = 0x00030000;
constexpr DWORD kUnwritten = 0xDEADBEEF;

LONG Err(DWORD code) { return static_cast<LONG>(code); }
constexpr DWORD kInvalCallHandle = 0x80000018, kInvalCallState = 0x8000001C, kInvalLineHandle = 0x8000002B,
                kOperationFailed = 0x80000048, kStructureTooSmall = 0x8000004D;

// A call the provider announced: its handle and the one the host gave it.
struct Announced {
  HDRVCALL hdCall = 0;
  HTAPICALL htCall = 0;
};

// The four default lines, open as 0x100 to 0x103, and every delay small.
class Calls : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(m_dir / "calls.conf",
                           "line Line 1 201\nline Line 2 202\nline Line 3 203\nline Line 4 204\n"
                           "delay completion 2\ndelay dialtone 2\ndelay dialing 2\ndelay proceeding 2\n"
                           "delay ringback 2\ndelay connected 2\n");
    setenv("SIMTSP_CONFIG", (m_dir / "calls.conf").c_str(), 1);
    unsetenv("SIMTSP_CONTROL");
    // From inside each line event the host asks for the address status, as the real host does.
    m_host = std::make_unique<RecordingHost>(0x7001, [this](const Callback& callback) {
      std::vector<DWORD> buffer(64);
      auto* status = reinterpret_cast<LINEADDRESSSTATUS*>(buffer.data());
      status->dwTotalSize = 256;
      return m_provider.GetAddressStatus(m_lines[callback.htLine], 0, status);
    });
    RecordingHost::current = m_host.get();
    DWORD lines = 0, phones = 0, options = 0;
    ASSERT_EQ(0, m_provider.EnumDevices(&lines, &phones, 0x9E6540, RecordingHost::LineEvent));
    ASSERT_EQ(0, m_provider.Init(0, RecordingHost::Completion, &options));
    for (DWORD device = 0; device < 4; ++device) {
      HDRVLINE hdLine = 0;
      ASSERT_EQ(0, m_provider.Open(device, 0x100 + device, &hdLine, kAgreed, RecordingHost::LineEvent));
      m_lines[0x100 + device] = hdLine;
    }
  }
  void TearDown() override {
    m_provider.Shutdown();
    unsetenv("SIMTSP_CONFIG");
    RecordingHost::current = nullptr;
  }

  HDRVLINE Line(DWORD device) { return m_lines[0x100 + device]; }
  DRV_REQUESTID NextRequest() { return ++m_lastRequest; }

  // Makes a call from the line and returns its handle; the request must be pending.
  HDRVCALL MakeCall(DWORD device, HTAPICALL htCall, const std::u16string& destination) {
    HDRVCALL hdCall = kUnwritten;
    DRV_REQUESTID request = NextRequest();
    EXPECT_EQ(static_cast<LONG>(request),
              m_provider.MakeCall(request, Line(device), htCall, &hdCall, destination.c_str()));
    return hdCall;
  }
  // Asks a request under a new id, which must be pending, and returns what it completed with
  // (kUnwritten when it did not complete in time).
  DWORD Run(const std::function<LONG(DRV_REQUESTID)>& request, DRV_REQUESTID* asked = nullptr) {
    DRV_REQUESTID id = NextRequest();
    if (asked != nullptr) *asked = id;
    EXPECT_EQ(static_cast<LONG>(id), request(id));
    int index =
        m_host->WaitFor([&](const Callback& c) { return c.message == kReplyMessage && c.param1 == id; });
    return index < 0 ? kUnwritten : static_cast<DWORD>(m_host->All()[index].param2);
  }
  bool ReachesState(HTAPICALL htCall, DWORD state, size_t from = 0) {
    return m_host->WaitFor(
               [&](const Callback& c) {
                 return c.message == kCallStateMessage && c.htCall == htCall && c.param1 == state;
               },
               from) >= 0;
  }
  // The first call announced on the line from callback `from` on.
  Announced NewCallOn(DWORD device, size_t from = 0) {
    int index = m_host->WaitFor(
        [&](const Callback& c) { return c.message == kNewCallMessage && c.htLine == 0x100 + device; }, from);
    if (index < 0) return {};
    const Callback newCall = m_host->All()[index];
    return {static_cast<HDRVCALL>(newCall.param1), newCall.written};
  }
  // A call from line 0 to line 1, answered there: the caller's handle, and the called end.
  HDRVCALL ConnectedInternalCall(HTAPICALL htCaller, Announced& called) {
    size_t from = m_host->Count();
    HDRVCALL caller = MakeCall(0, htCaller, u"202");
    called = NewCallOn(1, from);
    EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, called.hdCall); }));
    EXPECT_TRUE(ReachesState(htCaller, kConnected));
    return caller;
  }
  HDRVCALL ConnectedOutsideCall(DWORD device, HTAPICALL htCall) {
    HDRVCALL hdCall = MakeCall(device, htCall, u"5550100");
    EXPECT_TRUE(ReachesState(htCall, kConnected));
    return hdCall;
  }
  LINECALLSTATUS Status(HDRVCALL hdCall) {
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof(status);
    EXPECT_EQ(0, m_provider.GetCallStatus(hdCall, &status));
    return status;
  }
  // The call's information in a buffer of `totalSize` bytes, and its texts by size and offset.
  struct Info {
    std::vector<unsigned char> bytes;
    const LINECALLINFO* operator->() const { return reinterpret_cast<const LINECALLINFO*>(bytes.data()); }
    std::u16string Text(DWORD size, DWORD offset) const {
      if (size < 2) return u"";
      return std::u16string(reinterpret_cast<const char16_t*>(bytes.data() + offset), size / 2 - 1);
    }
  };
  Info CallInfo(HDRVCALL hdCall, DWORD totalSize = 4096) {
    Info info{std::vector<unsigned char>(totalSize)};
    auto* fixed = reinterpret_cast<LINECALLINFO*>(info.bytes.data());
    fixed->dwTotalSize = totalSize;
    EXPECT_EQ(0, m_provider.GetCallInfo(hdCall, fixed));
    return info;
  }

  testsupport::TempDir m_dir;
  simtsp::Provider m_provider;
  std::map<HTAPILINE, HDRVLINE> m_lines;
  std::unique_ptr<RecordingHost> m_host;
  DRV_REQUESTID m_lastRequest = 10;
};

TEST_F(Calls, AnInternalCallRingsTheCalledLineAndAnswerThenDropReachBothEnds) {
  HDRVCALL caller = kUnwritten;
  ASSERT_EQ(11, m_provider.MakeCall(11, Line(0), 0x501, &caller, u"202"));
  ++m_lastRequest;
  EXPECT_GE(caller, 0x00020001u);

  Announced called = NewCallOn(1);
  ASSERT_NE(0u, called.hdCall);
  EXPECT_NE(caller, called.hdCall);
  EXPECT_EQ(0x7001u, called.htCall);
  ASSERT_TRUE(ReachesState(0x7001, kOffering));
  EXPECT_EQ((std::vector<DWORD>{kProceeding, kRingback}), m_host->States(0x501));

  DRV_REQUESTID answer, drop;
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, called.hdCall); }, &answer));
  ASSERT_TRUE(ReachesState(0x501, kConnected));
  EXPECT_EQ((std::vector<DWORD>{kOffering, kConnected}), m_host->States(0x7001));

  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Drop(r, caller); }, &drop));
  ASSERT_TRUE(ReachesState(0x501, kIdle));
  ASSERT_TRUE(ReachesState(0x7001, kIdle));
  EXPECT_EQ((std::vector<DWORD>{kProceeding, kRingback, kConnected, kDisconnected, kIdle}),
            m_host->States(0x501));
  EXPECT_EQ((std::vector<DWORD>{kOffering, kConnected, kDisconnected, kIdle}), m_host->States(0x7001));

  // Each completion comes before the states it caused; nothing comes on the thread of the request,
  // and the host's queries from inside the callbacks are answered.
  std::vector<Callback> all = m_host->All();
  auto indexOf = [&](DWORD message, DWORD_PTR param1, HTAPICALL htCall) {
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i].message == message && all[i].param1 == param1 && all[i].htCall == htCall) return i;
    }
    return all.size();
  };
  EXPECT_LT(indexOf(kReplyMessage, 11, 0), indexOf(kCallStateMessage, kProceeding, 0x501));
  EXPECT_LT(indexOf(kReplyMessage, answer, 0), indexOf(kCallStateMessage, kConnected, 0x7001));
  EXPECT_LT(indexOf(kReplyMessage, drop, 0), indexOf(kCallStateMessage, kDisconnected, 0x501));
  for (const Callback& callback : all) {
    EXPECT_NE(std::this_thread::get_id(), callback.thread);
    EXPECT_EQ(0, callback.nestedResult);
  }
  // Both ends stay known until the host closes them.
  EXPECT_EQ(kIdle, Status(caller).dwCallState);
  EXPECT_EQ(0, m_provider.CloseCall(caller));
  EXPECT_EQ(0, m_provider.CloseCall(called.hdCall));
  EXPECT_EQ(Err(kInvalCallHandle), m_provider.CloseCall(caller));
}

TEST_F(Calls, TheCallerIsBusyWhenTheCalledLineIsNotOpen) {
  ASSERT_EQ(0, m_provider.Close(Line(2)));
  MakeCall(0, 0x501, u"203");
  ASSERT_TRUE(ReachesState(0x501, kBusy));
  EXPECT_EQ((std::vector<DWORD>{kProceeding, kBusy}), m_host->States(0x501));
  int busy =
      m_host->WaitFor([](const Callback& c) { return c.message == kCallStateMessage && c.param1 == kBusy; });
  EXPECT_EQ(0x1u, m_host->All()[busy].param2);  // LINEBUSYMODE_STATION
}

TEST_F(Calls, ACallOutsideGoesThroughEveryStepToConnected) {
  HDRVCALL hdCall = MakeCall(0, 0x501, u"5550100");
  ASSERT_TRUE(ReachesState(0x501, kConnected));
  EXPECT_EQ((std::vector<DWORD>{kDialtone, kDialing, kProceeding, kRingback, kConnected}),
            m_host->States(0x501));
  for (const Callback& callback : m_host->All()) {
    if (callback.message != kCallStateMessage) continue;
    EXPECT_EQ(0x100u, callback.htLine);
    EXPECT_EQ(0x4u, callback.param3);  // voice
    // Dial tone NORMAL and connected ACTIVE are both 1; the other states have no mode.
    DWORD expectedMode = callback.param1 == kDialtone || callback.param1 == kConnected ? 1 : 0;
    EXPECT_EQ(expectedMode, callback.param2) << std::hex << callback.param1;
  }
  Info info = CallInfo(hdCall);
  EXPECT_EQ(u"5550100", info.Text(info->dwConnectedIDSize, info->dwConnectedIDOffset));
  // The new connected id was announced with LINE_CALLINFO (CONNECTEDID).
  EXPECT_GE(m_host->WaitFor([](const Callback& c) {
    return c.message == kCallInfoMessage && c.htCall == 0x501 && c.param1 == 0x20000;
  }),
            0);
}

TEST_F(Calls, ACallWithoutDestinationWaitsInDialToneForTheNumber) {
  HDRVCALL hdCall = MakeCall(0, 0x501, u"");
  ASSERT_TRUE(ReachesState(0x501, kDialtone));
  DRV_REQUESTID dial;
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Dial(r, hdCall, u"203"); }, &dial));
  ASSERT_TRUE(ReachesState(0x501, kRingback));
  // Dialling started only once the number came.
  int dialing = m_host->WaitFor(
      [](const Callback& c) { return c.message == kCallStateMessage && c.param1 == kDialing; });
  int replied =
      m_host->WaitFor([&](const Callback& c) { return c.message == kReplyMessage && c.param1 == dial; });
  EXPECT_LT(replied, dialing);
  EXPECT_EQ((std::vector<DWORD>{kDialtone, kDialing, kProceeding, kRingback}), m_host->States(0x501));
  EXPECT_NE(0u, NewCallOn(2).hdCall);
  Info info = CallInfo(hdCall);
  EXPECT_EQ(u"203", info.Text(info->dwCalledIDSize, info->dwCalledIDOffset));
}

TEST_F(Calls, AnOutsidePartyAnswersAndHangsUpWhenTold) {
  // The party outside answers only when told: the connected delay is the longest there is.
  ASSERT_EQ("", m_provider.SetDelay("connected", "3600000"));
  HDRVCALL hdCall = MakeCall(0, 0x501, u"5550100");
  ASSERT_TRUE(ReachesState(0x501, kRingback));
  EXPECT_EQ("", m_provider.AnswerFromOutside(hdCall));
  ASSERT_TRUE(ReachesState(0x501, kConnected));
  EXPECT_EQ("", m_provider.HangUpFromOutside(hdCall));
  ASSERT_TRUE(ReachesState(0x501, kDisconnected));
  int disconnected = m_host->WaitFor(
      [](const Callback& c) { return c.message == kCallStateMessage && c.param1 == kDisconnected; });
  EXPECT_EQ(0x1u, m_host->All()[disconnected].param2);  // LINEDISCONNECTMODE_NORMAL
  // The call waits for the host to drop it, which makes it idle without a second DISCONNECTED.
  EXPECT_EQ(kDisconnected, Status(hdCall).dwCallState);
  EXPECT_EQ("not possible in the call's state", m_provider.HangUpFromOutside(hdCall));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Drop(r, hdCall); }));
  ASSERT_TRUE(ReachesState(0x501, kIdle));
  EXPECT_EQ(
      (std::vector<DWORD>{kDialtone, kDialing, kProceeding, kRingback, kConnected, kDisconnected, kIdle}),
      m_host->States(0x501));
  EXPECT_EQ("unknown call", m_provider.AnswerFromOutside(0x1234));
}

TEST_F(Calls, ACallFromOutsideRingsAndIsAnsweredWithTheCallersNumber) {
  HDRVCALL ringing = 0;
  ASSERT_EQ("", m_provider.RingFromOutside(3, "0301234567", ringing));
  Announced announced = NewCallOn(3);
  EXPECT_EQ(ringing, announced.hdCall);
  ASSERT_TRUE(ReachesState(announced.htCall, kOffering));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Accept(r, ringing); }));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, ringing); }));
  ASSERT_TRUE(ReachesState(announced.htCall, kConnected));
  EXPECT_EQ((std::vector<DWORD>{kOffering, kAccepted, kConnected}), m_host->States(announced.htCall));
  Info info = CallInfo(ringing);
  EXPECT_EQ(0x4u, info->dwOrigin);  // LINECALLORIGIN_EXTERNAL
  EXPECT_EQ(u"0301234567", info.Text(info->dwCallerIDSize, info->dwCallerIDOffset));
  EXPECT_EQ(u"204", info.Text(info->dwCalledIDSize, info->dwCalledIDOffset));
  EXPECT_EQ(u"0301234567", info.Text(info->dwConnectedIDSize, info->dwConnectedIDOffset));

  EXPECT_EQ("unknown line", m_provider.RingFromOutside(9, "1", ringing));
  ASSERT_EQ(0, m_provider.Close(Line(2)));
  EXPECT_EQ("the line is not open", m_provider.RingFromOutside(2, "1", ringing));
}

TEST_F(Calls, HoldUnholdAndSwapHoldChangePlaces) {
  HDRVCALL first = ConnectedOutsideCall(0, 0x501);
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Hold(r, first); }));
  ASSERT_TRUE(ReachesState(0x501, kOnHold));
  HDRVCALL second = ConnectedOutsideCall(0, 0x502);

  LINEADDRESSSTATUS address{};
  address.dwTotalSize = sizeof(address);
  ASSERT_EQ(0, m_provider.GetAddressStatus(Line(0), 0, &address));
  EXPECT_EQ(1u, address.dwNumInUse);
  EXPECT_EQ(1u, address.dwNumActiveCalls);
  EXPECT_EQ(1u, address.dwNumOnHoldCalls);
  EXPECT_EQ(0u, address.dwNumOnHoldPendCalls);
  EXPECT_EQ(0x04000000u, Status(second).dwCallFeatures & 0x04000000);  // SWAPHOLD, with a call held

  size_t from = m_host->Count();
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.SwapHold(r, second, first); }));
  ASSERT_TRUE(ReachesState(0x502, kOnHold, from));
  ASSERT_TRUE(ReachesState(0x501, kConnected, from));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Unhold(r, second); }));
  ASSERT_TRUE(ReachesState(0x502, kConnected, from));
  EXPECT_EQ(
      (std::vector<DWORD>{kDialtone, kDialing, kProceeding, kRingback, kConnected, kOnHold, kConnected}),
      m_host->States(0x502));
  // Unhold of a call not held, and a swap of two connected calls, are refused at once.
  EXPECT_EQ(Err(kInvalCallState), m_provider.Unhold(NextRequest(), second));
  EXPECT_EQ(Err(kInvalCallState), m_provider.SwapHold(NextRequest(), second, first));
}

TEST_F(Calls, ATransferConnectsTheTwoPartiesWithEachOther) {
  Announced called;
  HDRVCALL held = ConnectedInternalCall(0x501, called);

  HDRVCALL consultation = kUnwritten;
  EXPECT_EQ(0u,
            Run([&](DRV_REQUESTID r) { return m_provider.SetupTransfer(r, held, 0x601, &consultation); }));
  ASSERT_TRUE(ReachesState(0x601, kDialtone));
  EXPECT_TRUE(ReachesState(0x501, kOnHoldPendTransfer));
  size_t from = m_host->Count();
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Dial(r, consultation, u"203"); }));
  Announced third = NewCallOn(2, from);
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, third.hdCall); }));
  ASSERT_TRUE(ReachesState(0x601, kConnected));
  EXPECT_EQ(0x20u, Status(held).dwCallFeatures & 0x20);  // COMPLETETRANSF

  HDRVCALL conference = kUnwritten;
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) {
              return m_provider.CompleteTransfer(r, held, consultation, 0x701, &conference, kTransfer);
            }));
  EXPECT_EQ(0u, conference);
  ASSERT_TRUE(ReachesState(0x501, kIdle));
  ASSERT_TRUE(ReachesState(0x601, kIdle));
  // Both calls of line 0 went idle without being disconnected; lines 1 and 2 now talk to each other.
  EXPECT_EQ((std::vector<DWORD>{kProceeding, kRingback, kConnected, kOnHoldPendTransfer, kIdle}),
            m_host->States(0x501));
  EXPECT_EQ((std::vector<DWORD>{kDialtone, kDialing, kProceeding, kRingback, kConnected, kIdle}),
            m_host->States(0x601));
  Info secondLine = CallInfo(called.hdCall);
  Info thirdLine = CallInfo(third.hdCall);
  EXPECT_EQ(u"203", secondLine.Text(secondLine->dwConnectedIDSize, secondLine->dwConnectedIDOffset));
  EXPECT_EQ(u"202", thirdLine.Text(thirdLine->dwConnectedIDSize, thirdLine->dwConnectedIDOffset));
  EXPECT_EQ(thirdLine->dwCallID, secondLine->dwRelatedCallID);
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Drop(r, called.hdCall); }));
  EXPECT_TRUE(ReachesState(third.htCall, kIdle));
}

TEST_F(Calls, ATransferIntoAConferenceMakesTheHostsConferenceCall) {
  HDRVCALL held = ConnectedOutsideCall(0, 0x501);
  HDRVCALL consultation = 0;
  EXPECT_EQ(0u,
            Run([&](DRV_REQUESTID r) { return m_provider.SetupTransfer(r, held, 0x601, &consultation); }));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Dial(r, consultation, u"5550200"); }));
  ASSERT_TRUE(ReachesState(0x601, kConnected));

  HDRVCALL conference = kUnwritten;
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) {
              LONG pending =
                  m_provider.CompleteTransfer(r, held, consultation, 0x701, &conference, kIntoConference);
              EXPECT_GE(conference, 0x00020001u);  // written before the request returns
              return pending;
            }));
  ASSERT_TRUE(ReachesState(0x501, kConferenced));
  ASSERT_TRUE(ReachesState(0x601, kConferenced));
  EXPECT_EQ((std::vector<DWORD>{kConnected}), m_host->States(0x701));
  // CONFERENCED names the conference by the host's handle.
  for (const Callback& callback : m_host->All()) {
    if (callback.message == kCallStateMessage && callback.param1 == kConferenced) {
      EXPECT_EQ(0x701u, callback.param2);
    }
  }
  EXPECT_EQ(0x40u, CallInfo(conference)->dwOrigin);  // LINECALLORIGIN_CONFERENCE
  // Dropping the conference ends every party in it.
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Drop(r, conference); }));
  EXPECT_TRUE(ReachesState(0x501, kIdle));
  EXPECT_TRUE(ReachesState(0x601, kIdle));
  EXPECT_TRUE(ReachesState(0x701, kIdle));
}

TEST_F(Calls, AConferenceIsSetUpGrowsAndLosesAParty) {
  Announced called;
  HDRVCALL first = ConnectedInternalCall(0x501, called);

  HDRVCALL conference = 0, consultation = 0;
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) {
              return m_provider.SetupConference(r, first, 0, 0x701, &conference, 0x601, &consultation, 3);
            }));
  ASSERT_TRUE(ReachesState(0x601, kDialtone));
  EXPECT_EQ((std::vector<DWORD>{kOnHoldPendConf}), m_host->States(0x701));
  EXPECT_TRUE(ReachesState(0x501, kConferenced));
  EXPECT_EQ(0x2u, Status(conference).dwCallFeatures & 0x10002);  // ADDTOCONF, not PREPAREADDCONF
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Dial(r, consultation, u"5550200"); }));
  ASSERT_TRUE(ReachesState(0x601, kConnected));

  EXPECT_EQ(0u,
            Run([&](DRV_REQUESTID r) { return m_provider.AddToConference(r, conference, consultation); }));
  ASSERT_TRUE(ReachesState(0x601, kConferenced));
  ASSERT_TRUE(ReachesState(0x701, kConnected));

  HDRVCALL next = 0;
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) {
              return m_provider.PrepareAddToConference(r, conference, 0x602, &next);
            }));
  ASSERT_TRUE(ReachesState(0x602, kDialtone));
  EXPECT_EQ((std::vector<DWORD>{kOnHoldPendConf, kConnected, kOnHoldPendConf}), m_host->States(0x701));

  // The first party leaves: its call ends, and so does its far end on line 1.
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.RemoveFromConference(r, first); }));
  ASSERT_TRUE(ReachesState(0x501, kIdle));
  ASSERT_TRUE(ReachesState(called.htCall, kIdle));
  EXPECT_EQ(kConferenced, Status(consultation).dwCallState);
  // A conference takes three parties at most.
  EXPECT_EQ(Err(0x80000007), m_provider.SetupConference(NextRequest(), 0, Line(2), 0x703, &conference, 0x603,
                                                        &consultation, 4));  // CONFERENCEFULL
}

TEST_F(Calls, APickupTakesTheCallRingingAtTheDestination) {
  HDRVCALL caller = MakeCall(0, 0x501, u"202");
  Announced ringing = NewCallOn(1);
  ASSERT_TRUE(ReachesState(ringing.htCall, kOffering));

  HDRVCALL picked = kUnwritten;
  EXPECT_EQ(0u,
            Run([&](DRV_REQUESTID r) { return m_provider.Pickup(r, Line(2), 0, 0x801, &picked, u"202"); }));
  ASSERT_TRUE(ReachesState(0x801, kConnected));
  ASSERT_TRUE(ReachesState(ringing.htCall, kIdle));
  ASSERT_TRUE(ReachesState(0x501, kConnected));
  Info info = CallInfo(picked);
  EXPECT_EQ(0x10u, info->dwReason);  // LINECALLREASON_PICKUP
  EXPECT_EQ(0x2u, info->dwOrigin);   // the picked call came from inside
  EXPECT_EQ(u"201", info.Text(info->dwCallerIDSize, info->dwCallerIDOffset));
  EXPECT_EQ(u"201", info.Text(info->dwConnectedIDSize, info->dwConnectedIDOffset));
  Info callerInfo = CallInfo(caller);
  EXPECT_EQ(u"203", callerInfo.Text(callerInfo->dwConnectedIDSize, callerInfo->dwConnectedIDOffset));

  // With nothing ringing there the pickup fails when it completes, and its call is gone.
  HDRVCALL none = kUnwritten;
  EXPECT_EQ(kOperationFailed,
            Run([&](DRV_REQUESTID r) { return m_provider.Pickup(r, Line(3), 0, 0x802, &none, u"202"); }));
  LINECALLSTATUS status{};
  status.dwTotalSize = sizeof(status);
  EXPECT_EQ(Err(kInvalCallHandle), m_provider.GetCallStatus(none, &status));
  EXPECT_TRUE(m_host->States(0x802).empty());
}

TEST_F(Calls, RedirectAndBlindTransferRingTheDestinationInstead) {
  HDRVCALL caller = MakeCall(0, 0x501, u"202");
  Announced ringing = NewCallOn(1);
  size_t from = m_host->Count();
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Redirect(r, ringing.hdCall, u"203"); }));
  ASSERT_TRUE(ReachesState(ringing.htCall, kIdle));
  Announced redirected = NewCallOn(2, from);
  Info info = CallInfo(redirected.hdCall);
  EXPECT_EQ(0x40u, info->dwReason);  // LINECALLREASON_REDIRECT
  EXPECT_EQ(u"201", info.Text(info->dwCallerIDSize, info->dwCallerIDOffset));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, redirected.hdCall); }));
  ASSERT_TRUE(ReachesState(0x501, kConnected));

  from = m_host->Count();
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.BlindTransfer(r, redirected.hdCall, u"204"); }));
  ASSERT_TRUE(ReachesState(redirected.htCall, kIdle));
  Announced transferred = NewCallOn(3, from);
  Info transferredInfo = CallInfo(transferred.hdCall);
  EXPECT_EQ(0x100u, transferredInfo->dwReason);  // LINECALLREASON_TRANSFER
  EXPECT_EQ(u"201", transferredInfo.Text(transferredInfo->dwCallerIDSize, transferredInfo->dwCallerIDOffset));
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, transferred.hdCall); }));
  ASSERT_TRUE(ReachesState(transferred.htCall, kConnected));
  Info callerInfo = CallInfo(caller);
  EXPECT_EQ(u"204", callerInfo.Text(callerInfo->dwConnectedIDSize, callerInfo->dwConnectedIDOffset));

  // A destination whose line is closed fails the request when it completes; nothing changes.
  ASSERT_EQ(0, m_provider.Close(Line(2)));
  EXPECT_EQ(kOperationFailed,
            Run([&](DRV_REQUESTID r) { return m_provider.BlindTransfer(r, transferred.hdCall, u"203"); }));
  EXPECT_EQ(kConnected, Status(transferred.hdCall).dwCallState);
}

TEST_F(Calls, GeneratedDigitsAreReportedDoneWithTheEndToEndId) {
  HDRVCALL hdCall = ConnectedOutsideCall(0, 0x501);
  EXPECT_EQ(0, m_provider.GenerateDigits(hdCall, 0x5151, kDtmf, u"12#*A,"));
  int generated = m_host->WaitFor([](const Callback& c) { return c.message == kGenerateMessage; });
  ASSERT_GE(generated, 0);
  Callback callback = m_host->All()[generated];
  EXPECT_EQ(0x501u, callback.htCall);
  EXPECT_EQ(0x1u, callback.param1);  // LINEGENERATETERM_DONE
  EXPECT_EQ(0x5151u, callback.param2);
  EXPECT_NE(std::this_thread::get_id(), callback.thread);

  EXPECT_EQ(Err(0x80000027), m_provider.GenerateDigits(hdCall, 1, 0x1, u"1"));      // INVALDIGITMODE: pulse
  EXPECT_EQ(Err(0x80000028), m_provider.GenerateDigits(hdCall, 1, kDtmf, u"12x"));  // INVALDIGITS
  EXPECT_EQ(Err(kInvalCallHandle), m_provider.GenerateDigits(0x1234, 1, kDtmf, u"1"));
  HDRVCALL dialing = MakeCall(1, 0x502, u"");
  ASSERT_TRUE(ReachesState(0x502, kDialtone));
  EXPECT_EQ(Err(kInvalCallState), m_provider.GenerateDigits(dialing, 1, kDtmf, u"1"));
}

TEST_F(Calls, CallStatusAndInfoDescribeTheCall) {
  HDRVCALL caller = MakeCall(0, 0x501, u"202");
  Announced called = NewCallOn(1);
  ASSERT_TRUE(ReachesState(called.htCall, kOffering));

  LINECALLSTATUS status = Status(called.hdCall);
  EXPECT_EQ(56u, status.dwNeededSize);
  EXPECT_EQ(56u, status.dwUsedSize);
  EXPECT_EQ(kOffering, status.dwCallState);
  EXPECT_EQ(0x1u, status.dwCallStateMode);     // LINEOFFERINGMODE_ACTIVE
  EXPECT_EQ(0x4u, status.dwCallPrivilege);     // OWNER
  EXPECT_EQ(0x20085u, status.dwCallFeatures);  // ACCEPT, ANSWER, DROP, REDIRECT
  EXPECT_EQ(0u, status.dwCallFeatures2);
  EXPECT_EQ(0x80u, Status(caller).dwCallFeatures);  // ringing back: DROP only
  LINECALLSTATUS tooSmall{};
  tooSmall.dwTotalSize = 55;
  EXPECT_EQ(Err(kStructureTooSmall), m_provider.GetCallStatus(called.hdCall, &tooSmall));

  Info info = CallInfo(called.hdCall);
  EXPECT_EQ(344u + 8 + 8, info->dwNeededSize);
  EXPECT_EQ(344u + 8 + 8, info->dwUsedSize);
  EXPECT_EQ(0u, info->hLine);
  EXPECT_EQ(1u, info->dwLineDeviceID);
  EXPECT_EQ(0u, info->dwAddressID);
  EXPECT_EQ(0x1u, info->dwBearerMode);  // VOICE
  EXPECT_EQ(0x4u, info->dwMediaMode);   // INTERACTIVEVOICE
  EXPECT_EQ(0x2u, info->dwOrigin);      // INTERNAL
  EXPECT_EQ(0x1u, info->dwReason);      // DIRECT
  EXPECT_EQ(0x7F7Fu, info->dwCallStates & 0x7F7F);
  EXPECT_EQ(0x8u, info->dwCallerIDFlags);  // ADDRESS
  EXPECT_EQ(0x8u, info->dwCalledIDFlags);
  EXPECT_EQ(0x20u, info->dwConnectedIDFlags);  // UNKNOWN: nobody answered yet
  EXPECT_EQ(0u, info->dwConnectedIDSize);
  EXPECT_EQ(8u, info->dwCallerIDSize);
  EXPECT_EQ(344u, info->dwCallerIDOffset);
  EXPECT_EQ(352u, info->dwCalledIDOffset);
  EXPECT_EQ(u"201", info.Text(info->dwCallerIDSize, info->dwCallerIDOffset));
  EXPECT_EQ(u"202", info.Text(info->dwCalledIDSize, info->dwCalledIDOffset));

  Info callerInfo = CallInfo(caller);
  EXPECT_EQ(0x1u, callerInfo->dwOrigin);  // OUTBOUND
  EXPECT_NE(0u, callerInfo->dwCallID);
  EXPECT_NE(callerInfo->dwCallID, info->dwCallID);
  EXPECT_EQ(callerInfo->dwCallID, info->dwRelatedCallID);
  EXPECT_EQ(info->dwCallID, callerInfo->dwRelatedCallID);

  // A buffer with room for one of the two texts gets that one, and learns what it needs for both.
  Info small = CallInfo(called.hdCall, 354);
  EXPECT_EQ(360u, small->dwNeededSize);
  EXPECT_EQ(352u, small->dwUsedSize);
  EXPECT_EQ(8u, small->dwCallerIDSize);
  EXPECT_EQ(0u, small->dwCalledIDSize);
  EXPECT_EQ(0u, small->dwCalledIDOffset);
}

TEST_F(Calls, ClosingACallOrItsLineEndsItSilentlyAndHangsUpTheFarEnd) {
  Announced called;
  HDRVCALL caller = ConnectedInternalCall(0x501, called);
  size_t statesBefore = m_host->States(0x501).size();
  EXPECT_EQ(0, m_provider.CloseCall(caller));
  ASSERT_TRUE(ReachesState(called.htCall, kIdle));
  EXPECT_EQ((std::vector<DWORD>{kOffering, kConnected, kDisconnected, kIdle}), m_host->States(called.htCall));
  EXPECT_EQ(statesBefore, m_host->States(0x501).size());

  Announced second;
  ConnectedInternalCall(0x502, second);
  ASSERT_EQ(0, m_provider.Close(Line(0)));
  EXPECT_TRUE(ReachesState(second.htCall, kIdle));
  EXPECT_EQ((std::vector<DWORD>{kProceeding, kRingback, kConnected}), m_host->States(0x502));
}

// Requests that do not suit the handles or the call's state are refused at once and never complete.
TEST_F(Calls, RefusesUnknownHandlesAndCallsInTheWrongState) {
  HDRVCALL connected = ConnectedOutsideCall(0, 0x501);
  HDRVCALL dialtone = MakeCall(0, 0x502, u"");
  ASSERT_TRUE(ReachesState(0x502, kDialtone));
  constexpr HDRVCALL kUnknown = 0x1234;
  HDRVCALL out = 0;
  struct Case {
    const char* what;
    std::function<LONG(DRV_REQUESTID)> request;
    DWORD fault;
    bool writesHandle = false;  // the request would have handed out a new call through `out`
  } cases[] = {
      {"make call on an unknown line",
       [&](DRV_REQUESTID r) { return m_provider.MakeCall(r, 0x4711, 1, &out, u"202"); }, kInvalLineHandle,
       true},
      {"pickup on an unknown line",
       [&](DRV_REQUESTID r) { return m_provider.Pickup(r, 0x4711, 0, 1, &out, u"202"); }, kInvalLineHandle,
       true},
      {"forward on an unknown line",
       [&](DRV_REQUESTID r) { return m_provider.Forward(r, 0x4711, 1, 0, nullptr, &out); }, kInvalLineHandle,
       true},
      {"answer an unknown call", [&](DRV_REQUESTID r) { return m_provider.Answer(r, kUnknown); },
       kInvalCallHandle},
      {"drop call 0", [&](DRV_REQUESTID r) { return m_provider.Drop(r, 0); }, kInvalCallHandle},
      {"hold an unknown call", [&](DRV_REQUESTID r) { return m_provider.Hold(r, kUnknown); },
       kInvalCallHandle},
      {"answer a connected call", [&](DRV_REQUESTID r) { return m_provider.Answer(r, connected); },
       kInvalCallState},
      {"accept a connected call", [&](DRV_REQUESTID r) { return m_provider.Accept(r, connected); },
       kInvalCallState},
      {"dial on a connected call", [&](DRV_REQUESTID r) { return m_provider.Dial(r, connected, u"1"); },
       kInvalCallState},
      {"hold a call with dial tone", [&](DRV_REQUESTID r) { return m_provider.Hold(r, dialtone); },
       kInvalCallState},
      {"redirect a connected call",
       [&](DRV_REQUESTID r) { return m_provider.Redirect(r, connected, u"203"); }, kInvalCallState},
      {"remove a call that is in no conference",
       [&](DRV_REQUESTID r) { return m_provider.RemoveFromConference(r, connected); }, kInvalCallState},
      {"transfer a call with dial tone",
       [&](DRV_REQUESTID r) { return m_provider.SetupTransfer(r, dialtone, 1, &out); }, kInvalCallState,
       true},
      {"complete a transfer with no call held",
       [&](DRV_REQUESTID r) {
         return m_provider.CompleteTransfer(r, connected, dialtone, 1, &out, kTransfer);
       },
       kInvalCallState, true},
      {"complete a transfer in no known mode",
       [&](DRV_REQUESTID r) { return m_provider.CompleteTransfer(r, connected, dialtone, 1, &out, 0x4); },
       0x8000003F, true},  // INVALTRANSFERMODE
      {"add to a call that is no conference",
       [&](DRV_REQUESTID r) { return m_provider.PrepareAddToConference(r, connected, 1, &out); }, 0x80000020,
       true},  // INVALCONFCALLHANDLE
      {"dial nothing", [&](DRV_REQUESTID r) { return m_provider.Dial(r, dialtone, u""); },
       0x80000010},  // INVALADDRESS
  };
  for (const Case& c : cases) {
    out = kUnwritten;
    EXPECT_EQ(Err(c.fault), c.request(99)) << c.what;
    // A refused request that would have made a call leaves no handle behind.
    EXPECT_EQ(c.writesHandle ? 0u : kUnwritten, out) << c.what;
  }
  // A request of the right kind still goes through; none of the refused ones ever completes.
  EXPECT_EQ(0u, Run([&](DRV_REQUESTID r) { return m_provider.Drop(r, dialtone); }));
  for (const Callback& callback : m_host->All()) {
    EXPECT_FALSE(callback.message == kReplyMessage && callback.param1 == 99);
  }
}

TEST_F(Calls, AnInjectedFailureHitsTheNextCallOnly) {
  using simtsp::Entry;
  ASSERT_EQ("", m_provider.InjectFailure(Entry::TSPI_lineMakeCall, -5, false));
  HDRVCALL hdCall = kUnwritten;
  EXPECT_EQ(-5, m_provider.MakeCall(NextRequest(), Line(0), 0x501, &hdCall, u"202"));
  EXPECT_EQ(0u, hdCall);
  HDRVCALL caller = MakeCall(0, 0x502, u"202");
  Announced called = NewCallOn(1);
  ASSERT_TRUE(ReachesState(called.htCall, kOffering));

  // Accepted as pending, then the completion brings the failure and the call stays as it was.
  ASSERT_EQ("", m_provider.InjectFailure(Entry::TSPI_lineAnswer, static_cast<LONG>(0x80000048), true));
  EXPECT_EQ(kOperationFailed, Run([&](DRV_REQUESTID r) { return m_provider.Answer(r, called.hdCall); }));
  EXPECT_EQ(kOffering, Status(called.hdCall).dwCallState);

  // A failing request that creates a call still hands out a handle, for a call that never exists.
  ASSERT_EQ("", m_provider.InjectFailure(Entry::TSPI_lineSetupTransfer, static_cast<LONG>(0x8000004B), true));
  HDRVCALL consultation = kUnwritten;
  EXPECT_EQ(0x8000004Bu,
            Run([&](DRV_REQUESTID r) { return m_provider.SetupTransfer(r, caller, 0x601, &consultation); }));
  EXPECT_NE(0u, consultation);
  LINECALLSTATUS status{};
  status.dwTotalSize = sizeof(status);
  EXPECT_EQ(Err(kInvalCallHandle), m_provider.GetCallStatus(consultation, &status));

  ASSERT_EQ("", m_provider.InjectFailure(Entry::TSPI_lineGetCallStatus, 7, false));
  EXPECT_EQ(7, m_provider.GetCallStatus(caller, &status));
  EXPECT_EQ(0, m_provider.GetCallStatus(caller, &status));
  EXPECT_EQ("TSPI_lineGetCallStatus answers at once",
            m_provider.InjectFailure(Entry::TSPI_lineGetCallStatus, 7, true));
}

TEST_F(Calls, NothingCallsBackOnceShutDown) {
  ASSERT_EQ("", m_provider.SetDelay("dialtone", "40"));
  ASSERT_EQ("", m_provider.SetDelay("dialing", "40"));
  for (DWORD device = 0; device < 4; ++device) MakeCall(device, 0x501 + device, u"5550100");
  ASSERT_TRUE(ReachesState(0x501, kDialtone));
  EXPECT_EQ(0, m_provider.Shutdown());
  size_t after = m_host->Count();
  // The calls were on their way to DIALING and on; none of that may come now.
  EXPECT_LT(m_host->WaitFor([](const Callback&) { return true; }, after, std::chrono::milliseconds(300)), 0);
}

}  // namespace
