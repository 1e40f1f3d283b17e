// End to end: the real VELCORA.EXE with the simulated provider, as a program and as a service.
#include <gtest/gtest.h>

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
#include "plat/service.h"
#include "plat/testing/time.h"
#include "plat/winsock.h"
#include "support/service_log.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

using namespace std::chrono_literals;

const std::string kProgram = VELCORA_EXE;
const std::string kBin = std::filesystem::path(VELCORA_EXE).parent_path().string();

class ServiceProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The started programs run their pauses shortened; this process's own waits stay real.
    setenv("VELCORA_TIME_SCALE", "0.01", 1);
    plat::SetTimeScaleForTesting(1);
    unsetenv("VELCORA_SHOW_STATE");
    testsupport::EnterSimulatedProvider();
    testsupport::WriteLogConfiguration(m_dir / "log4cxx.xml", LogFile());
    WriteSettings("SIMTSP.TSP");
  }

  void TearDown() override {
    if (HasFailure()) std::printf("---- service log ----\n%s---- end ----\n", Log().c_str());
    for (plat::PROCESS_INFORMATION& started : m_started) {
      if (ExitCodeWithin(started, 0ms) == 0xDEAD)
        std::system(("kill -9 " + std::to_string(started.dwProcessId)).c_str());
      ExitCodeWithin(started, 10s);
      plat::CloseHandle(started.hProcess);
      plat::CloseHandle(started.hThread);
    }
  }

  std::string LogFile() const { return m_dir / "velcora.log"; }
  std::string Log() const { return testsupport::ReadFile(LogFile()); }
  std::string SettingsFile() const { return m_dir / "VELCORA.INI"; }

  void WriteSettings(const std::string& driver, const std::string& loginPort = "0",
                     const std::string& debugLine = "42") {
    testsupport::WriteFile(SettingsFile(), "[General]\r\nloginPort=" + loginPort +
                                               "\r\nDriver=" + plat::ToWindowsPath(kBin) + "\\" + driver +
                                               "\r\nDebugLine=" + debugLine + "\r\n");
  }

  std::string Arguments() const {
    return " -c \"" + plat::ToWindowsPath(SettingsFile()) + "\" -l \"" +
           plat::ToWindowsPath(m_dir / "log4cxx.xml") + "\"";
  }

  // Starts the program with the show state of an ordinary start.
  plat::PROCESS_INFORMATION StartApplication() {
    std::string commandLine = "\"" + plat::ToWindowsPath(kProgram) + "\"" + Arguments();
    plat::STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = plat::STARTF_USESHOWWINDOW;
    startup.wShowWindow = 1;
    plat::PROCESS_INFORMATION started = {};
    EXPECT_TRUE(plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr,
                                     nullptr, &startup, &started));
    m_started.push_back(started);
    return started;
  }

  // The exit code, or 0xDEAD while the process still runs after `timeout` of real time (the layer's own
  // waits are scaled by this process's time scale).
  static plat::DWORD ExitCodeWithin(const plat::PROCESS_INFORMATION& started,
                                    std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    plat::DWORD code = plat::STILL_ACTIVE;
    while (plat::GetExitCodeProcess(started.hProcess, &code) && code == plat::STILL_ACTIVE &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(5ms);
    return code == plat::STILL_ACTIVE ? 0xDEAD : code;
  }

  bool LogShowsWithin(const std::string& text) const { return testsupport::FileShowsWithin(LogFile(), text); }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  std::vector<plat::PROCESS_INFORMATION> m_started;
};

