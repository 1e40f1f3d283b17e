// Tests of the service tools against the layer's service manager and its test service program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/registry.h"
#include "plat/service.h"
#include "plat/testing/debug.h"
#include "plat/testing/module.h"
#include "plat/testing/shell.h"
#include "plat/testing/time.h"
#include "plat/testing/window.h"
#include "plat/window.h"
#include "support/eventually.h"
#include "support/recording_program.h"
#include "support/registry_value.h"
#include "support/temp_dir.h"
#include "support/test_service_entry.h"

using namespace TOOLFUNC_service;

namespace {

const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\Velcora";

class ServiceToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::TakeMessageBoxes();
    plat::TakeShellExecutions();
  }
  // A service still running, one that never stops too, would outlive the machine directory of the test.
  void TearDown() override { EXPECT_TRUE(testsupport::EndServiceProcess("Velcora")); }

  // Registers the test service program as "Velcora" in the given mode.
  static void InstallTestService(const std::string& mode = "") {
    ASSERT_TRUE(testsupport::InstallTestService(TEST_SERVICE, mode));
  }

  static bool WaitForState(plat::DWORD state) {
    return testsupport::Eventually([state] { return QueryServiceState("Velcora") == state; });
  }

  static std::string ServiceValue(const char* name) {
    return testsupport::RegistryValue(plat::HKEY_LOCAL_MACHINE, kServiceKey, name);
  }

  static plat::DWORD ServiceNumber(const char* name) {
    TOOLFUNC_registry::CRegTool key;
    key.OpenExisting(plat::HKEY_LOCAL_MACHINE, kServiceKey);
    plat::DWORD number = 0;
    key.ReadDword(name, &number, 0xDEAD);
    return number;
  }

  testsupport::ScopedMachine m_machine;
};

TEST_F(ServiceToolsTest, CreateServiceExRegistersTheServiceModeCommandLine) {
  EXPECT_EQ(1, CreateServiceEx(0, "Velcora", "D:\\tel\\VELCORA.EXE", plat::SERVICE_DEMAND_START, "\0",
                               nullptr, nullptr));
  EXPECT_EQ(
      "\"D:\\tel\\VELCORA.EXE\" -D -C \"D:\\tel\\VELCORA.ini\" -L \"D:\\tel\\log4j-config.xml\" -cwd "
      "\"D:\\tel\\\"",
      ServiceValue("ImagePath"));
  EXPECT_EQ("Velcora", ServiceValue("DisplayName")) << "the name stands in for a missing display name";
  EXPECT_EQ("<no value>", ServiceValue("Description"));
  EXPECT_EQ(0x10u, ServiceNumber("Type"));
  EXPECT_EQ(3u, ServiceNumber("Start"));
  EXPECT_EQ(1u, ServiceNumber("ErrorControl"));
  EXPECT_EQ(3u, QueryServiceStartType("Velcora"));

  EXPECT_EQ(0, CreateServiceEx(0, "Velcora", "C:\\other\\X.EXE", plat::SERVICE_AUTO_START, "\0", "changed",
                               "Changed"));
  EXPECT_EQ("Velcora", ServiceValue("DisplayName")) << "an existing entry stays as it was";
}

TEST_F(ServiceToolsTest, InstallServiceRegistersTheRunningProgram) {
  plat::SetProgramFileNameForTesting("C:\\Program Files\\Velcora\\VELCORA.EXE");
  EXPECT_EQ(1, InstallService());
  plat::SetProgramFileNameForTesting(nullptr);
  EXPECT_EQ(
      "\"C:\\Program Files\\Velcora\\VELCORA.EXE\" -D -C \"C:\\Program Files\\Velcora\\VELCORA.ini\" -L "
      "\"C:\\Program Files\\Velcora\\log4j-config.xml\" -cwd \"C:\\Program Files\\Velcora\\\"",
      ServiceValue("ImagePath"));
  EXPECT_EQ("Wendrath Velcora", ServiceValue("DisplayName"));
  EXPECT_EQ("Provides a Telvane interface for TAPI devices", ServiceValue("Description"));
  EXPECT_EQ(0x110u, ServiceNumber("Type"));
  EXPECT_EQ(2u, QueryServiceStartType("Velcora"));
}

