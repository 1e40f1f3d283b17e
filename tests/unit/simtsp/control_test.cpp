// Tests of the simulated provider's control socket, end to end.
//
// A client sends command lines to the path SIMTSP_CONTROL names while a recording host takes what the
// provider reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "control_socket.h"
#include "provider.h"
#include "support/sim_control.h"
#include "support/temp_dir.h"

namespace {

constexpr DWORD kOffering = 0x2, kConnected = 0x100, kDisconnected = 0x4000;
constexpr DWORD kCallStateMessage = 2, kCloseMessage = 3, kReplyMessage = 12, kCreateMessage = 19,
                kRemoveMessage = 25, kNewCallMessage = 500;
constexpr DWORD kAgreed = 0x00030000;

// One callback, as the host got it; completions come as LINE_REPLY with request id and result.
struct Callback {
  DWORD message;
  HTAPILINE htLine;
  HTAPICALL htCall;
  DWORD_PTR param1;
  DWORD_PTR param2;
};

// The host's callbacks. LINE_NEWCALL gets the host handles 0x9001, 0x9002, ...; LINE_CREATE is
// numbered device 4 from inside the callback, as the host does it.
class Host {
 public:
  static Host* current;

  explicit Host(simtsp::Provider& provider) : m_provider(provider) {}

  static void LineEvent(HTAPILINE htLine, HTAPICALL htCall, DWORD message, DWORD_PTR param1, DWORD_PTR param2,
                        DWORD_PTR) {
    Host& host = *current;
    if (message == kNewCallMessage) {
      std::lock_guard<std::mutex> lock(host.m_mutex);
      *reinterpret_cast<HTAPICALL*>(param2) = ++host.m_lastHtCall;
    }
    if (message == kCreateMessage) host.m_provider.CreateLineDevice(param2, 4);
    host.Add({message, htLine, htCall, param1, param2});
  }
  static void Completion(DRV_REQUESTID requestId, LONG result) {
    current->Add({kReplyMessage, 0, 0, requestId, static_cast<DWORD>(result)});
  }

  // The first callback that matches, waiting up to `patience` for it; false when none came.
  bool WaitFor(const std::function<bool(const Callback&)>& match, Callback* found = nullptr,
               std::chrono::milliseconds patience = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, patience, [&] {
      for (const Callback& callback : m_callbacks) {
        if (match(callback)) {
          if (found != nullptr) *found = callback;
          return true;
        }
      }
      return false;
    });
  }
  // True when there are more than `count` callbacks within `patience`.
  bool WaitForMoreThan(size_t count, std::chrono::milliseconds patience) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, patience, [&] { return m_callbacks.size() > count; });
  }
  std::vector<Callback> All() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacks;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacks.size();
  }

 private:
  void Add(const Callback& callback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callbacks.push_back(callback);
    m_changed.notify_all();
  }

  simtsp::Provider& m_provider;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<Callback> m_callbacks;
  HTAPICALL m_lastHtCall = 0x9000;
};

Host* Host::current = nullptr;

