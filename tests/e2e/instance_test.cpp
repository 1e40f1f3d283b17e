// End to end: one application instance of the service program at a time, across its processes and modes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plat/handle.h"
#include "plat/process.h"
#include "plat/service.h"
#include "support/eventually.h"
#include "support/service_log.h"
#include "support/temp_dir.h"
#include "support/test_service_entry.h"
#include "support/velcora_process.h"

namespace {

using namespace std::chrono_literals;

const std::string kProgram = VELCORA_EXE;

// How a process of the program is started.
enum class Mode { Application, DebugSwitch, ServiceManager, Remove };

// The switches of a start in `mode` beside the settings and the log configuration.
const char* SwitchesOf(Mode mode) {
  switch (mode) {
    case Mode::DebugSwitch:
      return "-D";
    case Mode::Remove:
      return "-u";
    default:
      return "";
  }
}

// One process of the program with settings, log and a free port of its own.
class Start {
 public:
  explicit Start(Mode mode) : m_mode(mode) {
    testsupport::WriteLogConfiguration(m_dir / "log4cxx.xml", LogFile());
    testsupport::WriteFile(m_dir / "VELCORA.INI",
                           "[General]\r\nloginPort=0\r\n" + testsupport::SimulatedProviderSetting(kProgram));
    if (mode == Mode::ServiceManager) {
      m_launched = StartService();
    } else {
      // The pause of a -u start before its end lasts for hours: the test ends it once it has seen enough.
      if (mode == Mode::Remove) setenv("VELCORA_TIME_SCALE", "10000", 1);
      m_launched = testsupport::LaunchVelcora(kProgram, m_dir, &m_process, SwitchesOf(mode));
      if (mode == Mode::Remove) setenv("VELCORA_TIME_SCALE", "0.01", 1);
      m_processId = m_process.dwProcessId;
    }
    EXPECT_TRUE(m_launched);
  }
  ~Start() {
    End();
    if (m_process.hProcess != nullptr) {
      plat::CloseHandle(m_process.hProcess);
      plat::CloseHandle(m_process.hThread);
    }
  }
  Start(const Start&) = delete;
  Start& operator=(const Start&) = delete;

  std::string LogFile() const { return m_dir / "velcora.log"; }
  std::string Log() const { return testsupport::ReadFile(LogFile()); }
  bool LogShows(const std::string& text) const { return testsupport::FileShowsWithin(LogFile(), text, 30s); }

  // Whether the process holds the shared instance count (has its section mapped) within 30 s.
  bool HoldsTheCount() const {
    return testsupport::Eventually([this] {
      std::ifstream maps("/proc/" + std::to_string(m_processId) + "/maps");
      for (std::string mapping; std::getline(maps, mapping);)
        if (mapping.find("/sections/SMVelcor-") != std::string::npos) return true;
      return false;
    });
  }

  // The exit code once the process has ended, or STILL_ACTIVE when it runs on for 30 s.
  plat::DWORD ExitCode() const {
    plat::DWORD code = plat::STILL_ACTIVE;
    if (m_process.hProcess != nullptr &&
        plat::WaitForSingleObject(m_process.hProcess, 30000) == plat::WAIT_OBJECT_0)
      plat::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
  }

  // Kills the process and waits for its end (for the service, also until the manager reads it as
  // stopped).
  void End() {
    if (!m_launched) return;
    m_launched = false;
    std::system(("kill -9 " + std::to_string(m_processId) + " 2>/dev/null").c_str());
    if (m_mode != Mode::ServiceManager) {
      EXPECT_EQ(plat::WaitForSingleObject(m_process.hProcess, 30000), plat::WAIT_OBJECT_0);
      return;
    }
    EXPECT_TRUE(testsupport::Eventually([this] {
      return !std::filesystem::exists("/proc/" + std::to_string(m_processId));
    })) << "the service ended";
    EXPECT_TRUE(testsupport::EndServiceProcess("Velcora"));
  }

  void PrintLog(const char* name) const {
    std::printf("---- log of %s ----\n%s---- end ----\n", name, Log().c_str());
  }

 private:
  bool StartService() {
    if (!testsupport::InstallServiceEntry(testsupport::VelcoraCommandLine(kProgram, m_dir))) return false;
    plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS);
    plat::SC_HANDLE service = plat::OpenServiceA(manager, "Velcora", plat::SERVICE_ALL_ACCESS);
    const bool started = service != nullptr && plat::StartServiceA(service, 0, nullptr);
    if (service != nullptr) plat::CloseServiceHandle(service);
    plat::CloseServiceHandle(manager);
    // Its dispatcher has connected: the manager knows the process now.
    plat::SERVICE_STATUS_PROCESS status = {};
    if (started && testsupport::QueryServiceProcess("Velcora", status)) m_processId = status.dwProcessId;
    EXPECT_NE(m_processId, 0u) << "the service's process";
    return started && m_processId != 0;
  }

