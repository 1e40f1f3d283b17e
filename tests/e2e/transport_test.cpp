// End to end: a Telvane client on TCP against the real VELCORA.EXE with the simulated provider.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/time.h"
#include "plat/winsock.h"
#include "support/service_log.h"
#include "support/sim_control.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

using namespace std::chrono_literals;

const std::string kProgram = VELCORA_EXE;

using Client = testsupport::TelvaneClient;

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override { StartService("all"); }
  void StartService(const std::string& logLevel) {
    testsupport::PrepareServiceTest(m_dir / "sim.sock");
    ASSERT_TRUE(m_service.Start(testsupport::SimulatedProviderSetting(kProgram), logLevel));
    m_port = m_service.port();
  }

  void TearDown() override {
    if (HasFailure()) m_service.PrintLog();
    unsetenv("SIMTSP_CONTROL");
  }

  std::string Log() const { return m_service.Log(); }
  bool LogShowsWithin(const std::string& text) const {
    return testsupport::FileShowsWithin(m_service.LogFile(), text);
  }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  testsupport::VelcoraProcess m_service{kProgram, m_dir};
  int m_port = 0;
};

TEST_F(TransportTest, GreetingUnknownCommandsAndLineFraming) {
  Client client(m_port);
  ASSERT_TRUE(client.connected());
  client.Send("Telvane;version=2\r\n");
  EXPECT_EQ("LOGIN_REPLY 0 0\r\n", client.Receive());
  // Two commands in one segment, the second finished by a later one; CR, LF and NUL all end a line.
  client.Send(std::string("FOO 17 x\nBAR \"18\"", 17));
  EXPECT_EQ("LINE_REPLY 17 0\r\n", client.Receive());
  client.Send(std::string("\0QUUX -1\r", 10));
  EXPECT_EQ("LINE_REPLY 18 0\r\nLINE_REPLY 4294967295 0\r\n", client.Receive(2));
  client.Send("X 99999999999\r\n");
  EXPECT_EQ("LINE_REPLY 2147483647 0\r\n", client.Receive());
  EXPECT_TRUE(LogShowsWithin("INFO Velcora: <- FOO 17 x"));
}

TEST_F(TransportTest, ALongLineIsCutOnceAndTheRestDropped) {
  Client client(m_port);
  ASSERT_TRUE(client.connected());
  client.Send("Z 5" + std::string(1500, 'x') + "\r\nNEXT 6\r\n");
  EXPECT_EQ("LINE_REPLY 5 0\r\nLINE_REPLY 6 0\r\n", client.Receive(2));
  client.Send("LAST 7\r\n");
  EXPECT_EQ("LINE_REPLY 7 0\r\n", client.Receive()) << "the rest of the long line is no command";
}

TEST_F(TransportTest, OneClientAtATimeAndTheEndsOfAConnection) {
  auto first = std::make_unique<Client>(m_port);
  ASSERT_TRUE(first->connected());
  first->Send("Telvane;version=2\r\n");
  ASSERT_EQ("LOGIN_REPLY 0 0\r\n", first->Receive());
  {
    Client second(m_port);
    EXPECT_EQ("<closed>", second.Receive()) << "refused: accepted and closed at once";
  }
  EXPECT_TRUE(LogShowsWithin("ERROR Velcora: Illegal connection from 127.0.0.1 refused."));
  first->Send("A 1\r\n");
  EXPECT_EQ("LINE_REPLY 1 0\r\n", first->Receive()) << "the first client is not touched";
  first->Send("BYE\r\nAFTER 9\r\n");
  EXPECT_EQ("<closed>", first->Receive());
  // What follows BYE in the same read is still handled; its answer has no client to go to.
  EXPECT_TRUE(LogShowsWithin(
      "ERROR Velcora: CServiceWindow::SendBack: Socket error during send: for LINE_REPLY 9 0"));
  EXPECT_TRUE(LogShowsWithin("ErrorCode=10038 closing socket!"));

  Client next(m_port);
  ASSERT_TRUE(next.connected());
  next.Send("Telvane;version=3\r\n");
  EXPECT_EQ("<closed>", next.Receive()) << "another version is refused";
  EXPECT_TRUE(LogShowsWithin("ERROR Velcora: Client not supported"));

  Client last(m_port);
  last.Send("B 2\r\n");
  EXPECT_EQ("LINE_REPLY 2 0\r\n", last.Receive());
}

