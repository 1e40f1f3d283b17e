// Tests of the service manager: entries in the registry, rights, and real service processes started,
// controlled and stopped through it.
#include "plat/service.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/process.h"
#include "plat/testing/registry.h"
#include "plat/time.h"
#include "service_database.h"
#include "support/eventually.h"
#include "support/service_log.h"
#include "support/shell_line.h"
#include "support/temp_dir.h"
#include "support/test_service_entry.h"
#include "support/time_scale.h"

namespace {

using plat::DWORD;
using testsupport::Eventually;
using Clock = std::chrono::steady_clock;

// Only the tests of a time-out shorten the manager's 30 s waits, to 1.5 s; every other wait stays
// unscaled, so that no start or control of a service runs out on a busy machine.
constexpr double kShortWaits = 0.05;
constexpr DWORD kAllTestServiceControls = 7;  // stop, pause/continue, shutdown

// Closes a manager or service handle at the end of its scope.
class ScHandle {
 public:
  explicit ScHandle(plat::SC_HANDLE handle = nullptr) : m_handle(handle) {}
  ~ScHandle() {
    if (m_handle != nullptr) plat::CloseServiceHandle(m_handle);
  }
  ScHandle(ScHandle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  plat::SC_HANDLE get() const { return m_handle; }

 private:
  plat::SC_HANDLE m_handle;
};

std::string ServiceKey(const std::string& name) { return "SYSTEM\\CurrentControlSet\\Services\\" + name; }

bool KeyExists(const std::string& name) {
  plat::HKEY key = nullptr;
  if (plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, ServiceKey(name).c_str(), 0, plat::KEY_READ, &key) != 0)
    return false;
  plat::RegCloseKey(key);
  return true;
}

// A value of the service's key read the plain registry way: its bytes, and its type in *type.
std::string ReadValue(const std::string& name, const char* value, DWORD* type) {
  plat::HKEY key = nullptr;
  if (plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, ServiceKey(name).c_str(), 0, plat::KEY_READ, &key) != 0)
    return "<no key>";
  char data[1024];
  DWORD size = sizeof(data);
  plat::LONG result =
      plat::RegQueryValueExA(key, value, nullptr, type, reinterpret_cast<plat::BYTE*>(data), &size);
  plat::RegCloseKey(key);
  return result == 0 ? std::string(data, size) : "<no value>";
}

DWORD ReadDwordValue(const std::string& name, const char* value) {
  DWORD type = 0;
  std::string data = ReadValue(name, value, &type);
  EXPECT_EQ(plat::REG_DWORD, type) << value;
  DWORD number = 0xFFFFFFFF;
  if (data.size() == sizeof(number)) std::memcpy(&number, data.data(), sizeof(number));
  return number;
}

std::string ImagePath(const std::string& name, const std::string& mode) {
  return "\"" + std::string(TEST_SERVICE) + "\" " + name + (mode.empty() ? "" : " " + mode);
}

plat::SERVICE_STATUS Status(plat::SC_HANDLE service) {
  plat::SERVICE_STATUS status = {};
  EXPECT_TRUE(plat::QueryServiceStatus(service, &status));
  return status;
}

DWORD ProcessIdOf(plat::SC_HANDLE service) {
  plat::SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  EXPECT_TRUE(plat::QueryServiceStatusEx(service, plat::SC_STATUS_PROCESS_INFO,
                                         reinterpret_cast<plat::BYTE*>(&status), sizeof(status), &needed));
  return status.dwProcessId;
}

bool IsProcessGone(DWORD processId) {
  plat::HANDLE process = plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION, plat::FALSE, processId);
  if (process == nullptr) return true;
  plat::CloseHandle(process);
  return false;
}

std::vector<DWORD> HistoryStates(const std::string& name) {
  std::vector<DWORD> states;
  for (const plat::ServiceHistoryEntry& entry : plat::ReadServiceHistory(name.c_str()))
    states.push_back(entry.state);
  return states;
}

// The last `count` states of the history (all of them when there are fewer).
std::vector<DWORD> LastStates(const std::string& name, size_t count) {
  std::vector<DWORD> states = HistoryStates(name);
  if (states.size() > count) states.erase(states.begin(), states.end() - static_cast<long>(count));
  return states;
}

// Runs `command` through the shell with its output in `output`; returns the exit code.
DWORD RunShell(const std::string& command, const testsupport::TempDir& dir, std::string& output) {
  const DWORD code = testsupport::RunShellLine(command + " > '" + dir / "output.txt" + "' 2>&1");
  output = testsupport::ReadFile(dir / "output.txt");
  return code;
}

class ServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(nullptr, m_manager.get()); }

  // Ends what a test left running, the modes that never end by themselves too, and waits until its
  // processes are gone, so none outlives the test.
  void TearDown() override {
    for (const auto& [name, processId] : m_started) {
      EXPECT_TRUE(testsupport::EndServiceProcess(name)) << name << " does not read as stopped";
      EXPECT_TRUE(Eventually([id = processId] { return IsProcessGone(id); })) << name << " still runs";
    }
  }

  plat::SC_HANDLE Manager() const { return m_manager.get(); }

  ScHandle Create(const std::string& name, const std::string& mode = "") {
    ScHandle service(plat::CreateServiceA(Manager(), name.c_str(), nullptr, plat::SERVICE_ALL_ACCESS,
                                          plat::SERVICE_WIN32_OWN_PROCESS, plat::SERVICE_DEMAND_START,
                                          plat::SERVICE_ERROR_NORMAL, ImagePath(name, mode).c_str(), nullptr,
                                          nullptr, nullptr, nullptr, nullptr));
    EXPECT_NE(nullptr, service.get()) << plat::GetLastError();
    return service;
  }

  // Creates and starts a test service; the process is then waited for at the end of the test.
  ScHandle Start(const std::string& name, const std::string& mode = "") {
    ScHandle service = Create(name, mode);
    EXPECT_TRUE(plat::StartServiceA(service.get(), 0, nullptr)) << plat::GetLastError();
    Track(name, service.get());
    return service;
  }

  void Track(const std::string& name, plat::SC_HANDLE service) {
    m_started.emplace_back(name, ProcessIdOf(service));
  }

  // Waits until the service reports `state`; returns the state seen last.
  static DWORD WaitForState(plat::SC_HANDLE service, DWORD state) {
    DWORD seen = 0;
    Eventually([&] { return (seen = Status(service).dwCurrentState) == state; });
    return seen;
  }

  ScHandle StartRunning(const std::string& name, const std::string& mode = "") {
    ScHandle service = Start(name, mode);
    EXPECT_EQ(plat::SERVICE_RUNNING, WaitForState(service.get(), plat::SERVICE_RUNNING));
    return service;
  }

 private:
  testsupport::ScopedMachine m_machine;
  ScHandle m_manager{plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS)};
  std::vector<std::pair<std::string, DWORD>> m_started;
};