  Mode m_mode;
  testsupport::TempDir m_dir;
  plat::PROCESS_INFORMATION m_process = {};
  plat::DWORD m_processId = 0;
  bool m_launched = false;
};

class InstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::PrepareServiceTest(); }

  // A new start, named for the log printed when the test fails.
  Start& StartOne(const char* name, Mode mode) {
    m_starts.push_back({name, std::make_unique<Start>(mode)});
    return *m_starts.back().second;
  }

  void TearDown() override {
    for (auto& [name, start] : m_starts)
      if (HasFailure()) start->PrintLog(name);
    // The service entry goes with the machine directory.
    m_starts.clear();
  }

  testsupport::ScopedMachine m_machine;
  std::vector<std::pair<const char*, std::unique_ptr<Start>>> m_starts;
};

struct ServiceCase {
  const char* name;
  Mode mode;
};

class InstanceBesideServiceTest : public InstanceTest, public ::testing::WithParamInterface<ServiceCase> {};

// The count lives as long as any process of the program: a service that runs keeps it alive after
// the application instance that counted itself in has ended.
TEST_P(InstanceBesideServiceTest, AnEndedApplicationInstanceLetsNoOtherInWhileTheServiceRuns) {
  Start& first = StartOne("the first application instance", Mode::Application);
  ASSERT_TRUE(first.LogShows("INFO Velcora: Service started"));
  Start& service = StartOne("the service", GetParam().mode);
  ASSERT_TRUE(service.LogShows("INFO Velcora: Service started"));
  first.End();

  Start& second = StartOne("the second application instance", Mode::Application);
  EXPECT_EQ(second.ExitCode() & 0xFF, 255u) << "refused with -1";
  EXPECT_TRUE(second.LogShows("DEBUG Velcora: Instance 0x"));
  EXPECT_NE(second.Log().find("stopped because of multiple creations"), std::string::npos);
  EXPECT_EQ(second.Log().find("start as applicatiion"), std::string::npos);

  // Once no process of the program runs, the count is 0 again.
  service.End();
  EXPECT_TRUE(testsupport::WaitUntilNoSectionIsHeld(30s)) << "the ended program let go of the count";
  Start& third = StartOne("the application instance after the service", Mode::Application);
  EXPECT_TRUE(third.LogShows("INFO Velcora: Service started"));
}

INSTANTIATE_TEST_SUITE_P(Services, InstanceBesideServiceTest,
                         ::testing::Values(ServiceCase{"StartedByTheServiceManager", Mode::ServiceManager},
                                           ServiceCase{"StartedWithTheDebugSwitch", Mode::DebugSwitch}),
                         [](const ::testing::TestParamInfo<ServiceCase>& info) { return info.param.name; });

// The process that removes the service is a process of the program too: while it pauses before its
// end, the count lives on after the application instance that counted itself in has ended.
TEST_F(InstanceTest, ARemovingProcessKeepsTheCountAliveWhileItPauses) {
  Start& first = StartOne("the first application instance", Mode::Application);
  ASSERT_TRUE(first.LogShows("INFO Velcora: Service started"));
  Start& remover = StartOne("the -u start", Mode::Remove);
  ASSERT_TRUE(remover.HoldsTheCount()) << "the -u start attaches the count before its pause";
  first.End();

  Start& second = StartOne("the application instance beside the -u start", Mode::Application);
  EXPECT_EQ(second.ExitCode() & 0xFF, 255u) << "refused with -1";
  EXPECT_TRUE(second.LogShows("stopped because of multiple creations"));
  EXPECT_EQ(second.Log().find("start as applicatiion"), std::string::npos);

  remover.End();
  Start& third = StartOne("the application instance after the -u start", Mode::Application);
  EXPECT_TRUE(third.LogShows("INFO Velcora: Service started"));
}

// Without the shared count no start can tell whether another instance runs: an application start is
// refused, a service (which never reads the count) runs; both say why at level 1.
TEST_F(InstanceTest, ACountThatCannotBeKeptRefusesApplicationStartsOnly) {
  testsupport::WriteFile(m_machine.path() + "/sections", "in the way of the sections directory");
  const std::string reason =
      "ERROR Velcora: The instance count SMVelcor cannot be kept: error 3 The system cannot find the path "
      "specified.";

  Start& application = StartOne("the application start", Mode::Application);
  EXPECT_EQ(application.ExitCode() & 0xFF, 255u) << "refused with -1";
  EXPECT_TRUE(application.LogShows("stopped because the instance count cannot be kept"));
  EXPECT_NE(application.Log().find(reason), std::string::npos);
  EXPECT_NE(application.Log().find("ERROR Velcora: Instance 0x"), std::string::npos);
  EXPECT_EQ(application.Log().find("start as applicatiion"), std::string::npos);

  Start& service = StartOne("the -D start", Mode::DebugSwitch);
  EXPECT_TRUE(service.LogShows("INFO Velcora: Service started"));
  EXPECT_NE(service.Log().find(reason), std::string::npos);
}

}  // namespace