// A provider with the default four lines, 0 to 2 open as 0x100 to 0x102, and its control socket.
class Control : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(m_dir / "control.conf",
                           "line Line 1 201\nline Line 2 202\nline Line 3 203\nline Line 4 204\n"
                           "delay completion 2\ndelay dialtone 2\ndelay dialing 2\ndelay proceeding 2\n"
                           "delay ringback 2\ndelay connected 60000\n");
    setenv("SIMTSP_CONFIG", (m_dir / "control.conf").c_str(), 1);
    setenv("SIMTSP_CONTROL", m_socket.c_str(), 1);
    m_host = std::make_unique<Host>(m_provider);
    Host::current = m_host.get();
    DWORD lines = 0, phones = 0, options = 0;
    ASSERT_EQ(0, m_provider.EnumDevices(&lines, &phones, 0x9E6540, Host::LineEvent));
    ASSERT_EQ(0, m_provider.Init(0, Host::Completion, &options));
    for (DWORD device = 0; device < 3; ++device) {
      ASSERT_EQ(0, m_provider.Open(device, 0x100 + device, &m_lines[device], kAgreed, Host::LineEvent));
    }
    ASSERT_TRUE(m_client.Connect(m_socket));
  }
  void TearDown() override {
    m_client.Disconnect();
    m_provider.Shutdown();
    unsetenv("SIMTSP_CONFIG");
    unsetenv("SIMTSP_CONTROL");
    Host::current = nullptr;
  }

  std::string Ask(const std::string& command) { return m_client.Ask(command); }
  bool Reported(DWORD message, HTAPICALL htCall, DWORD_PTR param1, Callback* found = nullptr) {
    return m_host->WaitFor(
        [&](const Callback& c) { return c.message == message && c.htCall == htCall && c.param1 == param1; },
        found);
  }

  testsupport::TempDir m_dir;
  std::string m_socket = m_dir / "control.sock";
  simtsp::Provider m_provider;
  std::unique_ptr<Host> m_host;
  HDRVLINE m_lines[3] = {};
  testsupport::SimControl m_client;
};

TEST_F(Control, TheSocketListensFromInitToShutdownForOneClientAfterAnother) {
  EXPECT_TRUE(std::filesystem::exists(m_socket));
  EXPECT_EQ("OK", Ask("calls"));
  m_client.Disconnect();
  testsupport::SimControl second;
  ASSERT_TRUE(second.Connect(m_socket));
  EXPECT_EQ("OK", second.Ask("calls"));
  second.Disconnect();

  EXPECT_EQ(0, m_provider.Shutdown());
  EXPECT_FALSE(std::filesystem::exists(m_socket));
  testsupport::SimControl late;
  EXPECT_FALSE(late.Connect(m_socket));
}

