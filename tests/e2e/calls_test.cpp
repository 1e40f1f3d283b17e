// End to end: calls between the simulated provider's lines and outside parties, as a Telvane client sees
// them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plat/path.h"
#include "plat/time.h"
#include "plat/winsock.h"
#include "support/protocol_lines.h"
#include "support/service_log.h"
#include "support/sim_control.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using testsupport::Fields;
using testsupport::JoinLines;

const std::string kProgram = VELCORA_EXE;

// Whether `line` fits `pattern`: blank-separated fields, "*" for any one field, a last "..." for any rest.
bool Fits(const std::string& line, const std::string& pattern) {
  Lines got = Fields(line), want = Fields(pattern);
  for (size_t i = 0; i < want.size(); ++i) {
    if (want[i] == "..." && i + 1 == want.size()) return true;
    if (i >= got.size() || (want[i] != "*" && want[i] != got[i])) return false;
  }
  return got.size() == want.size();
}

// The call states of one call, in the order of its "LINE_CALLSTATE" lines.
std::vector<unsigned> StatesOf(const Lines& lines, const std::string& clientLine, const std::string& call) {
  std::vector<unsigned> states;
  for (const std::string& line : lines)
    if (Fits(line, "LINE_CALLSTATE " + clientLine + " " + call + " * * 4"))
      states.push_back(static_cast<unsigned>(std::stoul(Fields(line)[3])));
  return states;
}

// The last state of the call in `lines`, 0 when it has none.
unsigned LastState(const Lines& lines, const std::string& clientLine, const std::string& call) {
  std::vector<unsigned> states = StatesOf(lines, clientLine, call);
  return states.empty() ? 0 : states.back();
}

class CallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::PrepareServiceTest(m_dir / "sim.sock");
    testsupport::WriteFile(m_dir / "sim.cfg",
                           "line Line 1 201\nline Line 2 202\nline Line 3 203\n"
                           "delay dialtone 20\ndelay dialing 20\ndelay proceeding 20\n"
                           "delay ringback 20\ndelay connected 40\n");
    setenv("SIMTSP_CONFIG", (m_dir / "sim.cfg").c_str(), 1);
  }
  void TearDown() override {
    if (HasFailure()) {
      m_service.PrintLog();
      std::printf("---- lines seen ----\n%s---- end ----\n", JoinLines(m_seen).c_str());
    }
    unsetenv("SIMTSP_CONTROL");
    unsetenv("SIMTSP_CONFIG");
  }

  void Start(const std::string& features = "") {
    ASSERT_TRUE(m_service.Start(testsupport::SimulatedProviderSetting(kProgram) + features));
    // Greeted, so the service has taken the client: a provider event raised before the service accepted
    // the connection would go to no client.
    m_client = testsupport::ConnectGreeted(m_service.port());
    ASSERT_NE(nullptr, m_client) << "no client was greeted";
  }

  // Opens the line of `address` under the client's number `clientLine`.
  void Open(const std::string& address, const std::string& clientLine) {
    Send("TSPI_lineOpen 1 x x " + clientLine + " x " + address);
    Lines opened = Until("LINE_ADDRESSSTATE " + clientLine + " 0 0 64 0");
    ASSERT_TRUE(Fits(opened.back(), "LINE_ADDRESSSTATE " + clientLine + " 0 0 64 0")) << JoinLines(opened);
    ASSERT_EQ("LINE_REPLY 1 0", opened.front());
  }

  void Send(const std::string& line) {
    m_seen.push_back("> " + line);
    m_client->SendLine(line);
  }
  std::string Next() {
    std::string line = m_client->NextLine();
    m_seen.push_back(line);
    return line;
  }
  // The lines up to and including the first that fits `pattern`.
  Lines Until(const std::string& pattern) {
    Lines lines;
    do lines.push_back(Next());
    while (!Fits(lines.back(), pattern) && lines.back() != "<none>" && lines.back() != "<closed>");
    return lines;
  }
  // The lines up to the one after which `done` holds for all of them.
  template <typename Done>
  Lines UntilAll(Done done) {
    Lines lines;
    while (!done(lines)) {
      lines.push_back(Next());
      if (lines.back() == "<none>" || lines.back() == "<closed>") break;
    }
    return lines;
  }
  // Each pattern in turn against the next line.
  void ExpectLines(const Lines& patterns) {
    for (const std::string& pattern : patterns) {
      std::string line = Next();
      ASSERT_TRUE(Fits(line, pattern)) << "expected " << pattern << "\n     got " << line;
    }
  }
  // The provider's control socket, connected on first use.
  testsupport::SimControl& ControlSocket() {
    if (!m_control.connected()) {
      EXPECT_TRUE(m_control.Connect(m_dir / "sim.sock"));
    }
    return m_control;
  }
  // The provider's answer to a command of its control socket.
  std::string Control(const std::string& command) { return ControlSocket().Ask(command); }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  testsupport::SimControl m_control;
  testsupport::VelcoraProcess m_service{kProgram, m_dir};
  std::unique_ptr<testsupport::TelvaneClient> m_client;
  Lines m_seen;
};

