// Tests of the simulated provider's control socket, end to end.
//
// A client sends command lines to the path SIMTSP_CONTROL names while a recording host takes what the
// provider reports.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control_socket.h"
#include "provider.h"
#include "recording_host.h"
#include "support/descriptor_limit.h"
#include "support/sim_control.h"
#include "support/temp_dir.h"

namespace {

using namespace testsupport;  // the recording host, its callbacks and the messages it tells apart

constexpr DWORD kOffering = 0x2, kConnected = 0x100, kDisconnected = 0x4000;
constexpr DWORD kCloseMessage = 3, kCreateMessage = 19, kRemoveMessage = 25;
constexpr DWORD kAgreed = 0x00030000;

// A provider with the default four lines, 0 to 2 open as 0x100 to 0x102, and its control socket. A call
// going outside is answered only when a test says so: the connected delay is the longest there is.
class Control : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFile(m_dir / "control.conf",
                           "line Line 1 201\nline Line 2 202\nline Line 3 203\nline Line 4 204\n"
                           "delay completion 2\ndelay dialtone 2\ndelay dialing 2\ndelay proceeding 2\n"
                           "delay ringback 2\ndelay connected 3600000\n");
    setenv("SIMTSP_CONFIG", (m_dir / "control.conf").c_str(), 1);
    setenv("SIMTSP_CONTROL", m_socket.c_str(), 1);
    // A new line is numbered device 4 from inside LINE_CREATE, as the host does it.
    m_host = std::make_unique<RecordingHost>(0x9001, [this](const Callback& callback) {
      return callback.message == kCreateMessage ? m_provider.CreateLineDevice(callback.param2, 4) : 0;
    });
    RecordingHost::current = m_host.get();
    DWORD lines = 0, phones = 0, options = 0;
    ASSERT_EQ(0, m_provider.EnumDevices(&lines, &phones, 0x9E6540, RecordingHost::LineEvent));
    ASSERT_EQ(0, m_provider.Init(0, RecordingHost::Completion, &options));
    for (DWORD device = 0; device < 3; ++device) {
      ASSERT_EQ(0,
                m_provider.Open(device, 0x100 + device, &m_lines[device], kAgreed, RecordingHost::LineEvent));
    }
    ASSERT_TRUE(m_client.Connect(m_socket));
  }
  void TearDown() override {
    m_client.Disconnect();
    m_provider.Shutdown();
    unsetenv("SIMTSP_CONFIG");
    unsetenv("SIMTSP_CONTROL");
    RecordingHost::current = nullptr;
  }

  std::string Ask(const std::string& command) { return m_client.Ask(command); }
  std::optional<Callback> Reported(DWORD message, HTAPICALL htCall, DWORD_PTR param1) {
    return m_host->First(
        [&](const Callback& c) { return c.message == message && c.htCall == htCall && c.param1 == param1; });
  }

  testsupport::TempDir m_dir;
  std::string m_socket = m_dir / "control.sock";
  simtsp::Provider m_provider;
  std::unique_ptr<RecordingHost> m_host;
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

// The socket alone, with a handler that echoes and an idle limit short enough for a test.
class ControlSocketTest : public ::testing::Test {
 protected:
  static constexpr std::chrono::milliseconds kIdleLimit{50};

  void SetUp() override {
    std::string why;
    ASSERT_TRUE(m_socket.Start(
        m_path, [](const std::string& command) { return "OK " + command; }, why))
        << why;
  }

  testsupport::TempDir m_dir;
  std::string m_path = m_dir / "plain.sock";
  simtsp::ControlSocket m_socket{kIdleLimit};
};

TEST(ControlSocketMode, IsTheOwnersAloneWhateverTheUmask) {
  testsupport::TempDir dir;
  const mode_t previous = umask(022);
  simtsp::ControlSocket socket;
  std::string why;
  const bool started = socket.Start(
      dir / "mode.sock", [](const std::string&) { return "OK"; }, why);
  umask(previous);
  ASSERT_TRUE(started) << why;
  struct stat info;
  ASSERT_EQ(0, lstat((dir / "mode.sock").c_str(), &info));
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(0600u, info.st_mode & 07777);
}

TEST_F(ControlSocketTest, ASilentClientIsGivenUpForTheNextOne) {
  testsupport::SimControl silent;
  ASSERT_TRUE(silent.Connect(m_path));
  ASSERT_EQ("OK first", silent.Ask("first"));  // now the client being served, and silent from here on

  testsupport::SimControl next;
  ASSERT_TRUE(next.Connect(m_path));
  EXPECT_EQ("OK second", next.Ask("second"));
  EXPECT_EQ("", silent.Ask("again")) << "the silent client was given up";
  EXPECT_EQ("OK third", next.Ask("third"));
}

TEST_F(ControlSocketTest, AClientAloneMayBeSilentLongerThanTheLimit) {
  testsupport::SimControl client;
  ASSERT_TRUE(client.Connect(m_path));
  ASSERT_EQ("OK first", client.Ask("first"));
  // Far past the limit; nobody else waits, so nothing ends the client.
  std::this_thread::sleep_for(kIdleLimit * 10);
  EXPECT_EQ("OK second", client.Ask("second"));
}

