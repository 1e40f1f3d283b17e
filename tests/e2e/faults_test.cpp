// End to end: clients and a provider that misbehave, and a service that serves on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plat/path.h"
#include "plat/time.h"
#include "plat/winsock.h"
#include "support/service_log.h"
#include "support/sim_control.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

const std::string kProgram = VELCORA_EXE;

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::PrepareServiceTest(m_dir / "sim.sock");
    ASSERT_TRUE(m_service.Start(testsupport::SimulatedProviderSetting(kProgram)));
    ASSERT_TRUE(m_control.Connect(m_dir / "sim.sock"));
  }
  void TearDown() override {
    if (HasFailure()) m_service.PrintLog();
    unsetenv("SIMTSP_CONTROL");
  }

  std::unique_ptr<testsupport::TelvaneClient> Connect() {
    auto client = std::make_unique<testsupport::TelvaneClient>(m_service.port());
    EXPECT_TRUE(client->connected());
    return client;
  }
  void Open(testsupport::TelvaneClient& client, const std::string& clientLine,
            const std::string& address = "201") {
    client.SendLine("TSPI_lineOpen 1 x x " + clientLine + " x " + address);
    std::vector<std::string> opened = client.LinesUntil("LINE_ADDRESSSTATE " + clientLine + " 0 0 64 0");
    ASSERT_EQ("LINE_ADDRESSSTATE " + clientLine + " 0 0 64 0", opened.back());
  }
  bool LogShows(const std::string& text) { return testsupport::FileShowsWithin(m_service.LogFile(), text); }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  testsupport::VelcoraProcess m_service{kProgram, m_dir};
  testsupport::SimControl m_control;
};

TEST_F(FaultsTest, AClientLeavingInTheMiddleOfALineLeavesNothingOfIt) {
  {
    auto client = Connect();
    client->Send("TSPI_lineGetDevCaps 1 2");
  }
  // Had the half line been kept, this would complete it to a capability query of line "201".
  auto next = testsupport::ConnectGreeted(m_service.port());
  ASSERT_NE(nullptr, next) << "no client was greeted";
  next->SendLine("01 5");
  EXPECT_EQ("LINE_REPLY 5 0", next->NextLine());
}

TEST_F(FaultsTest, AClientResettingTheConnectionDuringABurstIsDroppedAndTheNextServed) {
  {
    auto client = Connect();
    ASSERT_NO_FATAL_FAILURE(Open(*client, "1"));
    ASSERT_EQ("OK 2000", m_control.Ask("burst 0 20 100 4"));
    // A linger of 0 makes the close a reset, with the service's lines (most often) still on their way.
    plat::linger reset = {1, 0};
    plat::setsockopt(client->socket(), plat::SOL_SOCKET, plat::SO_LINGER,
                     reinterpret_cast<const char*>(&reset), sizeof(reset));
  }
  // Whatever the service notices first, the reset in a send or the end of the connection, the client is
  // dropped; a completion sent from the provider's thread after the reset fails either way.
  ASSERT_EQ("OK", m_control.Ask("complete 99 0"));
  ASSERT_TRUE(LogShows("closing socket!")) << "the failed send drops the client";
  // The service takes the next client after the rest of the burst, which it sends to nobody: a bound for
  // that work.
  EXPECT_NE(nullptr, testsupport::ConnectGreeted(m_service.port(), std::chrono::seconds(120)))
      << "the service serves on";
}

TEST_F(FaultsTest, AProviderThatCompletesTwiceOrLateOrNamesUnknownHandles) {
  auto client = Connect();
  ASSERT_NO_FATAL_FAILURE(Open(*client, "1"));
  // A completion nobody asked for, and the same again: each is handed on as it comes.
  ASSERT_EQ("OK", m_control.Ask("complete 77 0"));
  ASSERT_EQ("OK", m_control.Ask("complete 77 -2147483641"));
  EXPECT_EQ("LINE_REPLY 77 0", client->NextLine());
  EXPECT_EQ("LINE_REPLY 77 2147483655", client->NextLine());

  // Events for handles the service never gave: ignored after their log lines.
  for (const char* event :
       {"event 0 0x9999 4 2 256 0 0", "event 0 4 0x9999 2 256 0 0", "event 0 4 0 2 256 0 0",
        "event 0 0 0 0 0 1 0", "event 0 4 0x9999 7 1 0 0", "event 0 4 0x9999 1 1 0 0",
        "event 0 0x9999 0 8 1 0 0", "event 0 0 0 25 77 0 0", "event 0 0x9999 0 3 0 0 0"})
    ASSERT_EQ("OK", m_control.Ask(event)) << event;
  // The last of them has been handled once its log line is there; the service keeps their order.
  ASSERT_TRUE(LogShows("LINE_CLOSE Device 0x00009999"));
  client->SendLine("PING 6");
  EXPECT_EQ("LINE_REPLY 6 0", client->NextLine()) << "nothing was sent for them";

  // A call state for a call whose line the client closed meanwhile (raised through another line's
  // callback: the closed line has none at the provider any more).
  ASSERT_NO_FATAL_FAILURE(Open(*client, "2", "202"));
  client->SendLine("TSPI_lineMakeCall 8 1 0 30 5550001");
  EXPECT_EQ("LINE_REPLY 8 0", client->LinesUntil("LINE_REPLY 8").back());
  client->SendLine("TSPI_lineClose 9 1");
  std::vector<std::string> closed = client->LinesUntil("LINE_REPLY 9");
  EXPECT_EQ("LINE_REPLY 9 0", closed.back());
  ASSERT_EQ("OK", m_control.Ask("event 1 4 4 2 256 0 0"));
  ASSERT_EQ("OK", m_control.Ask("complete 8 0"));
  EXPECT_EQ("LINE_REPLY 8 0", client->LinesUntil("LINE_REPLY 8").back()) << "only the late completion";
}

}  // namespace
