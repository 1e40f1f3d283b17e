// End to end: Ctrl-C and kill end the service program in order, as a program and as a service.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/handle.h"
#include "plat/process.h"
#include "plat/service.h"
#include "support/eventually.h"
#include "support/service_log.h"
#include "support/shell_line.h"
#include "support/temp_dir.h"
#include "support/test_service_entry.h"
#include "support/velcora_process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testsupport::Eventually;

const std::string kProgram = VELCORA_EXE;

// The lines of the orderly shutdown, in the order it writes them.
const char* const kShutdownLines[] = {"INFO Velcora: Shutdown Service", "INFO Velcora: Shutdown TAPI",
                                      "INFO Velcora: Service end"};

// Whether the lines stand in `log` in this order.
bool ShowsInOrder(const std::string& log) {
  size_t from = 0;
  for (const char* line : kShutdownLines) {
    from = log.find(line, from);
    if (from == std::string::npos) return false;
  }
  return true;
}

// As scripts/run.sh starts it: shown normally, the simulated provider with its control socket, a
// settings file and a log configuration.
class HostSignalsTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("SIMTSP_CONTROL"); }

  // Where the simulated provider of a program in `dir` listens while it is loaded; its shutdown removes
  // the socket.
  static std::string ControlSocket(const testsupport::TempDir& dir) { return dir / "sim.sock"; }
  static std::string SettingsFile(const testsupport::TempDir& dir) { return dir / "VELCORA.INI"; }

  testsupport::ScopedMachine m_machine;
};

TEST_F(HostSignalsTest, AProgramEndsInOrderAtItsFirstSignal) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE("signal " + std::to_string(signal));
    testsupport::TempDir dir;
    testsupport::PrepareServiceTest(ControlSocket(dir));
    testsupport::VelcoraProcess program(kProgram, dir);
    ASSERT_TRUE(program.Start(testsupport::SimulatedProviderSetting(kProgram)));
    ASSERT_TRUE(fs::exists(ControlSocket(dir))) << "the provider listens while it is loaded";
    kill(static_cast<pid_t>(program.processId()), signal);
    EXPECT_EQ(0u, program.ExitCodeWithin(30s));
    EXPECT_TRUE(ShowsInOrder(program.Log()));
    EXPECT_FALSE(fs::exists(ControlSocket(dir))) << "the provider was shut down";
    EXPECT_NE(std::string::npos, testsupport::ReadFile(SettingsFile(dir)).find("DebugLine=0"))
        << "the line counter was written back";
    if (HasFailure()) {
      program.PrintLog();
      return;
    }
    // The next signal's program is an application instance too: it must not find this one still counted.
    EXPECT_TRUE(testsupport::WaitUntilNoSectionIsHeld(30s)) << "the ended program let go of the count";
  }
}

// The service program as the manager runs it, started the way a user would from a shell.
class ServiceSignalsTest : public HostSignalsTest {
 protected:
  void SetUp() override {
    testsupport::PrepareServiceTest(ControlSocket(m_dir));
    testsupport::WriteLogConfiguration(m_dir / "log4cxx.xml", LogFile());
    testsupport::WriteFile(SettingsFile(m_dir), "[General]\r\nloginPort=0\r\n" +
                                                    testsupport::SimulatedProviderSetting(kProgram) +
                                                    "DebugLine=42\r\n");
    ASSERT_TRUE(testsupport::InstallServiceEntry(testsupport::VelcoraCommandLine(kProgram, m_dir)));
  }
  void TearDown() override {
    if (HasFailure()) {
      std::printf("---- service log ----\n%s---- end ----\n", testsupport::ReadFile(LogFile()).c_str());
      std::printf("---- service output ----\n%s---- end ----\n",
                  testsupport::ReadFile(m_machine.path() + "/services/velcora.out").c_str());
    }
    EXPECT_TRUE(testsupport::EndServiceProcess("Velcora"));
    HostSignalsTest::TearDown();
  }

  std::string LogFile() const { return m_dir / "velcora.log"; }
  testsupport::TempDir m_dir;

  static plat::SERVICE_STATUS_PROCESS Status() {
    plat::SERVICE_STATUS_PROCESS status = {};
    testsupport::QueryServiceProcess("Velcora", status);
    return status;
  }
};

TEST_F(ServiceSignalsTest, AStartThroughAPipeReturnsAndKillShutsTheServiceDown) {
  // svcctl and the pipe behind it end while the service runs: the service holds nothing of theirs. The
  // manager waits for the dispatcher unscaled, however slowly the program starts on a busy machine; the
  // service, started with svcctl's environment, then runs unscaled as well.
  EXPECT_NE(plat::STILL_ACTIVE, testsupport::RunShellLine("VELCORA_TIME_SCALE=1 \"" + std::string(SVCCTL) +
                                                          "\" start Velcora | cat > /dev/null"))
      << "the start returns while the service runs";
  ASSERT_TRUE(Eventually([] { return Status().dwCurrentState == plat::SERVICE_RUNNING; }));

  const plat::DWORD processId = Status().dwProcessId;
  ASSERT_NE(0u, processId) << "the signal goes to the service alone";
  kill(static_cast<pid_t>(processId), SIGTERM);
  EXPECT_TRUE(Eventually([&] { return !fs::exists("/proc/" + std::to_string(processId)); }));
  std::string log = testsupport::ReadFile(LogFile());
  EXPECT_NE(std::string::npos, log.find("DEBUG Velcora: SERVICE_CONTROL_SHUTDOWN"));
  EXPECT_TRUE(ShowsInOrder(log));
  EXPECT_FALSE(fs::exists(ControlSocket(m_dir))) << "the provider was shut down";
  EXPECT_NE(std::string::npos, testsupport::ReadFile(SettingsFile(m_dir)).find("DebugLine=42"));
  std::vector<plat::ServiceHistoryEntry> history = plat::ReadServiceHistory("Velcora");
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(plat::SERVICE_STOPPED, history.back().state);
  EXPECT_EQ(0u, history.back().win32ExitCode) << "reported by the service itself, not found aborted";
}

}  // namespace