// ---- entries ------------------------------------------------------------------------------------

TEST_F(ServiceManagerTest, CreateWritesTheEntryAsPlainRegistryValues) {
  const char dependencies[] = "tapisrv\0RpcSs\0";
  ScHandle service(plat::CreateServiceA(Manager(), "Velcora", "Wendrath Velcora", plat::SERVICE_ALL_ACCESS,
                                        0x110, plat::SERVICE_AUTO_START, plat::SERVICE_ERROR_NORMAL,
                                        "\"C:\\tel\\VELCORA.EXE\" -D", nullptr, nullptr, dependencies,
                                        nullptr, nullptr));
  ASSERT_NE(nullptr, service.get()) << plat::GetLastError();

  EXPECT_EQ(0x110u, ReadDwordValue("Velcora", "Type"));
  EXPECT_EQ(2u, ReadDwordValue("Velcora", "Start"));
  EXPECT_EQ(1u, ReadDwordValue("Velcora", "ErrorControl"));
  DWORD type = 0;
  EXPECT_EQ(std::string("\"C:\\tel\\VELCORA.EXE\" -D\0", 24), ReadValue("Velcora", "ImagePath", &type));
  EXPECT_EQ(plat::REG_EXPAND_SZ, type);
  EXPECT_EQ(std::string("Wendrath Velcora\0", 17), ReadValue("Velcora", "DisplayName", &type));
  EXPECT_EQ(plat::REG_SZ, type);
  EXPECT_EQ(std::string("LocalSystem\0", 12), ReadValue("Velcora", "ObjectName", &type));
  EXPECT_EQ(std::string("tapisrv\0RpcSs\0\0", 15), ReadValue("Velcora", "DependOnService", &type));
  EXPECT_EQ(plat::REG_MULTI_SZ, type);
  EXPECT_EQ(plat::SERVICE_STOPPED, Status(service.get()).dwCurrentState);
  EXPECT_EQ(plat::ERROR_SERVICE_NEVER_STARTED, Status(service.get()).dwWin32ExitCode);

  // A second create, by any case of the name, leaves the entry as it is.
  for (const char* again : {"Velcora", "VELCORA"}) {
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::CreateServiceA(Manager(), again, "Other", plat::SERVICE_ALL_ACCESS, 0x10,
                                            plat::SERVICE_DEMAND_START, 0, "C:\\other.exe", nullptr, nullptr,
                                            nullptr, nullptr, nullptr));
    EXPECT_EQ(plat::ERROR_SERVICE_EXISTS, plat::GetLastError()) << again;
  }
  EXPECT_EQ(std::string("\"C:\\tel\\VELCORA.EXE\" -D\0", 24), ReadValue("Velcora", "ImagePath", &type));
  EXPECT_EQ(2u, ReadDwordValue("Velcora", "Start"));

  ScHandle opened(plat::OpenServiceA(Manager(), "velcora", plat::SERVICE_QUERY_STATUS));
  EXPECT_NE(nullptr, opened.get());
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::OpenServiceA(Manager(), "Missing", plat::SERVICE_QUERY_STATUS));
  EXPECT_EQ(plat::ERROR_SERVICE_DOES_NOT_EXIST, plat::GetLastError());
}

TEST_F(ServiceManagerTest, CreateRefusesANameOrDisplayNameInUse) {
  ScHandle alpha(plat::CreateServiceA(Manager(), "Alpha", "Alpha Display", plat::SERVICE_ALL_ACCESS, 0x10,
                                      plat::SERVICE_DEMAND_START, 1, "C:\\alpha.exe", nullptr, nullptr,
                                      nullptr, nullptr, nullptr));
  ASSERT_NE(nullptr, alpha.get());
  struct Case {
    const char* name;
    const char* displayName;
  };
  const Case cases[] = {
      {"Beta", "alpha display"},   // another entry's display name
      {"Beta", "ALPHA"},           // another entry's name
      {"Alpha Display", nullptr},  // the name (and so the display name) is another's display name
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::CreateServiceA(Manager(), c.name, c.displayName, plat::SERVICE_ALL_ACCESS, 0x10,
                                            plat::SERVICE_DEMAND_START, 1, "C:\\beta.exe", nullptr, nullptr,
                                            nullptr, nullptr, nullptr));
    EXPECT_EQ(plat::ERROR_DUPLICATE_SERVICE_NAME, plat::GetLastError()) << c.name;
    EXPECT_FALSE(KeyExists(c.name)) << c.name;
  }
}

