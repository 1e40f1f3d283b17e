// End to end: however the service program ends, a buffered, asynchronous log keeps its last lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "plat/handle.h"
#include "plat/process.h"
#include "support/service_log.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

struct EndCase {
  const char* name;
  const char* settings;  // behind the port; the provider's line is added where the case needs one
  bool withProvider;
  bool besideRunningInstance;
  plat::DWORD exitCode;
  const char* lastLine;
};

class LogEndTest : public ::testing::TestWithParam<EndCase> {
 protected:
  void SetUp() override { testsupport::PrepareServiceTest(); }
  testsupport::ScopedMachine m_machine;
};

TEST_P(LogEndTest, TheLastLineReachesTheFile) {
  const EndCase& c = GetParam();
  testsupport::TempDir runningDir;
  testsupport::VelcoraProcess running(VELCORA_EXE, runningDir);
  if (c.besideRunningInstance) {
    ASSERT_TRUE(running.Start(testsupport::SimulatedProviderSetting(VELCORA_EXE)));
  }

  testsupport::TempDir dir;
  const std::string logFile = dir / "velcora.log";
  testsupport::WriteLogConfiguration(dir / "log4cxx.xml", logFile, "all",
                                     testsupport::LogDelivery::BufferedAsynchronous);
  std::string settings = std::string("[General]\r\nloginPort=0\r\n") + c.settings;
  if (c.withProvider) settings += testsupport::SimulatedProviderSetting(VELCORA_EXE);
  testsupport::WriteFile(dir / "VELCORA.INI", settings);
  plat::PROCESS_INFORMATION started = {};
  ASSERT_TRUE(testsupport::LaunchVelcora(VELCORA_EXE, dir, &started));
  const bool ended = plat::WaitForSingleObject(started.hProcess, 60000) == plat::WAIT_OBJECT_0;
  if (!ended) plat::TerminateProcess(started.hProcess, 1);
  plat::DWORD code = plat::STILL_ACTIVE;
  plat::GetExitCodeProcess(started.hProcess, &code);
  plat::CloseHandle(started.hProcess);
  plat::CloseHandle(started.hThread);

  ASSERT_TRUE(ended) << "the start ends";
  EXPECT_EQ(c.exitCode, code & 0xFF);
  const std::string log = testsupport::ReadFile(logFile);
  const std::string last = std::string(c.lastLine) + "\n";
  EXPECT_TRUE(log.size() >= last.size() && log.compare(log.size() - last.size(), last.size(), last) == 0)
      << "---- log ----\n"
      << log << "---- end ----";
}

INSTANTIATE_TEST_SUITE_P(
    Ends, LogEndTest,
    ::testing::Values(EndCase{"RefusedBesideARunningInstance", "", true, true, 255,
                              "DEBUG Velcora: Instance 0x00400000 stopped because of multiple creations"},
                      EndCase{"ProviderThatCannotBeLoaded", "Driver=NOSUCH.TSP\r\n", false, false, 1,
                              "ERROR Velcora: LoadTapiLibrary Error"}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return info.param.name; });

}  // namespace
