// End to end, long runs of calls: a call held while the service call handles wrap, and a thousand
// dials that fail at their completion.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/protocol_lines.h"
#include "support/sim_control.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kProgram = VELCORA_EXE;

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

bool AnyStartsWith(const Lines& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(),
                     [&prefix](const std::string& line) { return StartsWith(line, prefix); });
}

// The blank-separated field `index` of `line`, empty when it has fewer.
std::string FieldOf(const std::string& line, size_t index) {
  const Lines fields = testsupport::Fields(line);
  return index < fields.size() ? fields[index] : "";
}

class LongRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::PrepareServiceTest(m_dir / "sim.sock");
    // No pauses in the phone system: thousands of calls go through in seconds.
    testsupport::WriteFile(m_dir / "sim.cfg",
                           "line Line 1 201\nline Line 2 202\ndelay completion 0\ndelay dialtone 0\n"
                           "delay dialing 0\ndelay proceeding 0\ndelay ringback 0\ndelay connected 0\n");
    setenv("SIMTSP_CONFIG", (m_dir / "sim.cfg").c_str(), 1);
    // Below DEBUG: thousands of calls would otherwise write hundreds of megabytes of traces.
    ASSERT_TRUE(m_service.Start(testsupport::SimulatedProviderSetting(kProgram), "info"));
    m_client = std::make_unique<testsupport::TelvaneClient>(m_service.port());
    ASSERT_TRUE(m_client->connected());
    ASSERT_TRUE(m_control.Connect(m_dir / "sim.sock"));
    m_client->SendLine("TSPI_lineOpen 1 x x 7 x 201");
    ASSERT_TRUE(Until("LINE_ADDRESSSTATE 7 0 0 64 0"));
  }
  void TearDown() override {
    if (HasFailure()) {
      const std::string log = m_service.Log();
      std::printf("---- service log (tail) ----\n%s\n---- last lines seen ----\n%s---- end ----\n",
                  log.substr(log.size() > 8000 ? log.size() - 8000 : 0).c_str(),
                  testsupport::JoinLines(m_lines).c_str());
    }
    unsetenv("SIMTSP_CONTROL");
    unsetenv("SIMTSP_CONFIG");
  }

  // Reads up to and including the first line that starts with `prefix`, into m_lines; false when it
  // does not come.
  bool Until(const std::string& prefix) {
    m_lines = m_client->LinesUntil(prefix);
    return StartsWith(m_lines.back(), prefix);
  }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  testsupport::SimControl m_control;
  testsupport::VelcoraProcess m_service{kProgram, m_dir};
  std::unique_ptr<testsupport::TelvaneClient> m_client;
  Lines m_lines;  // the lines of the last wait
};

// Call 11 draws service call handle 4 and stays connected while 8190 more calls draw every other handle;
// the next call would draw 4 again. It gets a handle of its own instead: it is announced as itself, its
// states are its own, and its drop leaves call 11 connected, which then holds and ends as itself.
TEST_F(LongRunTest, ACallHeldAcrossTheHandleWrapKeepsItsOwnEventsAndCommands) {
  m_client->SendLine("TSPI_lineMakeCall 2 7 0 11 5550011");
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 11 256 ")) << "call 11 connects";
  ASSERT_TRUE(AnyStartsWith(m_lines, "LINE_NEWCALL 7 0 11 4 ")) << "call 11 has handle 4:\n"
                                                                << testsupport::JoinLines(m_lines);

  // Without a destination a call waits in DIALTONE, the shortest way through the phone system.
  for (int i = 0; i < 8190; ++i) {
    const std::string call = std::to_string(1000 + i);
    m_client->SendLine("TSPI_lineMakeCall 3 7 0 " + call);
    ASSERT_TRUE(Until("LINE_CALLSTATE 7 " + call + " 8 ")) << "call " << call << " dials";
    m_client->SendLine("TSPI_lineDrop 4 " + call);
    ASSERT_TRUE(Until("LINE_CALLSTATE 7 " + call + " 1 ")) << "call " << call << " ends";
    ASSERT_FALSE(AnyStartsWith(m_lines, "LINE_CALLSTATE 7 11 ")) << "call " << call << " reported as 11";
  }

  m_client->SendLine("TSPI_lineMakeCall 5 7 0 22 5550022");
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 22 256 ")) << "call 22 connects under its own number";
  auto announced = std::find_if(m_lines.begin(), m_lines.end(), [](const std::string& line) {
    return StartsWith(line, "LINE_NEWCALL 7 0 22 ");
  });
  ASSERT_NE(m_lines.end(), announced) << "call 22 is announced";
  EXPECT_NE("4", FieldOf(*announced, 4)) << "call 22 shares no handle with call 11: " << *announced;
  EXPECT_FALSE(AnyStartsWith(m_lines, "LINE_CALLSTATE 7 11 ")) << testsupport::JoinLines(m_lines);

  m_client->SendLine("TSPI_lineDrop 6 22");
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 22 1 ")) << "call 22 ends";
  EXPECT_FALSE(AnyStartsWith(m_lines, "LINE_CALLSTATE 7 11 ")) << testsupport::JoinLines(m_lines);
  m_client->SendLine("TSPI_lineHold 8 11");
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 11 1024 "))
      << "call 11 is still connected at the provider and goes on hold";
  EXPECT_EQ(1, std::count(m_lines.begin(), m_lines.end(), "LINE_REPLY 8 0"))
      << testsupport::JoinLines(m_lines);

  m_client->SendLine("TSPI_lineDrop 9 11");
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 11 1 ")) << "call 11 ends as itself";
  EXPECT_TRUE(AnyStartsWith(m_lines, "LINE_CALLSTATE 7 11 16384 ")) << testsupport::JoinLines(m_lines);
  EXPECT_EQ(1, std::count(m_lines.begin(), m_lines.end(), "LINE_REPLY 9 0"))
      << testsupport::JoinLines(m_lines);
}

// Dials whose completion fails leave no entry behind: with more of them than the call table holds, a
// call made and a call coming in afterwards are still announced.
TEST_F(LongRunTest, FailedDialsLeaveTheCallTableFree) {
  for (int i = 0; i < 1100; ++i) {
    const std::string request = std::to_string(100 + i);
    ASSERT_EQ("OK", m_control.Ask("fail-async TSPI_lineMakeCall 2147483655"));
    m_client->SendLine("TSPI_lineMakeCall " + request + " 7 0 " + std::to_string(2000 + i) + " 5550001");
    ASSERT_TRUE(Until("LINE_REPLY " + request + " ")) << "dial " << i;
    ASSERT_EQ("LINE_REPLY " + request + " 2147483655", m_lines.back()) << "dial " << i;
  }

  m_client->SendLine("TSPI_lineMakeCall 1 7 0 77 5550077");
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 77 256 ")) << "a call made afterwards connects";
  EXPECT_TRUE(AnyStartsWith(m_lines, "LINE_NEWCALL 7 0 77 ")) << testsupport::JoinLines(m_lines);

  ASSERT_TRUE(StartsWith(m_control.Ask("incoming 0 5551234"), "OK "));
  ASSERT_TRUE(Until("LINE_CALLSTATE 7 32772 2 ")) << "a call coming in afterwards rings";
  EXPECT_TRUE(AnyStartsWith(m_lines, "LINE_NEWCALL 7 0 32772 0 ")) << testsupport::JoinLines(m_lines);
  EXPECT_EQ(std::string::npos, m_service.Log().find("call table full"));
}

}  // namespace