TEST_F(ServiceManagerTest, QueryConfigReportsTheSizeNeededThenPacksTheTextsBehindTheStructure) {
  const char dependencies[] = "tapisrv\0";
  ScHandle service(plat::CreateServiceA(Manager(), "Velcora", "Wendrath Velcora", plat::SERVICE_ALL_ACCESS,
                                        0x110, plat::SERVICE_AUTO_START, 1, "C:\\tel\\VELCORA.EXE", nullptr,
                                        nullptr, dependencies, nullptr, nullptr));
  ASSERT_NE(nullptr, service.get());
  // "C:\tel\VELCORA.EXE" 19, group 1, "tapisrv" list 9, "LocalSystem" 12, "Wendrath Velcora" 17.
  const DWORD expectedSize = sizeof(plat::QUERY_SERVICE_CONFIGA) + 58;

  std::vector<plat::QUERY_SERVICE_CONFIGA> buffer(4);
  DWORD needed = 0;
  EXPECT_FALSE(
      plat::QueryServiceConfigA(service.get(), buffer.data(), sizeof(plat::QUERY_SERVICE_CONFIGA), &needed));
  EXPECT_EQ(plat::ERROR_INSUFFICIENT_BUFFER, plat::GetLastError());
  EXPECT_EQ(expectedSize, needed);

  ASSERT_TRUE(plat::QueryServiceConfigA(service.get(), buffer.data(), needed, &needed));
  const plat::QUERY_SERVICE_CONFIGA& config = buffer[0];
  EXPECT_EQ(0x110u, config.dwServiceType);
  EXPECT_EQ(2u, config.dwStartType);
  EXPECT_EQ(1u, config.dwErrorControl);
  EXPECT_STREQ("C:\\tel\\VELCORA.EXE", config.lpBinaryPathName);
  EXPECT_STREQ("", config.lpLoadOrderGroup);
  EXPECT_EQ(std::string("tapisrv\0\0", 9), std::string(config.lpDependencies, 9));
  EXPECT_STREQ("LocalSystem", config.lpServiceStartName);
  EXPECT_STREQ("Wendrath Velcora", config.lpDisplayName);
  const char* begin = reinterpret_cast<const char*>(buffer.data());
  for (const char* text : {config.lpBinaryPathName, config.lpLoadOrderGroup, config.lpDependencies,
                           config.lpServiceStartName, config.lpDisplayName}) {
    EXPECT_GE(text, begin + sizeof(plat::QUERY_SERVICE_CONFIGA));
    EXPECT_LT(text, begin + needed);
  }
}

TEST_F(ServiceManagerTest, ChangeConfigChangesOnlyWhatIsGiven) {
  const char dependencies[] = "tapisrv\0";
  ScHandle service(plat::CreateServiceA(Manager(), "Velcora", nullptr, plat::SERVICE_ALL_ACCESS, 0x110,
                                        plat::SERVICE_AUTO_START, 1, "C:\\tel\\VELCORA.EXE", nullptr, nullptr,
                                        dependencies, nullptr, nullptr));
  ASSERT_NE(nullptr, service.get());
  const char newDependencies[] = "RpcSs\0";
  ASSERT_TRUE(plat::ChangeServiceConfigA(service.get(), 0x10, plat::SERVICE_NO_CHANGE,
                                         plat::SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, newDependencies,
                                         nullptr, nullptr, nullptr));
  EXPECT_EQ(0x10u, ReadDwordValue("Velcora", "Type"));
  EXPECT_EQ(2u, ReadDwordValue("Velcora", "Start"));
  DWORD type = 0;
  EXPECT_EQ(std::string("C:\\tel\\VELCORA.EXE\0", 19), ReadValue("Velcora", "ImagePath", &type));
  EXPECT_EQ(std::string("Velcora\0", 8), ReadValue("Velcora", "DisplayName", &type));
  EXPECT_EQ(std::string("RpcSs\0\0", 7), ReadValue("Velcora", "DependOnService", &type));

  ASSERT_TRUE(plat::ChangeServiceConfigA(service.get(), plat::SERVICE_NO_CHANGE, plat::SERVICE_NO_CHANGE,
                                         plat::SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, "\0", nullptr,
                                         nullptr, nullptr));
  EXPECT_EQ("<no value>", ReadValue("Velcora", "DependOnService", &type));

  EXPECT_FALSE(plat::ChangeServiceConfigA(service.get(), plat::SERVICE_NO_CHANGE, 5, plat::SERVICE_NO_CHANGE,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(plat::ERROR_INVALID_PARAMETER, plat::GetLastError());
  EXPECT_EQ(2u, ReadDwordValue("Velcora", "Start"));

  char description[] = "Provides a Telvane interface for TAPI devices";
  plat::SERVICE_DESCRIPTIONA info = {description};
  ASSERT_TRUE(plat::ChangeServiceConfig2A(service.get(), plat::SERVICE_CONFIG_DESCRIPTION, &info));
  EXPECT_EQ(std::string(description) + '\0', ReadValue("Velcora", "Description", &type));
  EXPECT_EQ(plat::REG_SZ, type);
}

// ---- rights and handles -------------------------------------------------------------------------

TEST_F(ServiceManagerTest, EachCallNeedsItsRightOnTheHandle) {
  Create("Svc");
  plat::SERVICE_STATUS status = {};
  plat::SERVICE_DESCRIPTIONA description = {nullptr};
  std::vector<plat::QUERY_SERVICE_CONFIGA> config(16);
  DWORD needed = 0;
  struct Case {
    const char* call;
    DWORD right;
    std::function<plat::BOOL(plat::SC_HANDLE)> invoke;
  };
  const Case cases[] = {
      {"QueryServiceConfigA", plat::SERVICE_QUERY_CONFIG,
       [&](plat::SC_HANDLE s) { return plat::QueryServiceConfigA(s, config.data(), 1024, &needed); }},
      {"QueryServiceStatus", plat::SERVICE_QUERY_STATUS,
       [&](plat::SC_HANDLE s) { return plat::QueryServiceStatus(s, &status); }},
      {"StartServiceA", plat::SERVICE_START,
       [](plat::SC_HANDLE s) { return plat::StartServiceA(s, 0, nullptr); }},
      {"stop", plat::SERVICE_STOP,
       [&](plat::SC_HANDLE s) { return plat::ControlService(s, plat::SERVICE_CONTROL_STOP, &status); }},
      {"pause", plat::SERVICE_PAUSE_CONTINUE,
       [&](plat::SC_HANDLE s) { return plat::ControlService(s, plat::SERVICE_CONTROL_PAUSE, &status); }},
      {"continue", plat::SERVICE_PAUSE_CONTINUE,
       [&](plat::SC_HANDLE s) { return plat::ControlService(s, plat::SERVICE_CONTROL_CONTINUE, &status); }},
      {"interrogate", plat::SERVICE_INTERROGATE,
       [&](plat::SC_HANDLE s) {
         return plat::ControlService(s, plat::SERVICE_CONTROL_INTERROGATE, &status);
       }},
      {"user control", plat::SERVICE_USER_DEFINED_CONTROL,
       [&](plat::SC_HANDLE s) { return plat::ControlService(s, 128, &status); }},
      {"DeleteService", plat::DELETE, [](plat::SC_HANDLE s) { return plat::DeleteService(s); }},
      {"ChangeServiceConfigA", plat::SERVICE_CHANGE_CONFIG,
       [](plat::SC_HANDLE s) {
         return plat::ChangeServiceConfigA(s, 0x10, plat::SERVICE_NO_CHANGE, plat::SERVICE_NO_CHANGE, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
       }},
      {"ChangeServiceConfig2A", plat::SERVICE_CHANGE_CONFIG,
       [&](plat::SC_HANDLE s) {
         return plat::ChangeServiceConfig2A(s, plat::SERVICE_CONFIG_DESCRIPTION, &description);
       }},
  };
  for (const Case& c : cases) {
    ScHandle service(plat::OpenServiceA(Manager(), "Svc", plat::SERVICE_ALL_ACCESS & ~c.right));
    ASSERT_NE(nullptr, service.get()) << c.call;
    plat::SetLastError(0);
    EXPECT_FALSE(c.invoke(service.get())) << c.call;
    EXPECT_EQ(plat::ERROR_ACCESS_DENIED, plat::GetLastError()) << c.call;
  }
  EXPECT_TRUE(KeyExists("Svc"));
  EXPECT_EQ(plat::SERVICE_WIN32_OWN_PROCESS, ReadDwordValue("Svc", "Type"));

  ScHandle connectOnly(plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CONNECT));
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::CreateServiceA(connectOnly.get(), "Other", nullptr, plat::SERVICE_ALL_ACCESS, 0x10,
                                          plat::SERVICE_DEMAND_START, 1, "C:\\other.exe", nullptr, nullptr,
                                          nullptr, nullptr, nullptr));
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, plat::GetLastError());
}