TEST_F(ServiceToolsTest, ToolsOnAMissingServiceFail) {
  EXPECT_EQ(0, ServiceExists("Velcora"));
  EXPECT_EQ(0u, QueryServiceState("Velcora"));
  EXPECT_EQ(0u, QueryServiceStartType("Velcora"));
  EXPECT_EQ(0, ControlServiceByName(0, "Velcora", plat::SC_MANAGER_ALL_ACCESS, plat::SERVICE_ALL_ACCESS));
  EXPECT_EQ(0, RemoveService("Velcora"));
  EXPECT_EQ(1, EnsureServiceStopped());
  EXPECT_TRUE(plat::TakeMessageBoxes().empty());
}

TEST_F(ServiceToolsTest, StartQueryStopAndRemove) {
  InstallTestService();
  EXPECT_EQ(1, ServiceExists("Velcora"));
  EXPECT_EQ(plat::SERVICE_STOPPED, QueryServiceState("Velcora"));
  EXPECT_EQ(1, EnsureServiceStopped()) << "a stopped service gets no stop control";
  EXPECT_TRUE(plat::ReadServiceHistory("Velcora").empty());

  EXPECT_NE(0, ControlServiceByName(0, "Velcora", plat::SC_MANAGER_ALL_ACCESS, plat::SERVICE_ALL_ACCESS));
  EXPECT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  EXPECT_NE(0, ControlServiceByName(plat::SERVICE_CONTROL_PAUSE, "Velcora", plat::SC_MANAGER_ALL_ACCESS,
                                    plat::SERVICE_ALL_ACCESS));
  EXPECT_TRUE(WaitForState(plat::SERVICE_PAUSED));
  EXPECT_NE(0, ControlServiceByName(plat::SERVICE_CONTROL_CONTINUE, "Velcora", plat::SC_MANAGER_ALL_ACCESS,
                                    plat::SERVICE_ALL_ACCESS));
  EXPECT_TRUE(WaitForState(plat::SERVICE_RUNNING));

  {
    testsupport::PausesWaitForTheStop pollsOutlastTheStop("Velcora", 100);
    EXPECT_EQ(1, EnsureServiceStopped());
  }
  EXPECT_EQ(plat::SERVICE_STOPPED, QueryServiceState("Velcora"));
  EXPECT_TRUE(plat::TakeMessageBoxes().empty());
  EXPECT_NE(0, RemoveService("Velcora"));
  EXPECT_EQ(0, ServiceExists("Velcora"));
}

TEST_F(ServiceToolsTest, EnsureServiceStoppedGivesUpAfterAHundredPolls) {
  InstallTestService("never-stops");
  ASSERT_NE(0, ControlServiceByName(0, "Velcora", plat::SC_MANAGER_ALL_ACCESS, plat::SERVICE_ALL_ACCESS));
  ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
  std::vector<plat::DWORD> sleeps;
  plat::SetSleepObserver([&sleeps](plat::DWORD milliseconds) { sleeps.push_back(milliseconds); });
  double scale = plat::TimeScale();
  plat::SetTimeScaleForTesting(0);
  EXPECT_EQ(0, EnsureServiceStopped());
  plat::SetTimeScaleForTesting(scale);
  plat::SetSleepObserver(nullptr);

  EXPECT_EQ(std::vector<plat::DWORD>(100, 100), sleeps);
  std::vector<plat::MessageBoxRecord> boxes = plat::TakeMessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Please stop Service and try again.", boxes[0].text);
  EXPECT_EQ("Installation abortet", boxes[0].caption);
  EXPECT_EQ(0x40040u, boxes[0].type);
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ(1, ServiceExists("Velcora")) << "the service stays installed";
}

TEST_F(ServiceToolsTest, GetServiceImagePathFallsBackToTheRunningProgram) {
  char program[260];
  plat::GetModuleFileNameA(nullptr, program, sizeof(program));
  EXPECT_STREQ(program, GetServiceImagePath("Velcora"));
  plat::HKEY key = nullptr;
  EXPECT_EQ(2, plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, kServiceKey, 0, plat::KEY_READ, &key))
      << "asking does not create the key";

  InstallTestService("stop-only");
  EXPECT_STREQ(program, GetServiceImagePath("Velcora")) << "a quoted path with arguments names no file";

  std::string plain = plat::ToWindowsPath(TEST_SERVICE);
  TOOLFUNC_registry::CRegTool entry;
  ASSERT_EQ(0, entry.OpenExisting(plat::HKEY_LOCAL_MACHINE, kServiceKey));
  entry.WriteString("ImagePath", plain.c_str());
  EXPECT_EQ(plain, GetServiceImagePath("Velcora"));
}