TEST_F(Control, AnswersEveryLineWithOkOrTheReason) {
  struct Case {
    std::string command;
    std::string answer;
  } cases[] = {
      {"ring 1", "ERR unknown command"},
      {"", "ERR unknown command"},
      {"calls now", "ERR usage: calls"},
      {"incoming", "ERR usage: incoming <device-id> [<caller>]"},
      {"incoming one 5550100", "ERR bad number"},
      {"incoming 7 5550100", "ERR unknown line"},
      {"incoming 3 5550100", "ERR the line is not open"},
      {"remote-answer 0x1234", "ERR unknown call"},
      {"remote-hangup 99999999999", "ERR bad number"},
      {"remove-line 9", "ERR unknown line"},
      {"close-line 3", "ERR the line is not open"},
      {"forwarded 9", "ERR unknown line"},
      {"create-line Lobby", "ERR usage: create-line <name> <address>"},
      {"create-line \"Front", "ERR unclosed quote"},
      {"fail TSPI_lineNope 1", "ERR unknown function"},
      {"fail TSPI_lineOpen x", "ERR bad result"},
      {"fail TSPI_lineOpen 4294967296", "ERR bad result"},
      {"fail-async TSPI_lineOpen 1", "ERR TSPI_lineOpen answers at once"},
      {"delay ringing 5", "ERR unknown delay step"},
      {"delay connected 3600001", "ERR not 0 to 3600000 milliseconds"},
      {"delay connected 5", "OK"},
      {"burst 0 1 1 0", "ERR 1 to 64 threads"},
      {"burst 3 1 1 1", "ERR the line is not open"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.answer, Ask(c.command)) << c.command;
  // A line ended by CR LF is one command too.
  EXPECT_EQ("OK", Ask("calls\r"));
}

TEST_F(Control, AnOutsideCallRingsIsListedAndHangsUp) {
  std::string answer = Ask("incoming 1 0301234567");
  ASSERT_EQ(0u, answer.rfind("OK ", 0)) << answer;
  HDRVCALL hdCall = static_cast<HDRVCALL>(std::stoul(answer.substr(3)));
  Callback newCall;
  ASSERT_TRUE(m_host->WaitFor([](const Callback& c) { return c.message == kNewCallMessage; }, &newCall));
  EXPECT_EQ(0x101u, newCall.htLine);
  EXPECT_EQ(hdCall, newCall.param1);
  ASSERT_TRUE(Reported(kCallStateMessage, 0x9001, kOffering));
  EXPECT_EQ("OK " + std::to_string(hdCall) + ":1:0x2", Ask("calls"));

  // Only a call going out to a party outside can be answered from outside.
  EXPECT_EQ("ERR not possible in the call's state", Ask("remote-answer " + std::to_string(hdCall)));
  EXPECT_EQ("OK", Ask("remote-hangup " + std::to_string(hdCall)));
  Callback disconnected;
  ASSERT_TRUE(Reported(kCallStateMessage, 0x9001, kDisconnected, &disconnected));
  EXPECT_EQ(0x1u, disconnected.param2);  // LINEDISCONNECTMODE_NORMAL
  EXPECT_EQ("OK " + std::to_string(hdCall) + ":1:0x4000", Ask("calls"));
}

TEST_F(Control, ACallGoingOutIsAnsweredFromOutside) {
  HDRVCALL hdCall = 0;
  ASSERT_EQ(11, m_provider.MakeCall(11, m_lines[0], 0x501, &hdCall, u"5550100"));
  ASSERT_TRUE(Reported(kCallStateMessage, 0x501, 0x20));  // RINGBACK; the connected delay is a minute
  EXPECT_EQ("OK", Ask("remote-answer 0x" + [&] {
              char hex[16];
              std::snprintf(hex, sizeof(hex), "%X", hdCall);
              return std::string(hex);
            }()));
  EXPECT_TRUE(Reported(kCallStateMessage, 0x501, kConnected));
}

TEST_F(Control, LinesComeGoAndAreClosedFromTheSwitch) {
  EXPECT_EQ("OK", Ask("create-line \"Front Desk\" 250"));
  Callback created;
  ASSERT_TRUE(m_host->WaitFor([](const Callback& c) { return c.message == kCreateMessage; }, &created));
  EXPECT_EQ(0x9E6540u, created.param1);
  HDRVLINE lobby = 0;
  ASSERT_EQ(0, m_provider.Open(4, 0x104, &lobby, kAgreed, Host::LineEvent));
  EXPECT_EQ(0, m_provider.Close(lobby));

  EXPECT_EQ("OK", Ask("close-line 0"));
  ASSERT_TRUE(
      m_host->WaitFor([](const Callback& c) { return c.message == kCloseMessage && c.htLine == 0x100; }));

  // A removed line is gone at once, its open handle with it.
  EXPECT_EQ("OK", Ask("remove-line 2"));
  ASSERT_TRUE(
      m_host->WaitFor([](const Callback& c) { return c.message == kRemoveMessage && c.param1 == 2; }));
  EXPECT_EQ(static_cast<LONG>(0x8000002B), m_provider.Close(m_lines[2]));
  EXPECT_EQ("ERR unknown line", Ask("incoming 2 5550100"));
}

TEST_F(Control, InjectedFailuresHitTheNextCallOnly) {
  EXPECT_EQ("OK", Ask("fail TSPI_lineGetLineDevStatus -2147483595"));
  std::vector<DWORD> buffer(64);
  auto* status = reinterpret_cast<LINEDEVSTATUS*>(buffer.data());
  status->dwTotalSize = 256;
  EXPECT_EQ(static_cast<LONG>(0x80000035), m_provider.GetLineDevStatus(m_lines[0], status));
  EXPECT_EQ(0, m_provider.GetLineDevStatus(m_lines[0], status));

  EXPECT_EQ("OK", Ask("fail TSPI_lineClose 2147483720"));
  EXPECT_EQ(static_cast<LONG>(0x80000048), m_provider.Close(m_lines[1]));

  EXPECT_EQ("OK", Ask("fail-async TSPI_lineMakeCall 2147483723"));
  HDRVCALL hdCall = 0;
  ASSERT_EQ(21, m_provider.MakeCall(21, m_lines[0], 0x501, &hdCall, u"202"));
  EXPECT_NE(0u, hdCall);
  Callback reply;
  ASSERT_TRUE(Reported(kReplyMessage, 0, 21, &reply));
  EXPECT_EQ(0x8000004Bu, reply.param2);
  EXPECT_EQ("OK", Ask("calls"));
}

TEST_F(Control, TellsTheLastForwardListByteForByte) {
  EXPECT_EQ("OK none", Ask("forwarded 0"));
  std::vector<DWORD> list(10, 0);  // one unconditional entry without addresses: 40 bytes
  list[0] = 40;
  list[1] = 1;
  list[2] = 0x1;
  HDRVCALL consultation = 0xDEADBEEF;
  ASSERT_EQ(31, m_provider.Forward(31, m_lines[0], 1, 0, reinterpret_cast<LINEFORWARDLIST*>(list.data()),
                                   &consultation));
  EXPECT_EQ(0u, consultation);
  ASSERT_TRUE(Reported(kReplyMessage, 0, 31));
  EXPECT_EQ("OK 28000000010000000100000000000000000000000000000000000000000000000000000000000000",
            Ask("forwarded 0"));
  // Forwarding cancelled: nothing is left to tell.
  ASSERT_EQ(32, m_provider.Forward(32, m_lines[0], 1, 0, nullptr, &consultation));
  EXPECT_EQ("OK none", Ask("forwarded 0"));
}

// Every call's events come in order and none is lost, whichever thread reports them.
TEST_F(Control, ABurstFromSeveralThreadsKeepsTheOrderOfEachCall) {
  EXPECT_EQ("OK 20000", Ask("burst 1 50 400 4"));
  std::vector<Callback> all = m_host->All();
  std::vector<HTAPICALL> announced;
  std::map<HTAPICALL, std::vector<DWORD_PTR>> modes;
  size_t offeredBeforeConnected = 0;
  for (const Callback& callback : all) {
    if (callback.htLine != 0x101) continue;
    if (callback.message == kNewCallMessage) {
      EXPECT_TRUE(modes.empty()) << "every call is announced before the events begin";
      announced.push_back(0);
    } else if (callback.message == kCallStateMessage && callback.param1 == kOffering) {
      announced.back() = callback.htCall;
      ++offeredBeforeConnected;
    } else if (callback.message == kCallStateMessage && callback.param1 == kConnected) {
      modes[callback.htCall].push_back(callback.param2);
    }
  }
  ASSERT_EQ(50u, announced.size());
  EXPECT_EQ(50u, offeredBeforeConnected);
  for (size_t i = 0; i < announced.size(); ++i) EXPECT_EQ(0x9001 + i, announced[i]);
  ASSERT_EQ(50u, modes.size());
  for (const auto& [htCall, sequence] : modes) {
    ASSERT_EQ(400u, sequence.size()) << std::hex << htCall;
    for (size_t i = 0; i < sequence.size(); ++i) ASSERT_EQ(i + 1, sequence[i]) << std::hex << htCall;
  }
  // The calls stay, connected, for the host to drop.
  std::string calls = Ask("calls");
  EXPECT_EQ(50u, static_cast<size_t>(std::count(calls.begin(), calls.end(), ':')) / 2);
  EXPECT_NE(std::string::npos, calls.find(":1:0x100"));
}

TEST_F(Control, AShutdownStopsABurstUnderWay) {
  std::thread client([this] { m_client.Ask("burst 1 100 1000000 8"); });
  ASSERT_TRUE(m_host->WaitFor(
      [](const Callback& c) { return c.message == kCallStateMessage && c.param1 == kConnected; }));
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(0, m_provider.Shutdown());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  client.join();
  size_t after = m_host->Count();
  EXPECT_FALSE(m_host->WaitForMoreThan(after, std::chrono::milliseconds(200)));
  EXPECT_LT(after, 100u * 1000000u);
}

}  // namespace