TEST_F(ServiceManagerTest, WritingRightsAreRefusedWhereTheEntriesAreProtected) {
  Create("Svc");
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services",
                                          true);
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS));
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, plat::GetLastError());
  ScHandle connected(plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CONNECT));
  EXPECT_NE(nullptr, connected.get());
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::OpenServiceA(connected.get(), "Svc", plat::DELETE));
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, plat::GetLastError());
  ScHandle reading(plat::OpenServiceA(connected.get(), "Svc", plat::SERVICE_QUERY_STATUS));
  EXPECT_NE(nullptr, reading.get());
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services",
                                          false);
}

TEST_F(ServiceManagerTest, ClosedAndForeignHandlesAreInvalid) {
  plat::SC_HANDLE service = plat::OpenServiceA(Manager(), "Svc", plat::SERVICE_ALL_ACCESS);
  EXPECT_EQ(nullptr, service);
  Create("Svc");
  service = plat::OpenServiceA(Manager(), "Svc", plat::SERVICE_ALL_ACCESS);
  ASSERT_NE(nullptr, service);
  EXPECT_TRUE(plat::CloseServiceHandle(service));
  plat::SERVICE_STATUS status = {};
  for (plat::SC_HANDLE bad :
       {service, static_cast<plat::SC_HANDLE>(nullptr), reinterpret_cast<plat::SC_HANDLE>(0x7)}) {
    plat::SetLastError(0);
    EXPECT_FALSE(plat::CloseServiceHandle(bad));
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
    plat::SetLastError(0);
    EXPECT_FALSE(plat::QueryServiceStatus(bad, &status));
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
  }
  ScHandle reopened(plat::OpenServiceA(Manager(), "Svc", plat::SERVICE_ALL_ACCESS));
  EXPECT_NE(service, reopened.get()) << "handle values are never reused";
}

// ---- start, controls and stop with real service processes ---------------------------------------

TEST_F(ServiceManagerTest, StartRunsTheImagePathUnderTheDispatcherWithoutShowState) {
  setenv("VELCORA_SHOW_STATE", "3", 1);
  ScHandle service = Create("Svc");
  const char* arguments[] = {"first argument", "second"};
  const bool started = plat::StartServiceA(service.get(), 2, arguments);
  unsetenv("VELCORA_SHOW_STATE");
  ASSERT_TRUE(started) << plat::GetLastError();
  Track("Svc", service.get());
  EXPECT_NE(0u, ProcessIdOf(service.get()));

  ASSERT_EQ(plat::SERVICE_RUNNING, WaitForState(service.get(), plat::SERVICE_RUNNING));
  EXPECT_EQ(kAllTestServiceControls, Status(service.get()).dwControlsAccepted);
  // The manager's own START_PENDING, the service's, then RUNNING.
  EXPECT_EQ((std::vector<DWORD>{2, 2, 4}), HistoryStates("Svc"));
  // The service main function got the name and the arguments; the start-up gave show state 10.
  EXPECT_EQ("show 10\nSvc\nfirst argument\nsecond\n",
            testsupport::ReadFile(std::getenv("VELCORA_MACHINE") + std::string("/test_service-Svc.txt")));

  plat::SetLastError(0);
  EXPECT_FALSE(plat::StartServiceA(service.get(), 0, nullptr));
  EXPECT_EQ(plat::ERROR_SERVICE_ALREADY_RUNNING, plat::GetLastError());
}

TEST_F(ServiceManagerTest, PauseContinueInterrogateAndOwnControlsReachTheHandler) {
  ScHandle service = StartRunning("Svc");
  struct Case {
    DWORD control;
    DWORD stateAfter;
    std::vector<DWORD> reported;  // the history lines the handler adds
  };
  const Case cases[] = {
      {plat::SERVICE_CONTROL_PAUSE, plat::SERVICE_PAUSED, {6, 7}},
      {plat::SERVICE_CONTROL_INTERROGATE, plat::SERVICE_PAUSED, {7}},
      {plat::SERVICE_CONTROL_CONTINUE, plat::SERVICE_RUNNING, {5, 4}},
      {plat::SERVICE_CONTROL_INTERROGATE, plat::SERVICE_RUNNING, {4}},
      {200, plat::SERVICE_RUNNING, {4}},
  };
  for (const Case& c : cases) {
    const size_t before = HistoryStates("Svc").size();
    plat::SERVICE_STATUS status = {};
    ASSERT_TRUE(plat::ControlService(service.get(), c.control, &status))
        << c.control << ": " << plat::GetLastError();
    // The handler has returned, so its reports are in the record ControlService hands back.
    EXPECT_EQ(c.stateAfter, status.dwCurrentState) << c.control;
    EXPECT_EQ(before + c.reported.size(), HistoryStates("Svc").size()) << c.control;
    EXPECT_EQ(c.reported, LastStates("Svc", c.reported.size())) << c.control;
  }
}

