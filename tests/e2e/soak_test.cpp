// End to end, bounded soak: many connections and commands leave the service's open files and memory
// where they were.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "plat/path.h"
#include "plat/time.h"
#include "plat/winsock.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

const std::string kProgram = VELCORA_EXE;

size_t OpenFiles(plat::DWORD pid) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

// The resident memory in kilobytes.
long ResidentKilobytes(plat::DWORD pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

class SoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::PrepareServiceTest();
    // Below DEBUG: the soak's hundreds of thousands of lines would otherwise fill the disk with traces.
    ASSERT_TRUE(m_service.Start(testsupport::SimulatedProviderSetting(kProgram), "info"));
  }
  void TearDown() override {
    if (HasFailure())
      std::printf(
          "---- service log (tail) ----\n%s\n",
          m_service.Log().substr(m_service.Log().size() > 4000 ? m_service.Log().size() - 4000 : 0).c_str());
  }

  // Connects, greets and leaves `cycles` times, every other time with BYE and else by closing. A client that
  // comes back before the service has seen it leave is refused as a second client, and tries again.
  void Cycle(int cycles) {
    for (int i = 0; i < cycles; ++i) {
      std::unique_ptr<testsupport::TelvaneClient> client = testsupport::ConnectGreeted(m_service.port());
      ASSERT_NE(nullptr, client) << "cycle " << i << ": no client was greeted";
      if (i % 2) {
        client->SendLine("BYE");
        ASSERT_EQ("<closed>", client->NextLine()) << "cycle " << i;
      }
    }
  }
  // Sends `commands` commands one at a time on one connection, each answered before the next, then BYE.
  void Commands(int commands) {
    testsupport::TelvaneClient client(m_service.port());
    ASSERT_TRUE(client.connected());
    for (int i = 1; i <= commands; ++i) {
      const std::string request = std::to_string(i);
      if (i % 2) {
        client.SendLine("PING " + request);
      } else {
        client.SendLine("TSPI_lineGetDevCaps " + request + " 201");
        ASSERT_EQ(0u, client.NextLine().rfind("SetLINEDEVCAPS " + request + " 201 ", 0)) << "command " << i;
      }
      ASSERT_EQ("LINE_REPLY " + request + " 0", client.NextLine()) << "command " << i;
    }
    // The service closes its end before the client goes: its open files are counted without a client.
    client.SendLine("BYE");
    ASSERT_EQ("<closed>", client.NextLine());
  }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  testsupport::VelcoraProcess m_service{kProgram, m_dir};
};

TEST_F(SoakTest, TenThousandConnectionsAndAHundredThousandCommandsLeaveNothingBehind) {
  const plat::DWORD pid = m_service.processId();
  ASSERT_NO_FATAL_FAILURE(Cycle(500));
  ASSERT_NO_FATAL_FAILURE(Commands(5000));
  const size_t filesBefore = OpenFiles(pid);
  [[maybe_unused]] const long memoryBefore = ResidentKilobytes(pid);

  ASSERT_NO_FATAL_FAILURE(Cycle(10000));
  ASSERT_NO_FATAL_FAILURE(Commands(100000));

  EXPECT_EQ(filesBefore, OpenFiles(pid)) << "no socket or file is left open";
#ifndef VELCORA_SANITIZED
  // (A sanitizer's quarantine keeps freed memory resident, so only the plain build can tell.)
  EXPECT_LT(ResidentKilobytes(pid) - memoryBefore, 2048) << "memory before: " << memoryBefore << " kB";
#endif
}

}  // namespace