TEST_F(ServiceProgramTest, AnOrdinaryStartBindsTheProviderAndItsLines) {
  plat::PROCESS_INFORMATION first = StartApplication();
  ASSERT_TRUE(LogShowsWithin("INFO Velcora: Service started"));
  std::string log = Log();
  for (const char* line :
       {"DEBUG Velcora: start as applicatiion", "DEBUG Velcora: LineName Line 1",
        "DEBUG Velcora:  Address 201", "DEBUG Velcora: LineName Line 4", "DEBUG Velcora:  Address 204",
        "DEBUG Velcora: g_dwNumLines 4", "DEBUG Velcora:  Number of Objects: 5"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;

  plat::PROCESS_INFORMATION second = StartApplication();
  EXPECT_EQ(static_cast<plat::DWORD>(255), ExitCodeWithin(second, 20s) & 0xFF)
      << "a second instance ends with -1";
  EXPECT_TRUE(LogShowsWithin("stopped because of multiple creations"));
  EXPECT_EQ(0xDEADu, ExitCodeWithin(first, 0ms)) << "the first one runs on";
}

TEST_F(ServiceProgramTest, AProviderWithOnlyTheRequiredEntryPointsStarts) {
  WriteSettings("SIMTSP_REQUIRED.TSP");
  StartApplication();
  ASSERT_TRUE(LogShowsWithin("INFO Velcora: Service started"));
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("DEBUG Velcora:  dwExtVersion 0x00000000"));
  EXPECT_NE(std::string::npos, log.find("DEBUG Velcora:  Address 201"));
}

TEST_F(ServiceProgramTest, AProviderThatCannotBePreparedEndsTheStartWithExitCodeOne) {
  struct Case {
    const char* driver;
    const char* logged;
  } cases[] = {
      {"NOSUCH.TSP", "ERROR Velcora: Cannot Load TAPI Driver: "},
      {"SIMTSP_NOSHUTDOWN.TSP", "ERROR Velcora: No F_TSPI_providerShutdown present"},
  };
  for (const Case& c : cases) {
    WriteSettings(c.driver);
    std::filesystem::remove(LogFile());
    plat::PROCESS_INFORMATION started = StartApplication();
    EXPECT_EQ(1u, ExitCodeWithin(started, 20s)) << c.driver;
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(c.logged)) << c.driver;
    EXPECT_NE(std::string::npos, log.find("ERROR Velcora: LoadTapiLibrary Error")) << c.driver;
    EXPECT_EQ(std::string::npos, log.find("Service started")) << c.driver;
  }
}

// A provider that faults while it counts its devices is not ready: the fault, the result and the count
// it left are logged as for any enumeration, and the start fails.
TEST_F(ServiceProgramTest, AFaultWhileTheProviderCountsItsDevicesIsLoggedAndEndsTheStart) {
  WriteSettings("SIMTSP_FAULTENUM.TSP");
  plat::PROCESS_INFORMATION started = StartApplication();
  EXPECT_EQ(1u, ExitCodeWithin(started, 20s));
  const std::string log = Log();
  const size_t fault = log.find("DEBUG Velcora:  TSPI_providerEnumDevices failed\n");
  ASSERT_NE(std::string::npos, fault);
  EXPECT_NE(std::string::npos,
            log.rfind("DEBUG Velcora:  TSPI_lineNegotiateTSPIVersion return 0x00000000\n", fault))
      << "the negotiation comes first";
  EXPECT_EQ(
      "DEBUG Velcora:  TSPI_providerEnumDevices failed\n"
      "DEBUG Velcora:  TSPI_providerEnumDevices return 0x00000000\n"
      "DEBUG Velcora: g_dwNumLines 4\n"
      "ERROR Velcora: LoadTapiLibrary Error\n",
      log.substr(fault));
}

TEST_F(ServiceProgramTest, TheStartWaitsTwoAndAHalfSecondsAfterLoadingAtRealTime) {
  setenv("VELCORA_TIME_SCALE", "1", 1);
  WriteSettings("NOSUCH.TSP");
  auto start = std::chrono::steady_clock::now();
  plat::PROCESS_INFORMATION started = StartApplication();
  EXPECT_EQ(1u, ExitCodeWithin(started, 30s));
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 2400ms) << "50 pauses of 50 ms between loading and negotiation";
  // Room for a busy machine's late wake-ups after each pause, none for pauses ten times as long.
  EXPECT_LT(elapsed, 25s);
}