TEST_F(ServiceManagerTest, StopEndsTheServiceAndItsProcessEndsByItself) {
  ScHandle service = StartRunning("Svc");
  const DWORD processId = ProcessIdOf(service.get());
  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_STOP, &status));
  // The handler reported STOP_PENDING; the service main function may have reported STOPPED since.
  EXPECT_TRUE(status.dwCurrentState == plat::SERVICE_STOP_PENDING ||
              status.dwCurrentState == plat::SERVICE_STOPPED)
      << status.dwCurrentState;
  ASSERT_EQ(plat::SERVICE_STOPPED, WaitForState(service.get(), plat::SERVICE_STOPPED));
  EXPECT_EQ(0u, Status(service.get()).dwWin32ExitCode);
  EXPECT_EQ((std::vector<DWORD>{3, 1}), LastStates("Svc", 2));
  EXPECT_TRUE(Eventually([&] { return IsProcessGone(processId); }));
  EXPECT_EQ(0u, ProcessIdOf(service.get()));
}

TEST_F(ServiceManagerTest, ShutdownStopsTheServiceWithinTheHandler) {
  ScHandle service = StartRunning("Svc");
  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_SHUTDOWN, &status));
  EXPECT_EQ(plat::SERVICE_STOPPED, status.dwCurrentState);
  EXPECT_EQ((std::vector<DWORD>{4, 1}), LastStates("Svc", 2));
}

std::string ControlSocketPath(plat::SC_HANDLE service) {
  return std::getenv("VELCORA_MACHINE") + std::string("/services/") + std::to_string(ProcessIdOf(service)) +
         ".ctl";
}

TEST_F(ServiceManagerTest, TheControlSocketIsTheOwnersAloneWhateverTheUmask) {
  const mode_t previous = umask(022);  // the service process has it from this one
  ScHandle service = Start("Svc");
  umask(previous);
  ASSERT_EQ(plat::SERVICE_RUNNING, WaitForState(service.get(), plat::SERVICE_RUNNING));
  struct stat info;
  const std::string services = std::getenv("VELCORA_MACHINE") + std::string("/services");
  ASSERT_EQ(0, stat(services.c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777) << services;
  const std::string socket = ControlSocketPath(service.get());
  ASSERT_EQ(0, lstat(socket.c_str(), &info)) << socket;
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(0600u, info.st_mode & 07777) << socket;
}

// How a process of user `uid` fares that writes a stop to the control socket at `path` itself: 0 when
// the socket closes without an answer, 1 when the stop is answered, 2 when it cannot connect.
int StopThroughTheSocketAs(uid_t uid, const std::string& path) {
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return 2;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const pid_t child = fork();
  if (child == 0) {
    // Only calls that are safe in the child of a process with threads.
    const DWORD stop = plat::SERVICE_CONTROL_STOP;
    const timeval wait = {30, 0};
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0 || fd < 0 ||
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait)) != 0 ||
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
      _exit(2);
    // The socket may be closed before the stop is sent, or with it unread: a broken pipe or a reset.
    if (send(fd, &stop, sizeof(stop), MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof(stop)))
      _exit(errno == EPIPE || errno == ECONNRESET ? 0 : 3);
    DWORD answer = 0;
    const ssize_t got = recv(fd, &answer, sizeof(answer), MSG_WAITALL);
    if (got == 0 || (got < 0 && errno == ECONNRESET)) _exit(0);
    _exit(got == static_cast<ssize_t>(sizeof(answer)) ? 1 : 3);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 4;
  return WEXITSTATUS(status);
}

// The paths are opened up here as a careless owner might; the socket still serves its owner alone.
TEST_F(ServiceManagerTest, APeerOfAnotherUserIsClosedWithoutItsControl) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can connect as another user here";
  ScHandle service = StartRunning("Svc");
  const std::string machine = std::getenv("VELCORA_MACHINE");
  const std::string socket = ControlSocketPath(service.get());
  ASSERT_EQ(0, chmod(machine.c_str(), 0711));
  ASSERT_EQ(0, chmod((machine + "/services").c_str(), 0711));
  ASSERT_EQ(0, chmod(socket.c_str(), 0666));
  const size_t before = HistoryStates("Svc").size();

  EXPECT_EQ(0, StopThroughTheSocketAs(65534, socket)) << "0 refused, 1 obeyed, 2 no connection, 3 no end";
  EXPECT_EQ(plat::SERVICE_RUNNING, Status(service.get()).dwCurrentState);
  EXPECT_EQ(before, HistoryStates("Svc").size()) << "the handler never ran";
  // The owner's own controls go on as before.
  plat::SERVICE_STATUS status = {};
  EXPECT_TRUE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_INTERROGATE, &status));
  EXPECT_EQ(plat::SERVICE_RUNNING, status.dwCurrentState);
}

// Expects `control` to be refused with `error` and *status filled with the record in `state`.
void ExpectRefused(plat::SC_HANDLE service, DWORD control, DWORD error, DWORD state) {
  plat::SERVICE_STATUS status = {};
  plat::SetLastError(0);
  EXPECT_FALSE(plat::ControlService(service, control, &status)) << control;
  EXPECT_EQ(error, plat::GetLastError()) << control;
  EXPECT_EQ(state, status.dwCurrentState) << control;
}

TEST_F(ServiceManagerTest, ControlsOfAStoppedServiceAreRefusedAsNotActive) {
  ScHandle service = Create("Svc");
  for (DWORD control : {plat::SERVICE_CONTROL_STOP, plat::SERVICE_CONTROL_INTERROGATE, DWORD{128}})
    ExpectRefused(service.get(), control, plat::ERROR_SERVICE_NOT_ACTIVE, plat::SERVICE_STOPPED);
}