TEST_F(TransportTest, LineCommandsOpenAndCloseALine) {
  Client client(m_port);
  ASSERT_TRUE(client.connected());
  client.Send("TSPI_lineGetDevCaps 1 201\r\n");
  std::vector<std::string> caps = client.LinesUntil("LINE_REPLY");
  ASSERT_EQ(2u, caps.size());
  EXPECT_EQ(0u, caps[0].rfind("SetLINEDEVCAPS 1 ", 0)) << caps[0];
  EXPECT_EQ("LINE_REPLY 1 0", caps[1]);

  client.Send("TSPI_lineGetDevCaps 2 999\r\n");
  EXPECT_EQ("LINE_REPLY 2 2147483698\r\n", client.Receive()) << "no line of that address";

  client.Send("TSPI_lineOpen 3 x x 7 x 201\r\n");
  std::vector<std::string> opened = client.LinesUntil("LINE_ADDRESSSTATE 7 0 0 64 0");
  ASSERT_EQ(8u, opened.size());
  EXPECT_EQ("LINE_REPLY 3 0", opened[0]);
  EXPECT_EQ(0u, opened[1].rfind("SetLINEADDRESSCAPS 0 201 ", 0)) << opened[1];
  // The status lines name the line by the client's number 7; 65 = OTHER | INSERVICE.
  EXPECT_EQ(0u, opened[2].rfind("SetLINEDEVSTATUS 7 65 ", 0)) << opened[2];
  EXPECT_EQ("LINE_LINEDEVSTATE 7 65 0 0", opened[3]);
  EXPECT_EQ(0u, opened[4].rfind("SetLINEADDRESSSTATUS 7 1 ", 0)) << opened[4];
  EXPECT_EQ("LINE_ADDRESSSTATE 7 0 0 1 0", opened[5]);
  EXPECT_EQ(0u, opened[6].rfind("SetLINEADDRESSSTATUS 7 64 ", 0)) << opened[6];

  // The prefix rule: a word that goes on after "TSPI_lineCloseCall" is that command.
  client.Send("TSPI_lineCloseCallX 6 1\r\n");
  EXPECT_EQ("LINE_REPLY 6 0\r\n", client.Receive());
  client.Send("TSPI_lineDrop 7 12\r\n");
  EXPECT_EQ("LINE_REPLY 7 2147483672\r\n", client.Receive()) << "no call 12";
  client.Send("TSPI_lineClose 4 7\r\nTSPI_lineClose 5 7\r\n");
  EXPECT_EQ("LINE_REPLY 4 0\r\nLINE_REPLY 5 2147483698\r\n", client.Receive(2))
      << "after the close, number 7 names no line";
}

// The client line number of an open is read in 64 bits, which stop at their limits, and keeps the low
// 32 bits: 18446744073709551623 stops at 0x7FFFFFFFFFFFFFFF and names the line 4294967295 (a wrapped
// read would name it 7).
TEST_F(TransportTest, AnOpenNamesTheLineByTheLow32BitsOfItsSaturatedNumber) {
  Client client(m_port);
  ASSERT_TRUE(client.connected());
  client.Send("TSPI_lineOpen 11 x x 18446744073709551623 x 202\r\n");
  std::vector<std::string> opened = client.LinesUntil("LINE_ADDRESSSTATE 4294967295 0 0 64 0");
  ASSERT_EQ(8u, opened.size()) << opened.back();
  EXPECT_EQ("LINE_REPLY 11 0", opened[0]);
  EXPECT_EQ(0u, opened[2].rfind("SetLINEDEVSTATUS 4294967295 65 ", 0)) << opened[2];
  EXPECT_EQ("LINE_LINEDEVSTATE 4294967295 65 0 0", opened[3]);
  // The other commands read 32 bits, so -1 is how the client names that line again.
  client.Send("TSPI_lineClose 12 -1\r\n");
  EXPECT_EQ("LINE_REPLY 12 0\r\n", client.Receive());
}