// ---- as a service of the layer's service manager

class ServiceModeTest : public ServiceProgramTest {
 protected:
  void Install() {
    plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager);
    std::string imagePath = "\"" + plat::ToWindowsPath(kProgram) + "\"" + Arguments();
    m_service = plat::CreateServiceA(manager, "Velcora", "Wendrath Velcora", plat::SERVICE_ALL_ACCESS, 0x110,
                                     plat::SERVICE_DEMAND_START, plat::SERVICE_ERROR_NORMAL,
                                     imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    plat::CloseServiceHandle(manager);
    ASSERT_NE(nullptr, m_service);
  }
  void TearDown() override {
    plat::SERVICE_STATUS status = {};
    if (m_service != nullptr && plat::QueryServiceStatus(m_service, &status) && status.dwCurrentState != 1)
      plat::ControlService(m_service, plat::SERVICE_CONTROL_STOP, &status);
    WaitForState(plat::SERVICE_STOPPED);
    if (m_service != nullptr) plat::CloseServiceHandle(m_service);
    ServiceProgramTest::TearDown();
  }
  plat::DWORD State() {
    plat::SERVICE_STATUS status = {};
    return plat::QueryServiceStatus(m_service, &status) ? status.dwCurrentState : 0;
  }
  bool WaitForState(plat::DWORD state) {
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (State() == state) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  std::vector<plat::DWORD> States() {
    std::vector<plat::DWORD> states;
    for (const plat::ServiceHistoryEntry& entry : plat::ReadServiceHistory("Velcora"))
      states.push_back(entry.state);
    return states;
  }
  plat::DWORD ProcessId() {
    plat::SERVICE_STATUS_PROCESS status = {};
    plat::DWORD needed = 0;
    plat::QueryServiceStatusEx(m_service, plat::SC_STATUS_PROCESS_INFO,
                               reinterpret_cast<plat::BYTE*>(&status), sizeof(status), &needed);
    return status.dwProcessId;
  }
  // Whether the process `pid` ends within `timeout`.
  static bool EndsWithin(plat::DWORD pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (!std::filesystem::exists("/proc/" + std::to_string(pid))) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }
  plat::SC_HANDLE m_service = nullptr;
};

TEST_F(ServiceModeTest, StartPauseContinueAndStopReportTheStatesInOrder) {
  Install();
  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr)) << plat::GetLastError();
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(m_service, plat::SERVICE_CONTROL_PAUSE, &status));
  ASSERT_TRUE(WaitForState(plat::SERVICE_PAUSED));
  ASSERT_TRUE(plat::ControlService(m_service, plat::SERVICE_CONTROL_CONTINUE, &status));
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  plat::DWORD pid = ProcessId();
  ASSERT_TRUE(plat::ControlService(m_service, plat::SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(plat::SERVICE_RUNNING, status.dwCurrentState);
  ASSERT_TRUE(plat::ControlService(m_service, plat::SERVICE_CONTROL_STOP, &status));
  ASSERT_TRUE(WaitForState(plat::SERVICE_STOPPED));
  EXPECT_TRUE(LogShowsWithin("INFO Velcora: Service end")) << "the process shuts down after the stop";
  EXPECT_TRUE(EndsWithin(pid, 20s)) << "and ends by itself";

  std::vector<plat::DWORD> states = States();
  std::vector<plat::DWORD> changes;
  for (plat::DWORD state : states)
    if (changes.empty() || changes.back() != state) changes.push_back(state);
  EXPECT_EQ((std::vector<plat::DWORD>{2, 4, 6, 7, 5, 4, 3, 1}), changes);
  std::string log = Log();
  for (const char* line : {"DEBUG Velcora: Start from Service Applet", "INFO Velcora: ServiceMain Finished",
                           "INFO Velcora: Shutdown TAPI"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  // The dispatcher thread ends with its own handle, however soon it ran after its creation. The process
  // may end before that thread logs its end, so only a line that is there is looked at.
  EXPECT_EQ(std::string::npos, log.find("Stopping StartService 0x00000000"));
  EXPECT_NE(std::string::npos, testsupport::ReadFile(SettingsFile()).find("DebugLine=42"));
}

// Whether a listener could take `port` on this machine now.
bool PortIsFree(int port) {
  plat::SOCKET probe = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  plat::sockaddr_in address = {};
  address.sin_family = plat::AF_INET;
  address.sin_port = plat::htons(static_cast<plat::WORD>(port));
  const bool free = plat::bind(probe, reinterpret_cast<plat::sockaddr*>(&address), sizeof(address)) == 0;
  plat::closesocket(probe);
  return free;
}

// Numbers beyond the 32-bit range stop at 2147483647, as the 32-bit atoi reads them: the port is the low
// 16 bits of that (65535, where a wrapped read would give 3711), and the line counter is written back
// as 2147483647 (a wrapped read would give -1294967296).
TEST_F(ServiceModeTest, SettingsBeyondThe32BitRangeStopAtItsLimit) {
  plat::WSADATA data;
  plat::WSAStartup(plat::MAKEWORD(2, 0), &data);
  WriteSettings("SIMTSP.TSP", "4294971007", "3000000000");
  const bool portFree = PortIsFree(65535);
  Install();
  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr)) << plat::GetLastError();
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  EXPECT_TRUE(LogShowsWithin("m_dwPortNumber 2147483647"));
  EXPECT_TRUE(LogShowsWithin("CServiceWindow::StartTcpIp 2147483647"));
  if (portFree) {
    ASSERT_TRUE(LogShowsWithin("Listening on port 65535"));
    testsupport::TelvaneClient client(65535);
    client.SendLine("Telvane;version=2");
    EXPECT_EQ("LOGIN_REPLY 0 0", client.NextLine());
  } else {
    std::printf("port 65535 is taken on this machine: the listener is not checked\n");
  }

  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(m_service, plat::SERVICE_CONTROL_STOP, &status));
  ASSERT_TRUE(WaitForState(plat::SERVICE_STOPPED));
  ASSERT_TRUE(LogShowsWithin("INFO Velcora: Service end"));
  const std::string settings = testsupport::ReadFile(SettingsFile());
  EXPECT_NE(std::string::npos, settings.find("DebugLine=2147483647\r\n")) << settings;
}