TEST_F(ServiceManagerTest, ControlsTheServiceDoesNotAcceptAreRefused) {
  ScHandle service = StartRunning("Svc", "stop-only");
  for (DWORD control : {plat::SERVICE_CONTROL_PAUSE, plat::SERVICE_CONTROL_CONTINUE,
                        plat::SERVICE_CONTROL_SHUTDOWN, DWORD{6}, DWORD{300}})
    ExpectRefused(service.get(), control, plat::ERROR_INVALID_SERVICE_CONTROL, plat::SERVICE_RUNNING);
  plat::SERVICE_STATUS status = {};
  EXPECT_TRUE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_INTERROGATE, &status));
}

TEST_F(ServiceManagerTest, ControlsWhileStartOrStopPendingAreRefused) {
  ScHandle starting = Start("Starting", "slow-start");
  ASSERT_EQ(plat::SERVICE_START_PENDING, Status(starting.get()).dwCurrentState);
  for (DWORD control :
       {plat::SERVICE_CONTROL_STOP, plat::SERVICE_CONTROL_PAUSE, plat::SERVICE_CONTROL_INTERROGATE})
    ExpectRefused(starting.get(), control, plat::ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                  plat::SERVICE_START_PENDING);
  // The start goes on only when it is let go.
  ASSERT_EQ(0, kill(static_cast<pid_t>(ProcessIdOf(starting.get())), SIGUSR1));
  EXPECT_EQ(plat::SERVICE_RUNNING, WaitForState(starting.get(), plat::SERVICE_RUNNING));

  ScHandle stopping = StartRunning("Stopping", "never-stops");
  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(stopping.get(), plat::SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(plat::SERVICE_STOP_PENDING, status.dwCurrentState);
  for (DWORD control :
       {plat::SERVICE_CONTROL_STOP, plat::SERVICE_CONTROL_CONTINUE, plat::SERVICE_CONTROL_INTERROGATE})
    ExpectRefused(stopping.get(), control, plat::ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                  plat::SERVICE_STOP_PENDING);
}

TEST_F(ServiceManagerTest, AHandlerThatDoesNotReturnTimesOut) {
  ScHandle service = StartRunning("Svc", "hangs");
  plat::SERVICE_STATUS status = {};
  status.dwCurrentState = 0xABCD;
  const auto began = Clock::now();
  plat::SetLastError(0);
  {
    testsupport::ScopedTimeScale shortWaits(kShortWaits);
    EXPECT_FALSE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_INTERROGATE, &status));
  }
  EXPECT_EQ(plat::ERROR_SERVICE_REQUEST_TIMEOUT, plat::GetLastError());
  EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(1400));  // 30 s scaled by 0.05
  EXPECT_EQ(0xABCDu, status.dwCurrentState) << "the record is left alone";
}

// ---- deletion -----------------------------------------------------------------------------------

TEST_F(ServiceManagerTest, DeleteOfAStoppedServiceRemovesTheKeyAtOnce) {
  ScHandle service = Create("Svc");
  ASSERT_TRUE(plat::DeleteService(service.get()));
  EXPECT_FALSE(KeyExists("Svc"));
  plat::SetLastError(0);
  EXPECT_FALSE(plat::DeleteService(service.get()));
  EXPECT_EQ(plat::ERROR_SERVICE_MARKED_FOR_DELETE, plat::GetLastError());
  EXPECT_EQ(nullptr, plat::OpenServiceA(Manager(), "Svc", plat::SERVICE_ALL_ACCESS));
  EXPECT_EQ(plat::ERROR_SERVICE_DOES_NOT_EXIST, plat::GetLastError());
}

TEST_F(ServiceManagerTest, DeleteOfARunningServiceMarksItUntilItStops) {
  ScHandle service = StartRunning("Svc");
  ASSERT_TRUE(plat::DeleteService(service.get()));
  EXPECT_EQ(1u, ReadDwordValue("Svc", "DeleteFlag"));

  ScHandle reopened(plat::OpenServiceA(Manager(), "Svc", plat::SERVICE_ALL_ACCESS));
  EXPECT_NE(nullptr, reopened.get()) << "a marked entry still opens";
  plat::SetLastError(0);
  EXPECT_FALSE(plat::StartServiceA(reopened.get(), 0, nullptr));
  EXPECT_EQ(plat::ERROR_SERVICE_MARKED_FOR_DELETE, plat::GetLastError());
  plat::SetLastError(0);
  EXPECT_FALSE(plat::DeleteService(reopened.get()));
  EXPECT_EQ(plat::ERROR_SERVICE_MARKED_FOR_DELETE, plat::GetLastError());
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::CreateServiceA(Manager(), "Svc", nullptr, plat::SERVICE_ALL_ACCESS, 0x10,
                                          plat::SERVICE_DEMAND_START, 1, "C:\\svc.exe", nullptr, nullptr,
                                          nullptr, nullptr, nullptr));
  EXPECT_EQ(plat::ERROR_SERVICE_MARKED_FOR_DELETE, plat::GetLastError());

  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_STOP, &status));
  EXPECT_TRUE(Eventually([] { return !KeyExists("Svc"); })) << "removed on the STOPPED report";
}

// ---- services that fail -------------------------------------------------------------------------

TEST_F(ServiceManagerTest, AProcessThatDiesWithoutReportingReadsAsAborted) {
  ScHandle service = Start("Svc", "dies");
  ASSERT_EQ(plat::SERVICE_STOPPED, WaitForState(service.get(), plat::SERVICE_STOPPED));
  EXPECT_EQ(plat::ERROR_PROCESS_ABORTED, Status(service.get()).dwWin32ExitCode);
  EXPECT_EQ((std::vector<DWORD>{4, 1}), LastStates("Svc", 2));
  ExpectRefused(service.get(), plat::SERVICE_CONTROL_INTERROGATE, plat::ERROR_SERVICE_NOT_ACTIVE,
                plat::SERVICE_STOPPED);
}