double ProcessCpuSeconds() {
  timespec used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

TEST_F(ControlSocketTest, AClientThatFindsNoDescriptorLeftIsServedOnceOneIsBackWithoutASpinMeanwhile) {
  testsupport::SimControl client;
  {
    testsupport::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.exhausted());
    exhausted.Free(1);
    ASSERT_TRUE(client.Connect(m_path));  // takes the one left: the listener has none to accept with
    // The serving thread is the only other one: over a second the process runs for a small part of it
    // at most, where a listener retrying at once would run for all of it.
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(ProcessCpuSeconds() - before, 0.25);
  }
  EXPECT_EQ("OK waited", client.Ask("waited"));
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
      {"event 3 1 2 2 1 0 0", "ERR the line is not open"},
      {"event 0 1 2 500 1 0 0", "ERR LINE_NEWCALL needs a handle place: use incoming"},
      {"event 0 1 2 x 1 0 0", "ERR bad number"},
      {"complete 7", "ERR usage: complete <request-id> <result>"},
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
  std::optional<Callback> newCall =
      m_host->First([](const Callback& c) { return c.message == kNewCallMessage; });
  ASSERT_TRUE(newCall);
  EXPECT_EQ(0x101u, newCall->htLine);
  EXPECT_EQ(hdCall, newCall->param1);
  ASSERT_TRUE(Reported(kCallStateMessage, 0x9001, kOffering));
  EXPECT_EQ("OK " + std::to_string(hdCall) + ":1:0x2", Ask("calls"));

  // Only a call going out to a party outside can be answered from outside.
  EXPECT_EQ("ERR not possible in the call's state", Ask("remote-answer " + std::to_string(hdCall)));
  EXPECT_EQ("OK", Ask("remote-hangup " + std::to_string(hdCall)));
  std::optional<Callback> disconnected = Reported(kCallStateMessage, 0x9001, kDisconnected);
  ASSERT_TRUE(disconnected);
  EXPECT_EQ(0x1u, disconnected->param2);  // LINEDISCONNECTMODE_NORMAL
  EXPECT_EQ("OK " + std::to_string(hdCall) + ":1:0x4000", Ask("calls"));
}

TEST_F(Control, ACallGoingOutIsAnsweredFromOutside) {
  HDRVCALL hdCall = 0;
  ASSERT_EQ(11, m_provider.MakeCall(11, m_lines[0], 0x501, &hdCall, u"5550100"));
  ASSERT_TRUE(Reported(kCallStateMessage, 0x501, 0x20));  // RINGBACK, where it stays
  EXPECT_EQ("OK", Ask("remote-answer 0x" + [&] {
              char hex[16];
              std::snprintf(hex, sizeof(hex), "%X", hdCall);
              return std::string(hex);
            }()));
  EXPECT_TRUE(Reported(kCallStateMessage, 0x501, kConnected));
}

TEST_F(Control, LinesComeGoAndAreClosedFromTheSwitch) {
  EXPECT_EQ("OK", Ask("create-line \"Front Desk\" 250"));
  std::optional<Callback> created =
      m_host->First([](const Callback& c) { return c.message == kCreateMessage; });
  ASSERT_TRUE(created);
  EXPECT_EQ(0x9E6540u, created->param1);
  HDRVLINE lobby = 0;
  ASSERT_EQ(0, m_provider.Open(4, 0x104, &lobby, kAgreed, RecordingHost::LineEvent));
  EXPECT_EQ(0, m_provider.Close(lobby));

  EXPECT_EQ("OK", Ask("close-line 0"));
  ASSERT_TRUE(
      m_host->First([](const Callback& c) { return c.message == kCloseMessage && c.htLine == 0x100; }));

  // A removed line is gone at once, its open handle with it.
  EXPECT_EQ("OK", Ask("remove-line 2"));
  ASSERT_TRUE(m_host->First([](const Callback& c) { return c.message == kRemoveMessage && c.param1 == 2; }));
  EXPECT_EQ(static_cast<LONG>(0x8000002B), m_provider.Close(m_lines[2]));
  EXPECT_EQ("ERR unknown line", Ask("incoming 2 5550100"));
}

// What a faulty provider does: events with any handles, completions nobody asked for.
TEST_F(Control, RaisesAnyEventAndAnyCompletion) {
  EXPECT_EQ("OK", Ask("event 1 0x777 0x888 2 0x10004 5 6"));
  auto raised = m_host->First([](const Callback& c) { return c.message == 2 && c.htCall == 0x888; });
  ASSERT_TRUE(raised);
  EXPECT_EQ(0x777u, raised->htLine);
  EXPECT_EQ(0x10004u, raised->param1);
  EXPECT_EQ(6u, raised->param3);
  EXPECT_EQ("OK", Ask("complete 4711 -2147483641"));
  auto completed =
      m_host->First([](const Callback& c) { return c.message == kReplyMessage && c.param1 == 4711; });
  ASSERT_TRUE(completed);
  EXPECT_EQ(0x80000007u, completed->param2);
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
  std::optional<Callback> reply = Reported(kReplyMessage, 0, 21);
  ASSERT_TRUE(reply);
  EXPECT_EQ(0x8000004Bu, reply->param2);
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
  ASSERT_TRUE(m_host->First(
      [](const Callback& c) { return c.message == kCallStateMessage && c.param1 == kConnected; }));
  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(0, m_provider.Shutdown());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));
  client.join();
  size_t after = m_host->Count();
  EXPECT_LT(m_host->WaitFor([](const Callback&) { return true; }, after, std::chrono::milliseconds(200)), 0);
  EXPECT_LT(after, 100u * 1000000u);
}

}  // namespace