TEST_F(ServiceModeTest, ASystemShutdownReportsStoppedAtOnceAndEndsWithoutTheServiceMainsEnd) {
  Install();
  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr));
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  plat::DWORD pid = ProcessId();
  // The process may end before the control's answer is back: what counts is the status it reported.
  plat::SERVICE_STATUS status = {};
  plat::ControlService(m_service, plat::SERVICE_CONTROL_SHUTDOWN, &status);
  EXPECT_TRUE(EndsWithin(pid, 20s));
  std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("INFO Velcora: Service end"));
  EXPECT_NE(std::string::npos, log.find("DEBUG Velcora: SERVICE_CONTROL_SHUTDOWN"));
  EXPECT_EQ(std::string::npos, log.find("ServiceMain Finished"));
  std::vector<plat::ServiceHistoryEntry> history = plat::ReadServiceHistory("Velcora");
  bool reportedStopped = false;
  for (const plat::ServiceHistoryEntry& entry : history)
    reportedStopped |= entry.state == plat::SERVICE_STOPPED && entry.win32ExitCode == 0;
  EXPECT_TRUE(reportedStopped) << "stopped is reported by the service itself, before it ends";
}

TEST_F(ServiceModeTest, TheRemoveSwitchStopsAndDeletesTheService) {
  Install();
  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr));
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  std::string commandLine = "\"" + plat::ToWindowsPath(kProgram) + "\" -c x.ini -U -l y.xml";
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  plat::PROCESS_INFORMATION remover = {};
  ASSERT_TRUE(plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr,
                                   nullptr, &startup, &remover));
  m_started.push_back(remover);
  EXPECT_EQ(255u, ExitCodeWithin(remover, 30s));
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CONNECT);
  EXPECT_EQ(nullptr, plat::OpenServiceA(manager, "Velcora", plat::SERVICE_QUERY_STATUS)) << "deleted";
  EXPECT_EQ(1060u, plat::GetLastError());
  plat::CloseServiceHandle(manager);
}