TEST_F(ServiceManagerTest, AMarkedServiceGoesWhenItsProcessIsFoundGone) {
  ScHandle service = StartRunning("Svc", "never-stops");
  plat::SERVICE_STATUS status = {};
  ASSERT_TRUE(plat::ControlService(service.get(), plat::SERVICE_CONTROL_STOP, &status));
  ASSERT_TRUE(plat::DeleteService(service.get()));
  EXPECT_TRUE(KeyExists("Svc")) << "stop pending is not stopped";
  // The process ends without reporting; the first query that finds it gone stops it and removes it.
  plat::HANDLE process = plat::OpenProcess(plat::PROCESS_TERMINATE, plat::FALSE, ProcessIdOf(service.get()));
  ASSERT_NE(nullptr, process);
  ASSERT_TRUE(plat::TerminateProcess(process, 1));
  plat::CloseHandle(process);
  ASSERT_EQ(plat::SERVICE_STOPPED, WaitForState(service.get(), plat::SERVICE_STOPPED));
  EXPECT_EQ(plat::ERROR_PROCESS_ABORTED, Status(service.get()).dwWin32ExitCode);
  EXPECT_FALSE(KeyExists("Svc"));
}

TEST_F(ServiceManagerTest, ARecordOfAReusedProcessIdReadsAsAborted) {
  ScHandle service = Create("Svc");
  const DWORD self = plat::GetCurrentProcessId();
  const uint64_t selfStart = plat::detail::ProcessStartTime(self);
  ASSERT_NE(0u, selfStart);
  struct Case {
    uint64_t recordedStart;
    DWORD state;
    DWORD exitCode;
  };
  // Our own process id is alive; only the start time tells whether it is the process recorded.
  for (const Case& c :
       {Case{selfStart, plat::SERVICE_RUNNING, 0}, Case{selfStart + 1, plat::SERVICE_STOPPED, 1067}}) {
    plat::detail::ServiceRuntime running;
    running.status = {plat::SERVICE_WIN32_OWN_PROCESS, plat::SERVICE_RUNNING, 1, 0, 0, 0, 0};
    running.processId = self;
    running.processStartTime = c.recordedStart;
    plat::detail::LockedServiceStatus("Svc").Store(running);
    EXPECT_EQ(c.state, Status(service.get()).dwCurrentState) << c.recordedStart - selfStart;
    EXPECT_EQ(c.exitCode, Status(service.get()).dwWin32ExitCode) << c.recordedStart - selfStart;
  }
}

TEST_F(ServiceManagerTest, AStartWithoutDispatcherTimesOut) {
  ScHandle service = Create("Svc", "no-dispatcher");
  const auto began = Clock::now();
  plat::SetLastError(0);
  {
    testsupport::ScopedTimeScale shortWaits(kShortWaits);
    EXPECT_FALSE(plat::StartServiceA(service.get(), 0, nullptr));
  }
  EXPECT_EQ(plat::ERROR_SERVICE_REQUEST_TIMEOUT, plat::GetLastError());
  EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(1400));  // 30 s scaled by 0.05
  EXPECT_EQ(plat::SERVICE_STOPPED, Status(service.get()).dwCurrentState);
  EXPECT_EQ((std::vector<DWORD>{2, 1}), HistoryStates("Svc"));
}

TEST_F(ServiceManagerTest, AStartOfAMissingProgramGivesItsError) {
  ScHandle service(plat::CreateServiceA(Manager(), "Svc", nullptr, plat::SERVICE_ALL_ACCESS, 0x10,
                                        plat::SERVICE_DEMAND_START, 1, "C:\\no\\such\\SERVICE.EXE", nullptr,
                                        nullptr, nullptr, nullptr, nullptr));
  plat::SetLastError(0);
  EXPECT_FALSE(plat::StartServiceA(service.get(), 0, nullptr));
  EXPECT_EQ(plat::ERROR_FILE_NOT_FOUND, plat::GetLastError());
  EXPECT_EQ(plat::SERVICE_STOPPED, Status(service.get()).dwCurrentState);

  ASSERT_TRUE(plat::ChangeServiceConfigA(service.get(), plat::SERVICE_NO_CHANGE, plat::SERVICE_DISABLED,
                                         plat::SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr));
  EXPECT_FALSE(plat::StartServiceA(service.get(), 0, nullptr));
  EXPECT_EQ(plat::ERROR_SERVICE_DISABLED, plat::GetLastError());
}

// ---- the service process side outside the manager -----------------------------------------------

void NoServiceMain(DWORD, plat::LPSTR*) {}
void NoHandler(DWORD) {}

TEST(ServiceProcessSide, CallsOutsideADispatchedProcessFail) {
  char name[] = "Svc";
  plat::SERVICE_TABLE_ENTRYA table[] = {{name, NoServiceMain}, {nullptr, nullptr}};
  plat::SetLastError(0);
  EXPECT_FALSE(plat::StartServiceCtrlDispatcherA(table));
  EXPECT_EQ(plat::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, plat::GetLastError());
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::RegisterServiceCtrlHandlerA("Svc", NoHandler));
  EXPECT_EQ(plat::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, plat::GetLastError());
  plat::SERVICE_STATUS status = {plat::SERVICE_WIN32_OWN_PROCESS, plat::SERVICE_RUNNING, 0, 0, 0, 0, 0};
  for (plat::SERVICE_STATUS_HANDLE bad : {static_cast<plat::SERVICE_STATUS_HANDLE>(nullptr),
                                          reinterpret_cast<plat::SERVICE_STATUS_HANDLE>(0x104)}) {
    plat::SetLastError(0);
    EXPECT_FALSE(plat::SetServiceStatus(bad, &status));
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
  }
}

TEST(ServiceProcessSide, AServiceProgramNotStartedByTheManagerFailsAtOnce) {
  testsupport::ScopedMachine machine;
  testsupport::TempDir dir;
  // Without markers, and with a name marker that no start of the manager stands behind. Unscaled, a
  // wait for a manager would take its full 30 s, far beyond what a start of the program takes.
  for (std::string environment : {"", "VELCORA_SERVICE_NAME=Svc "}) {
    std::string output;
    const auto began = Clock::now();
    const std::string command = "VELCORA_TIME_SCALE=1 " + environment + "\"" + TEST_SERVICE + "\" Svc";
    EXPECT_EQ(1u, RunShell(command, dir, output)) << environment;
    EXPECT_LT(Clock::now() - began, std::chrono::seconds(20)) << environment;
    EXPECT_EQ("StartServiceCtrlDispatcherA failed with error 1063\n", output) << environment;
  }
}