// A client-made call to an outside destination, line by line: the completion, the announcement of the call
// under the client's number 12, then its states; then its drop and a command on the call that is gone.
TEST_F(CallsTest, TheRoadOfOneRequest) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Open("201", "3"));
  Send("TSPI_lineMakeCall 17 3 0 12 200");
  ExpectLines({
      "LINE_REPLY 17 0",
      "LINE_NEWCALL 3 0 12 4 * 1",
      "SetLINEADDRESSSTATUS 3 ...",
      "LINE_ADDRESSSTATE 3 0 0 33 0",
      "SetLINECALLINFO 3 12 ...",
      "LINE_CALLINFO 3 12 * 0 0",
      "SetLINECALLSTATUS 3 12 8 * * 0 0",
      "LINE_CALLSTATE 3 12 8 * 4",
  });
  for (const char* state : {"16", "512", "32", "256"})
    ExpectLines({std::string("SetLINECALLSTATUS 3 12 ") + state + " * * 0 0",
                 std::string("LINE_CALLSTATE 3 12 ") + state + " * 4"});

  Send("TSPI_lineDrop 18 12");
  Lines dropped = Until("LINE_CALLSTATE 3 12 1 * 4");
  EXPECT_EQ(1, std::count(dropped.begin(), dropped.end(), "LINE_REPLY 18 0")) << JoinLines(dropped);
  EXPECT_EQ((std::vector<unsigned>{0x4000, 1}), StatesOf(dropped, "3", "12")) << JoinLines(dropped);

  Send("TSPI_lineDrop 19 12");
  ExpectLines({"LINE_REPLY 19 2147483672"});
}

// A call between two open lines rings the called line under the provider-made call number 32772 and connects
// both when it is answered; a drop brings both ends to IDLE.
TEST_F(CallsTest, AnInternalCallRingsConnectsAndEnds) {
  ASSERT_NO_FATAL_FAILURE(Start("FeatureOrigin=1\r\nFeatureFilterFeatures=1\r\nFeatureRefreshStatus=1\r\n"));
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  ASSERT_NO_FATAL_FAILURE(Open("202", "2"));
  Send("TSPI_lineMakeCall 20 1 0 30 202");
  Lines ringing = Until("LINE_CALLSTATE 2 32772 2 * 4");
  EXPECT_EQ(1, std::count(ringing.begin(), ringing.end(), "LINE_REPLY 20 0")) << JoinLines(ringing);
  EXPECT_EQ(1,
            std::count_if(ringing.begin(), ringing.end(),
                          [](const std::string& line) { return Fits(line, "LINE_NEWCALL 2 0 32772 0 * 1"); }))
      << "the called end is announced once, with no client handle";
  EXPECT_EQ(std::vector<unsigned>{2}, StatesOf(ringing, "2", "32772"));

  Send("TSPI_lineAnswer 21 32772");
  Lines connected = UntilAll([](const Lines& lines) {
    return LastState(lines, "1", "30") == 256 && LastState(lines, "2", "32772") == 256;
  });
  EXPECT_EQ(1, std::count(connected.begin(), connected.end(), "LINE_REPLY 21 0")) << JoinLines(connected);

  Send("TSPI_lineDrop 22 30");
  Lines ended = UntilAll([](const Lines& lines) {
    return LastState(lines, "1", "30") == 1 && LastState(lines, "2", "32772") == 1;
  });
  EXPECT_EQ(1u, LastState(ended, "1", "30")) << JoinLines(ended);
  // The service closes each call at the provider after it has told the client of its IDLE state.
  EXPECT_EQ("OK", ControlSocket().AskUntil("calls", "OK")) << "both ends are gone at the provider";
}