TEST_F(ServiceToolsTest, ServiceTypeChangesKeepTheRest) {
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS);
  plat::SC_HANDLE tapi = plat::CreateServiceA(manager, "tapisrv", "Telephony", plat::SERVICE_ALL_ACCESS, 0x20,
                                              plat::SERVICE_DEMAND_START, plat::SERVICE_ERROR_NORMAL,
                                              "C:\\svchost.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, tapi);
  plat::CloseServiceHandle(tapi);
  plat::CloseServiceHandle(manager);

  SetTapiServiceOwnProcess();
  TOOLFUNC_registry::CRegTool key;
  ASSERT_EQ(0, key.OpenExisting(plat::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\tapisrv"));
  plat::DWORD type = 0;
  key.ReadDword("Type", &type, 0);
  EXPECT_EQ(0x10u, type);
  EXPECT_EQ(3u, QueryServiceStartType("tapisrv"));

  ChangeServiceTypeAndDependencies(0x110, "tapisrv", "RpcSs\0PlugPlay\0");
  key.ReadDword("Type", &type, 0);
  EXPECT_EQ(0x110u, type);
  char dependencies[64] = {};
  EXPECT_EQ(0, key.ReadBinary("DependOnService", dependencies, sizeof(dependencies)));
  EXPECT_EQ(std::string("RpcSs\0PlugPlay\0", 15), std::string(dependencies, 15));
}

TEST_F(ServiceToolsTest, OpenControlPanelAppletStartsTheRunnerWithoutAnAppletWindow) {
  testsupport::TempDir dir;
  std::string record = dir / "runner.txt";
  testsupport::WriteRecordingProgram(plat::SystemDirectoryHost() + "/RUNDLL32.EXE", record);
  OpenControlPanelApplet(nullptr, AppletWindowTag, "VELCORA.CPL");
  EXPECT_EQ(plat::SystemDirectoryHost() + "|1|SHELL32.DLL,Control_RunDLL|VELCORA.CPL\n",
            testsupport::WaitForRecord(record));

  plat::HWND applet = plat::CreateWindowForTesting(nullptr, 0);
  OpenControlPanelApplet(nullptr, 0, "VELCORA.CPL");
  std::vector<plat::ShellExecution> calls = plat::TakeShellExecutions();
  EXPECT_EQ(2u, calls.size()) << "tag 0 always starts the runner";
  plat::RemoveWindowForTesting(applet);
}

TEST_F(ServiceToolsTest, OpenControlPanelAppletStartsNothingWithoutTheWholeSystemDirectory) {
  for (size_t length : {257, 258, 259, 300}) {
    SCOPED_TRACE(length);
    testsupport::ScopedMachine machine(length);
    OpenControlPanelApplet(nullptr, AppletWindowTag, "VELCORA.CPL");
    std::vector<plat::ShellExecution> calls = plat::TakeShellExecutions();
    if (length <= 258) {
      ASSERT_EQ(1u, calls.size());
      EXPECT_EQ(testsupport::WindowsForm(plat::SystemDirectoryHost()), calls[0].directory);
    } else {
      EXPECT_TRUE(calls.empty()) << "the runner would look for the applet wherever the caller stands";
    }
  }
}

TEST_F(ServiceToolsTest, AProgramPathTooLongForItsBufferIsNeverRegistered) {
  const std::string path = "C:\\" + std::string(240, 'a') + "\\" + std::string(20, 'b') + "\\VELCORA.EXE";
  plat::SetProgramFileNameForTesting(path.c_str());
  EXPECT_EQ(0, InstallService()) << "a cut path would start some other program";
  EXPECT_EQ(0, ServiceExists("Velcora"));
  EXPECT_STREQ("", GetServiceImagePath("Velcora"));
  plat::SetProgramFileNameForTesting(nullptr);
}

TEST_F(ServiceToolsTest, OpenControlPanelAppletRaisesAnOpenAppletWindow) {
  plat::HWND applet = plat::CreateWindowForTesting(nullptr, static_cast<plat::LONG_PTR>(AppletWindowTag));
  plat::HWND other = plat::CreateWindowForTesting(nullptr, 0);
  plat::ShowWindow(applet, 2);
  OpenControlPanelApplet(nullptr, AppletWindowTag, "VELCORA.CPL");
  EXPECT_TRUE(plat::TakeShellExecutions().empty());
  EXPECT_EQ(applet, plat::GetForegroundWindow());
  EXPECT_FALSE(plat::IsIconic(applet));
  plat::RemoveWindowForTesting(other);
  plat::RemoveWindowForTesting(applet);
}

}  // namespace