TEST_F(TransportTest, MalformedLinesGetTheirAnswersAndTheServiceServesOn) {
  Client client(m_port);
  ASSERT_TRUE(client.connected());
  struct Case {
    std::string sent;
    std::string answer;
  } cases[] = {
      {"TSPI_lineOpen\r\n", "LINE_REPLY  2147483698\r\n"},  // no fields: no request text, no line
      {"TSPI_lineGetDevCaps 3\r\n", "LINE_REPLY 3 2147483698\r\n"},
      {"TSPI_lineClose 4 -5\r\n", "LINE_REPLY 4 2147483698\r\n"},
      {"TSPI_lineClose 5 0\r\n", "LINE_REPLY 5 2147483698\r\n"},          // 0 names no open line
      {"TSPI_lineGetDevCaps 6 \"\"\r\n", "LINE_REPLY 6 2147483698\r\n"},  // the empty name is no line
      {"BYE now\r\n", "LINE_REPLY 0 0\r\n"},
      {" TSPI_lineOpen 8\r\n", "LINE_REPLY 8 0\r\n"},  // not at the start: an unknown command
      {"Q " + std::string(5000, '9') + "\r\n", "LINE_REPLY 2147483647 0\r\n"},
  };
  for (const Case& c : cases) {
    client.Send(c.sent);
    EXPECT_EQ(c.answer, client.Receive()) << c.sent.substr(0, 40);
  }
  client.Send(std::string("A 1\0\0B 2\0", 9));
  EXPECT_EQ("LINE_REPLY 1 0\r\nLINE_REPLY 2 0\r\n", client.Receive(2));
}

TEST_F(TransportTest, AnUnfinishedLineOfAClientThatLeftIsNotJoinedToTheNextOne) {
  {
    Client leaving(m_port);
    ASSERT_TRUE(leaving.connected());
    leaving.Send("HALF 99");
  }
  EXPECT_TRUE(LogShowsWithin("FD_CLOSE"));
  Client next(m_port);
  ASSERT_TRUE(next.connected());
  next.Send("Z 3\r\n");
  EXPECT_EQ("LINE_REPLY 3 0\r\n", next.Receive());
}

// The bursts below make hundreds of thousands of lines: the service logs them without its traces.
class SlowClientTest : public TransportTest {
 protected:
  void SetUp() override { StartService("info"); }
};

// The bound is the service's own ten seconds at the test's time scale; the client never reads again, so
// the service can only give it up through that bound.
TEST_F(SlowClientTest, AClientThatStopsReadingIsGivenUpAfterTenSeconds) {
  Client slow(m_port);
  ASSERT_TRUE(slow.connected());
  int small = 4096;
  plat::setsockopt(slow.socket(), plat::SOL_SOCKET, plat::SO_RCVBUF, reinterpret_cast<const char*>(&small),
                   sizeof(small));
  slow.Send("TSPI_lineOpen 1 x x 1 x 201\r\n");
  ASSERT_EQ("LINE_REPLY 1 0\r\n", slow.Receive());
  // The provider's events fill every buffer on the way back, since this client reads no more. (Requests
  // from the client would not do: once its small buffer is full, TCP holds back what it sends as well.)
  // A round of events makes about 750 kB of lines; rounds follow until the buffers, however large the
  // system lets them grow, are full. Each round is handled before the next, so after the one that ends
  // the client little is left to work through.
  testsupport::SimControl control;
  ASSERT_TRUE(control.Connect(m_dir / "sim.sock"));
  bool givenUp = false;
  for (unsigned round = 1; round <= 40 && !givenUp; ++round) {
    ASSERT_EQ("OK 10000", control.Ask("burst 0 10 1000 2")) << "round " << round;
    ASSERT_TRUE(testsupport::EventsHandledWithin(control, 0, 0x7000 + round, m_service.LogFile(), 120s))
        << "round " << round;
    givenUp = Log().find("ErrorCode=10060 closing socket!") != std::string::npos;
  }
  ASSERT_TRUE(givenUp) << "30 MB of lines never filled the buffers";

  // Every event was handled before this client came: it is served at once.
  Client next(m_port);
  ASSERT_TRUE(next.connected());
  next.Send("NEXT 1\r\n");
  EXPECT_EQ("LINE_REPLY 1 0\r\n", next.Receive());
}

}  // namespace