// ---- svcctl -------------------------------------------------------------------------------------

TEST_F(ServiceManagerTest, SvcctlQueriesStartsAndStops) {
  testsupport::TempDir dir;
  ScHandle service = Create("Svc");
  const std::string svcctl = std::string("\"") + SVCCTL + "\" ";
  std::string output;
  EXPECT_EQ(0u, RunShell(svcctl + "query Svc", dir, output));
  EXPECT_EQ("STOPPED (1) pid 0 exit 1077\n", output);

  ASSERT_EQ(0u, RunShell(svcctl + "start Svc", dir, output)) << output;
  ASSERT_EQ(plat::SERVICE_RUNNING, WaitForState(service.get(), plat::SERVICE_RUNNING));
  const DWORD processId = ProcessIdOf(service.get());
  EXPECT_EQ(0u, RunShell(svcctl + "query svc", dir, output));
  EXPECT_EQ("RUNNING (4) pid " + std::to_string(processId) + " exit 0\n", output);

  EXPECT_EQ(0u, RunShell(svcctl + "stop Svc", dir, output)) << output;
  ASSERT_EQ(plat::SERVICE_STOPPED, WaitForState(service.get(), plat::SERVICE_STOPPED));
  EXPECT_EQ(0u, RunShell(svcctl + "history Svc", dir, output));
  EXPECT_NE(std::string::npos, output.find(" START_PENDING (2) checkpoint 0 accepts 0 exit 0\n")) << output;
  EXPECT_NE(std::string::npos, output.find(" RUNNING (4) checkpoint 0 accepts 7 exit 0\n")) << output;
  EXPECT_NE(std::string::npos, output.find(" STOPPED (1) checkpoint 0 accepts 7 exit 0\n")) << output;

  EXPECT_EQ(1u, RunShell(svcctl + "stop Svc", dir, output));
  EXPECT_EQ("svcctl: error 1062: The service has not been started.\n", output);
  EXPECT_EQ(1u, RunShell(svcctl + "query Missing", dir, output));
  EXPECT_EQ("svcctl: error 1060: The specified service does not exist as an installed service.\n", output);
}

TEST_F(ServiceManagerTest, SvcctlConfigGivesAnEntryANewImagePathThatTheNextStartRuns) {
  testsupport::TempDir dir;
  // An entry whose program is not where its image path says, as one made from a copy that moved.
  ScHandle service(plat::CreateServiceA(Manager(), "Svc", "Shown Name", plat::SERVICE_ALL_ACCESS,
                                        plat::SERVICE_WIN32_OWN_PROCESS, plat::SERVICE_DEMAND_START,
                                        plat::SERVICE_ERROR_NORMAL, "C:\\gone\\SVC.EXE", nullptr, nullptr,
                                        nullptr, nullptr, nullptr));
  ASSERT_NE(nullptr, service.get());
  const std::string svcctl = std::string("\"") + SVCCTL + "\" ";
  std::string output;
  EXPECT_EQ(1u, RunShell(svcctl + "start Svc", dir, output));

  const std::string imagePath = ImagePath("Svc", "");
  DWORD type = 0;
  const auto storedImagePath = [&] { return std::string(ReadValue("Svc", "ImagePath", &type).c_str()); };
  ASSERT_EQ(0u, RunShell(svcctl + "config Svc '" + imagePath + "'", dir, output)) << output;
  EXPECT_NE(std::string::npos, output.find("image path: " + imagePath + "\n")) << output;
  EXPECT_NE(std::string::npos, output.find("display name: Shown Name\n")) << "the rest stays: " << output;
  EXPECT_EQ(imagePath, storedImagePath());

  ASSERT_EQ(0u, RunShell(svcctl + "start Svc", dir, output)) << output;
  Track("Svc", service.get());
  EXPECT_EQ(plat::SERVICE_RUNNING, WaitForState(service.get(), plat::SERVICE_RUNNING));

  // The image path is one argument; a second one is refused rather than joined or dropped.
  EXPECT_EQ(1u, RunShell(svcctl + "config Svc one two", dir, output));
  EXPECT_NE(std::string::npos, output.find("svcctl: error 87: ")) << output;
  EXPECT_EQ(imagePath, storedImagePath());
  EXPECT_EQ(1u, RunShell(svcctl + "config Missing '" + imagePath + "'", dir, output));
  EXPECT_EQ("svcctl: error 1060: The specified service does not exist as an installed service.\n", output);
}

TEST_F(ServiceManagerTest, SvcctlStartReturnsThroughAPipeWhileTheServiceRunsDetached) {
  testsupport::TempDir dir;
  ScHandle service = Create("Svc");
  // The pipe ends only when every process holding it has; a service that kept the caller's output
  // would keep the shell waiting for as long as it runs.
  EXPECT_NE(plat::STILL_ACTIVE, testsupport::RunShellLine(std::string("\"") + SVCCTL +
                                                          "\" start Svc | cat > '" + dir / "out.txt" + "'"))
      << "the start returns while the service runs";
  Track("Svc", service.get());
  EXPECT_EQ(plat::SERVICE_RUNNING, WaitForState(service.get(), plat::SERVICE_RUNNING));

  const std::string outputFile = plat::MachineDirectory() + "/services/svc.out";
  EXPECT_TRUE(testsupport::FileShowsWithin(outputFile, "ServiceMain Svc\n"));
  EXPECT_TRUE(testsupport::FileShowsWithin(outputFile, "on stderr\n"));
  struct stat status = {};
  ASSERT_EQ(0, stat(outputFile.c_str(), &status));
  EXPECT_EQ(0600u, status.st_mode & 0777) << "for the owner alone, as everything in the machine directory";

  const DWORD processId = ProcessIdOf(service.get());
  EXPECT_EQ(static_cast<pid_t>(processId), getsid(static_cast<pid_t>(processId))) << "a session of its own";
  char standardInput[64] = {};
  EXPECT_GT(readlink(("/proc/" + std::to_string(processId) + "/fd/0").c_str(), standardInput,
                     sizeof(standardInput) - 1),
            0);
  EXPECT_STREQ("/dev/null", standardInput);
}

}  // namespace