// An outside call rings an open line, is answered, and ends when the far end hangs up and the client drops
// it.
TEST_F(CallsTest, AnIncomingOutsideCall) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  std::string answer = Control("incoming 0 5551234");
  ASSERT_EQ(0u, answer.rfind("OK ", 0)) << answer;
  const std::string hdCall = answer.substr(3);
  Lines offered = Until("LINE_CALLSTATE 1 32772 2 * 4");
  ASSERT_TRUE(Fits(offered.front(), "LINE_NEWCALL 1 0 32772 0 * 1")) << JoinLines(offered);
  bool callerShown = false;
  for (const std::string& line : offered)
    if (Fits(line, "SetLINECALLINFO 1 32772 ...") && line.find("5551234") != std::string::npos)
      callerShown = true;
  EXPECT_TRUE(callerShown) << JoinLines(offered);

  Send("TSPI_lineAnswer 2 32772");
  Lines answered = Until("LINE_CALLSTATE 1 32772 256 * 4");
  EXPECT_EQ("LINE_REPLY 2 0", answered.front());

  ASSERT_EQ("OK", Control("remote-hangup " + hdCall).substr(0, 2));
  Until("LINE_CALLSTATE 1 32772 16384 * 4");
  Send("TSPI_lineDrop 3 32772");
  Lines idle = Until("LINE_CALLSTATE 1 32772 1 * 4");
  EXPECT_TRUE(Fits(idle.back(), "LINE_CALLSTATE 1 32772 1 * 4")) << JoinLines(idle);
}

// Hold and unhold, a consultation call with a transfer into a conference, on one line.
TEST_F(CallsTest, HoldTransferAndConference) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  Send("TSPI_lineMakeCall 1 1 0 10 5550001");
  Until("LINE_CALLSTATE 1 10 256 * 4");

  Send("TSPI_lineHold 2 10");
  EXPECT_EQ((std::vector<unsigned>{0x400}), StatesOf(Until("LINE_CALLSTATE 1 10 1024 * 4"), "1", "10"));
  Send("TSPI_lineUnhold 3 10");
  EXPECT_EQ((std::vector<unsigned>{0x100}), StatesOf(Until("LINE_CALLSTATE 1 10 256 * 4"), "1", "10"));

  Send("TSPI_lineSetupTransfer 4 10 0 11");
  Lines setup = Until("LINE_CALLSTATE 1 11 8 * 4");
  EXPECT_EQ(1, std::count(setup.begin(), setup.end(), "LINE_REPLY 4 0")) << JoinLines(setup);
  Send("TSPI_lineDial 5 11 5550002");
  Until("LINE_CALLSTATE 1 11 256 * 4");

  Send("TSPI_lineCompleteTransfer 6 10 11 0 12 2");
  Lines conference = Until("LINE_CALLSTATE 1 12 256 * 4");
  EXPECT_EQ(1, std::count(conference.begin(), conference.end(), "LINE_REPLY 6 0")) << JoinLines(conference);
  EXPECT_TRUE(std::any_of(conference.begin(), conference.end(), [](const std::string& line) {
    return Fits(line, "LINE_NEWCALL 1 0 12 * * 1");
  })) << "the conference call is announced under the client's number 12";
}

// A request the provider accepts but then fails completes with the error as a large unsigned number.
TEST_F(CallsTest, AFailedCompletionCarriesTheErrorCode) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  ASSERT_EQ("OK", Control("fail-async TSPI_lineMakeCall -2147483641").substr(0, 2));
  Send("TSPI_lineMakeCall 40 1 0 10 5550001");
  ExpectLines({"LINE_REPLY 40 2147483655"});
  ASSERT_EQ("OK", Control("fail TSPI_lineMakeCall -2147483641").substr(0, 2));
  Send("TSPI_lineMakeCall 41 1 0 11 5550001");
  ExpectLines({"LINE_REPLY 41 2147483655"});
}

// Events of many calls fired from several provider threads at once all arrive, each call's in its order.
TEST_F(CallsTest, ABurstFromSeveralThreadsArrivesWholeAndInOrder) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  constexpr int kCalls = 20, kEvents = 200;
  ASSERT_EQ("OK " + std::to_string(kCalls * kEvents),
            Control("burst 0 " + std::to_string(kCalls) + " " + std::to_string(kEvents) + " 4"));
  std::map<std::string, unsigned> lastMode;
  int connected = 0;
  while (connected < kCalls * kEvents) {
    std::string line = m_client->NextLine();
    ASSERT_NE("<none>", line) << connected << " of " << kCalls * kEvents << " events arrived";
    Lines fields = Fields(line);
    if (!Fits(line, "LINE_CALLSTATE 1 * 256 * 4")) continue;
    unsigned mode = static_cast<unsigned>(std::stoul(fields[4]));
    EXPECT_EQ(lastMode[fields[2]] + 1, mode) << "call " << fields[2];
    lastMode[fields[2]] = mode;
    ++connected;
  }
  EXPECT_EQ(static_cast<size_t>(kCalls), lastMode.size());
}