TEST_F(ServiceModeTest, AFaultInTheProvidersShutdownIsCaughtAndTheShutdownGoesOn) {
  WriteSettings("SIMTSP_FAULTSHUTDOWN.TSP");
  Install();
  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr));
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(m_service, plat::SERVICE_CONTROL_STOP, &status));
  EXPECT_TRUE(LogShowsWithin("INFO Velcora: Service end"));
  EXPECT_NE(std::string::npos,
            Log().find("ERROR Velcora: >>> TSPI_providerShutdown Exception Code 0xC0000005"));
}

// A service killed while it runs (no shutdown at all) leaves its entry, the registry and its settings
// as they were, and starts again to serve a new client.
TEST_F(ServiceModeTest, AKilledServiceLeavesItsStateIntactAndStartsAgain) {
  plat::WSADATA data;
  plat::WSAStartup(plat::MAKEWORD(2, 0), &data);
  Install();
  const std::string settings = testsupport::ReadFile(SettingsFile());
  auto servedOnce = [this](int starts) {
    std::vector<int> ports;
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (ports.size() < static_cast<size_t>(starts) && std::chrono::steady_clock::now() < deadline) {
      ports.clear();
      std::string log = Log();
      static const std::regex kListening("Listening on port (\\d+)");
      for (std::sregex_iterator it(log.begin(), log.end(), kListening), end; it != end; ++it)
        ports.push_back(std::stoi((*it)[1]));
      std::this_thread::sleep_for(10ms);
    }
    if (ports.size() < static_cast<size_t>(starts)) return std::string("not listening");
    testsupport::TelvaneClient client(ports.back());
    client.SendLine("Telvane;version=2");
    return client.NextLine();
  };

  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr));
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  ASSERT_EQ("LOGIN_REPLY 0 0", servedOnce(1));
  plat::DWORD pid = ProcessId();
  std::system(("kill -9 " + std::to_string(pid)).c_str());
  ASSERT_TRUE(EndsWithin(pid, 20s));

  EXPECT_TRUE(WaitForState(plat::SERVICE_STOPPED)) << "a dead service process reads as stopped";
  EXPECT_EQ(settings, testsupport::ReadFile(SettingsFile()));
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS);
  plat::SC_HANDLE reopened = plat::OpenServiceA(manager, "Velcora", plat::SERVICE_ALL_ACCESS);
  ASSERT_NE(nullptr, reopened) << "the entry is still there";
  alignas(8) plat::BYTE config[4096];
  plat::DWORD needed = 0;
  ASSERT_TRUE(plat::QueryServiceConfigA(reopened, reinterpret_cast<plat::QUERY_SERVICE_CONFIGA*>(config),
                                        sizeof(config), &needed));
  const auto* read = reinterpret_cast<plat::QUERY_SERVICE_CONFIGA*>(config);
  EXPECT_STREQ("Wendrath Velcora", read->lpDisplayName);
  EXPECT_EQ("\"" + plat::ToWindowsPath(kProgram) + "\"" + Arguments(), std::string(read->lpBinaryPathName));
  plat::CloseServiceHandle(reopened);
  plat::CloseServiceHandle(manager);

  ASSERT_TRUE(plat::StartServiceA(m_service, 0, nullptr)) << plat::GetLastError();
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  EXPECT_EQ("LOGIN_REPLY 0 0", servedOnce(2));
}

}  // namespace