// Lines the provider creates, removes and closes while the service runs.
TEST_F(CallsTest, LinesComeAndGo) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_EQ("OK", Control("create-line \"Line 9\" 209"));
  ExpectLines({"LINE_CREATE 209 0 0 0 0"});
  ASSERT_NO_FATAL_FAILURE(Open("209", "9"));
  ASSERT_EQ(0u, Control("incoming 3 5550199").rfind("OK ", 0));
  Until("LINE_CALLSTATE 9 32772 2 * 4");

  ASSERT_EQ("OK", Control("remove-line 3"));
  ExpectLines({"LINE_REMOVE 209 0 0 0 0"});
  Send("TSPI_lineDrop 5 32772");
  ExpectLines({"LINE_REPLY 5 2147483672"});  // the removed line's call is gone
  Send("TSPI_lineClose 6 9");
  ExpectLines({"LINE_REPLY 6 2147483698"});  // and so is the line

  // A line is announced by at most 30 characters of its address, so one of 30 opens by the name it got.
  const std::string thirty(30, '7');
  ASSERT_EQ("OK", Control("create-line Thirty " + thirty));
  ExpectLines({"LINE_CREATE " + thirty + " 0 0 0 0"});
  ASSERT_NO_FATAL_FAILURE(Open(thirty, "30"));
  ASSERT_EQ("OK", Control("create-line ThirtyOne " + thirty + "8"));
  ExpectLines({"LINE_CREATE " + thirty + " 0 0 0 0"});

  // The provider closes an open line: the client hears nothing, the line is closed.
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  ASSERT_EQ("OK", Control("close-line 0"));
  ASSERT_TRUE(testsupport::FileShowsWithin(m_service.LogFile(), "LINE_CLOSE Device"));
  Send("TSPI_lineClose 7 1");
  ExpectLines({"LINE_REPLY 7 2147483698"});
  ASSERT_NO_FATAL_FAILURE(Open("201", "1")) << "it can be opened again";
}

// Digits are generated at once, and their end is reported later; a forward list reaches the provider.
TEST_F(CallsTest, DigitsAndForwarding) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Open("201", "1"));
  Send("TSPI_lineMakeCall 1 1 0 10 5550001");
  Until("LINE_CALLSTATE 1 10 256 * 4");
  Send("TSPI_lineGenerateDigits 2 10 5 2 123# 100");
  Lines generated = Until("LINE_GENERATE 1 10 * 0 0");
  EXPECT_EQ(1, std::count(generated.begin(), generated.end(), "LINE_REPLY 2 0")) << JoinLines(generated);
  EXPECT_EQ("LINE_GENERATE 1 10 1 0 0", generated.back()) << "LINEGENERATETERM_DONE";

  Send("TSPI_lineForward 3 1 1 1 \"555-0100\"");
  Lines forwarded = Until("LINE_REPLY 3 *");
  EXPECT_EQ("LINE_REPLY 3 0", forwarded.back());
  std::string answer = Control("forwarded 0");
  ASSERT_EQ(0u, answer.rfind("OK ", 0)) << answer;
  std::string hex = answer.substr(3);
  ASSERT_EQ(2 * 392u, hex.size());
  std::vector<unsigned char> list;
  for (size_t i = 0; i < hex.size(); i += 2)
    list.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  auto dword = [&list](size_t offset) {
    return list[offset] | list[offset + 1] << 8 | list[offset + 2] << 16 |
           static_cast<unsigned>(list[offset + 3]) << 24;
  };
  EXPECT_EQ(392u, dword(0));
  EXPECT_EQ(1u, dword(4));
  EXPECT_EQ(1u, dword(8)) << "LINEFORWARDMODE_UNCOND";
  EXPECT_EQ(18u, dword(8 + 16)) << "\"555-0100\" and its terminator in UTF-16";
  EXPECT_EQ(136u, dword(8 + 20));
  std::string destination;
  for (size_t i = 136; list[i] != 0; i += 2) destination += static_cast<char>(list[i]);
  EXPECT_EQ("555-0100", destination) << "dialling characters kept, quotes gone";
}

}  // namespace
