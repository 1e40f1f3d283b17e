// Tests of the install and remove tool in-process, against the layer's service manager, window tree
// and shell in a fresh machine directory.
#include "remove_tool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ToolFunktion.h"
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
#include "support/registry_value.h"
#include "support/temp_dir.h"
#include "support/test_service_entry.h"
#include "support/time_scale.h"

namespace {

std::string ServiceValue(const char* key, const char* name) {
  return testsupport::RegistryValue(plat::HKEY_LOCAL_MACHINE, key, name);
}

const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\Velcora";
constexpr plat::DWORD kAppletTag = 0xFE93852A;

class RemoveToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tool's own pauses (2 s, 100 ms, 2 s, 5 s) pass a hundred times faster. A test service that
    // never stops runs until it is ended, however long the tool's hundred polls take.
    plat::SetTimeScaleForTesting(0.01);
    plat::TakeDebugOutput();
    plat::TakeShellExecutions();
    std::filesystem::create_directories(m_toolDir.path());
  }
  void TearDown() override {
    plat::SetProgramFileNameForTesting(nullptr);
    EXPECT_TRUE(testsupport::EndServiceProcess("Velcora"));
    plat::SetTimeScaleForTesting(1);
  }

  // Makes the tool run from `directory` (a host path), with or without a VELCORA.EXE beside it.
  void PlaceTool(const std::string& directory, bool withService) {
    std::filesystem::create_directories(directory);
    if (withService) testsupport::WriteFile(directory + "/VELCORA.EXE", "program");
    plat::SetProgramFileNameForTesting(testsupport::WindowsForm(directory + "/VELCORAREMOVE.EXE").c_str());
  }

  static std::string SystemDirectory() { return plat::SystemDirectoryHost(); }
  static std::string SystemDirectoryWindows() { return testsupport::WindowsForm(SystemDirectory()); }

  static plat::QUERY_SERVICE_CONFIGA* Config(std::vector<char>& buffer) {
    buffer.assign(8192, 0);
    plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CONNECT);
    plat::SC_HANDLE service = plat::OpenServiceA(manager, "Velcora", plat::SERVICE_QUERY_CONFIG);
    auto* config = reinterpret_cast<plat::QUERY_SERVICE_CONFIGA*>(buffer.data());
    plat::DWORD needed = 0;
    bool read = service != nullptr &&
                plat::QueryServiceConfigA(service, config, static_cast<plat::DWORD>(buffer.size()), &needed);
    if (service != nullptr) plat::CloseServiceHandle(service);
    plat::CloseServiceHandle(manager);
    return read ? config : nullptr;
  }

  static std::string RegisteredPath() {
    std::vector<char> buffer;
    plat::QUERY_SERVICE_CONFIGA* config = Config(buffer);
    return config == nullptr ? "<no entry>" : config->lpBinaryPathName;
  }

  static std::string DebugText() {
    std::string all;
    for (const std::string& text : plat::TakeDebugOutput()) all += text;
    return all;
  }

  // Registers the test service program as "Velcora" in the given mode.
  static void InstallTestService(const std::string& mode) {
    ASSERT_TRUE(testsupport::InstallTestService(TEST_SERVICE, mode));
  }

  static bool WaitForState(plat::DWORD state) {
    return testsupport::Eventually(
        [state] { return TOOLFUNC_service::QueryServiceState("Velcora") == state; });
  }

  static void PlaceInstalledFiles() {
    testsupport::WriteFile(SystemDirectory() + "/VELCORA.EXE", "program");
    testsupport::WriteFile(SystemDirectory() + "/VELCORA.CPL", "applet");
  }
  static bool InSystemDirectory(const char* file) {
    return std::filesystem::exists(SystemDirectory() + "/" + file);
  }

  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_toolDir;
};

// ---- The command text

TEST_F(RemoveToolTest, OnlyTheSecondCharacterOfTheCommandTextChoosesTheCommand) {
  struct Case {
    const char* text;
    const char* action;  // "install", "remove" or "nothing"
  } const cases[] = {
      {"/I", "install"}, {"-i", "install"}, {"xI", "install"}, {"UI", "install"},
      {"/U", "remove"},  {"-u", "remove"},  {"IU", "remove"},  {"", "nothing"},
      {"I", "nothing"},  {"U", "nothing"},  {"/Z", "nothing"}, {"x I", "nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("command text \"") + c.text + "\"");
    testsupport::ScopedMachine machine;
    PlaceTool(m_toolDir.path(), true);
    PlaceInstalledFiles();
    if (std::string(c.action) == "remove") InstallTestService("");
    const bool existedBefore = TOOLFUNC_service::ServiceExists("Velcora") != 0;

    EXPECT_EQ(0, RunRemoveTool(c.text));

    const bool exists = TOOLFUNC_service::ServiceExists("Velcora") != 0;
    const bool removedFiles = !InSystemDirectory("VELCORA.EXE") && !InSystemDirectory("VELCORA.CPL");
    const bool appletOpened = !plat::TakeShellExecutions().empty();
    if (std::string(c.action) == "install") {
      EXPECT_TRUE(exists);
      EXPECT_TRUE(appletOpened);
      EXPECT_FALSE(removedFiles);
    } else if (std::string(c.action) == "remove") {
      EXPECT_TRUE(existedBefore);
      EXPECT_FALSE(exists);
      EXPECT_TRUE(removedFiles);
    } else {
      EXPECT_FALSE(exists);
      EXPECT_FALSE(appletOpened);
      EXPECT_FALSE(removedFiles);
    }
  }
  EXPECT_EQ(0, RunRemoveTool(nullptr));
}

// ---- Installing

TEST_F(RemoveToolTest, InstallCreatesTheEntryAsSpecifiedAndLeavesItStopped) {
  PlaceTool(m_toolDir.path(), true);
  RunInstall();

  std::vector<char> buffer;
  plat::QUERY_SERVICE_CONFIGA* config = Config(buffer);
  ASSERT_NE(nullptr, config);
  EXPECT_EQ(0x110u, config->dwServiceType);
  EXPECT_EQ(2u, config->dwStartType);
  EXPECT_EQ(1u, config->dwErrorControl);
  EXPECT_EQ(testsupport::WindowsForm(m_toolDir.path() + "/VELCORA.EXE"), config->lpBinaryPathName)
      << "beside the tool, unquoted, without arguments";
  EXPECT_STREQ("", config->lpLoadOrderGroup);
  EXPECT_EQ(0u, config->dwTagId);
  EXPECT_EQ('\0', config->lpDependencies[0]) << "no dependencies";
  EXPECT_STREQ("LocalSystem", config->lpServiceStartName);
  EXPECT_STREQ("Wendrath Velcora", config->lpDisplayName);
  EXPECT_EQ("Provides a Telvane interface for TAPI devices", ServiceValue(kServiceKey, "Description"));
  EXPECT_EQ(testsupport::WindowsForm(m_toolDir.path() + "/VELCORA.EXE"),
            ServiceValue(kServiceKey, "ImagePath"));
  EXPECT_EQ(plat::SERVICE_STOPPED, TOOLFUNC_service::QueryServiceState("Velcora")) << "not started";
  EXPECT_EQ("", DebugText()) << "no error to trace";
}

TEST_F(RemoveToolTest, TheRegisteredPathAndWhatGoesToTheDebugger) {
  const std::string deep = m_toolDir.path() + "/" + std::string(130, 'd');
  const std::string blank = m_toolDir.path() + "/with blank";
  struct Case {
    const char* name;
    std::string toolDir;
    bool serviceBeside;
    std::string registered;  // "<no entry>" when nothing may be created
    std::string debugger;
  } const cases[] = {
      {"the program beside the tool", m_toolDir.path(), true,
       testsupport::WindowsForm(m_toolDir.path() + "/VELCORA.EXE"), ""},
      {"no program beside the tool: the system directory's, there or not", m_toolDir.path() + "/bare", false,
       "<system directory>\\VELCORA.EXE", ""},
      {"a path with a blank is quoted", blank, true,
       "\"" + testsupport::WindowsForm(blank + "/VELCORA.EXE") + "\"", ""},
      {"a path over 126 characters is not registered cut", deep, true, "<no entry>",
       "The filename or extension is too long."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScopedMachine machine;
    PlaceTool(c.toolDir, c.serviceBeside);
    RunInstall();
    std::string registered = c.registered;
    if (registered.rfind("<system directory>", 0) == 0) registered.replace(0, 18, SystemDirectoryWindows());
    EXPECT_EQ(registered, RegisteredPath());
    EXPECT_LE(RegisteredPath().size(), 126u);
    EXPECT_EQ(c.debugger, DebugText().substr(0, c.debugger.size()));
    EXPECT_EQ(1u, plat::TakeShellExecutions().size()) << "the applet is opened in every case";
  }
}

TEST_F(RemoveToolTest, ASystemDirectoryOver126CharactersIsNotRegisteredAtAll) {
  testsupport::ScopedMachine machine;
  const std::string deep = std::string(std::getenv("VELCORA_MACHINE")) + "/" + std::string(120, 'm');
  setenv("VELCORA_MACHINE", deep.c_str(), 1);  // the scoped machine puts its own back
  ASSERT_GT(SystemDirectoryWindows().size(), 126u);
  PlaceTool(m_toolDir.path() + "/bare", false);
  RunInstall();
  EXPECT_EQ("<no entry>", RegisteredPath()) << "neither cut nor the bare program name";
  EXPECT_EQ("The filename or extension is too long.", DebugText().substr(0, 38));
}

TEST_F(RemoveToolTest, AToolPathTooLongForItsBufferCountsAsNoProgramBesideIt) {
  // Cut to its buffer, the tool's path would end inside the name of its own directory, so the directory
  // of the cut path is the one above: its VELCORA.EXE must not be taken for the tool's.
  const std::string above = testsupport::DirectoryOfWindowsLength(m_toolDir.path(), 230);
  const std::string toolDir = above + "/" + std::string(40, 't');
  testsupport::WriteFile(above + "/VELCORA.EXE", "not the tool's");
  PlaceTool(toolDir, true);
  RunInstall();
  EXPECT_EQ(SystemDirectoryWindows() + "\\VELCORA.EXE", RegisteredPath());
}

TEST_F(RemoveToolTest, ASystemDirectoryTooLongForThePathsTouchesNothingElsewhere) {
  // "\VELCORA.EXE" and "\VELCORA.CPL" take 12 of a path's 258 characters; the runner needs the system
  // directory alone, within 258.
  for (size_t length : {246, 247, 257, 258, 259, 300}) {
    SCOPED_TRACE(length);
    testsupport::ScopedMachine machine(length);
    ASSERT_EQ(length, SystemDirectoryWindows().size());
    testsupport::TempDir caller;
    testsupport::WriteFile(caller / "VELCORA.EXE", "decoy");
    testsupport::WriteFile(caller / "VELCORA.CPL", "decoy");
    testsupport::ScopedCurrentDirectory inCaller(caller.path());
    PlaceTool(m_toolDir.path() + "/bare", false);

    RunInstall();
    EXPECT_EQ("<no entry>", RegisteredPath()) << "over 126 characters";
    EXPECT_EQ("The filename or extension is too long.", DebugText().substr(0, 38));
    EXPECT_EQ(length <= 258 ? 1u : 0u, plat::TakeShellExecutions().size()) << "the applet's runner";

    PlaceInstalledFiles();
    RunUninstall();
    EXPECT_EQ(length > 246, InSystemDirectory("VELCORA.EXE"));
    EXPECT_EQ(length > 246, InSystemDirectory("VELCORA.CPL"));
    EXPECT_EQ("decoy", testsupport::ReadFile(caller / "VELCORA.EXE")) << "never the bare name";
    EXPECT_EQ("decoy", testsupport::ReadFile(caller / "VELCORA.CPL"));
  }
}

TEST_F(RemoveToolTest, InstallingOverAnEntryTracesTheFailureAndStillOpensTheApplet) {
  PlaceTool(m_toolDir.path(), true);
  RunInstall();
  plat::TakeShellExecutions();
  plat::TakeDebugOutput();
  PlaceTool(m_toolDir.path() + "/elsewhere", true);
  RunInstall();
  EXPECT_EQ(testsupport::WindowsForm(m_toolDir.path() + "/VELCORA.EXE"), RegisteredPath())
      << "left as it was";
  EXPECT_EQ("The specified service already exists.", DebugText().substr(0, 37));
  EXPECT_EQ(1u, plat::TakeShellExecutions().size());
}

// ---- The settings applet

TEST_F(RemoveToolTest, TheAppletIsStartedThroughTheRunnerOrItsWindowRaised) {
  PlaceTool(m_toolDir.path(), true);
  RunInstall();
  std::vector<plat::ShellExecution> started = plat::TakeShellExecutions();
  ASSERT_EQ(1u, started.size());
  EXPECT_EQ(nullptr, started[0].owner);
  EXPECT_EQ("RUNDLL32.EXE", started[0].file);
  EXPECT_EQ("SHELL32.DLL,Control_RunDLL VELCORA.CPL", started[0].parameters);
  EXPECT_EQ(SystemDirectoryWindows(), started[0].directory);

  plat::HWND other = plat::CreateWindowForTesting(nullptr, 0x1234);
  plat::HWND applet = plat::CreateWindowForTesting(nullptr, static_cast<plat::LONG_PTR>(kAppletTag));
  plat::SetForegroundWindow(other);
  testsupport::ScopedMachine fresh;
  RunInstall();
  EXPECT_TRUE(plat::TakeShellExecutions().empty()) << "an open applet is not started again";
  EXPECT_EQ(applet, plat::GetForegroundWindow());
  plat::RemoveWindowForTesting(other);
  plat::RemoveWindowForTesting(applet);
}

TEST_F(RemoveToolTest, RemoveClosesTheAppletWindowFirst) {
  plat::HWND applet = plat::CreateWindowForTesting(nullptr, static_cast<plat::LONG_PTR>(kAppletTag));
  plat::HWND child = plat::CreateWindowForTesting(applet, 0);
  ASSERT_TRUE(plat::IsWindow(applet));
  RunUninstall();
  EXPECT_FALSE(plat::IsWindow(applet)) << "WM_CLOSE, which the default handling answers by destroying it";
  EXPECT_FALSE(plat::IsWindow(child));
}

// ---- Removing

TEST_F(RemoveToolTest, RemoveStopsAndDeletesTheServiceAndTheInstalledFiles) {
  struct Case {
    const char* name;
    const char* mode;  // of the test service; null: no entry
    bool running;
    bool entryStays;
  } const cases[] = {
      {"no entry", nullptr, false, false},
      {"a stopped service", "", false, false},
      {"a running service", "", true, false},
      {"a service that does not stop", "never-stops", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ScopedMachine machine;
    PlaceTool(m_toolDir.path(), true);
    PlaceInstalledFiles();
    if (c.mode != nullptr) InstallTestService(c.mode);
    if (c.running) {
      // The manager waits for the service's dispatcher unscaled, however slowly the program starts.
      testsupport::ScopedTimeScale unscaled(1);
      ASSERT_NE(0, TOOLFUNC_service::ControlServiceByName(0, "Velcora", plat::SC_MANAGER_ALL_ACCESS,
                                                          plat::SERVICE_ALL_ACCESS));
      ASSERT_TRUE(WaitForState(plat::SERVICE_RUNNING));
    }

    {
      // A service that stops has stopped before the tool's polls run out, whatever the machine does.
      std::optional<testsupport::PausesWaitForTheStop> pollsOutlastTheStop;
      if (!c.entryStays) pollsOutlastTheStop.emplace("Velcora", 100);
      RunUninstall();
    }

    EXPECT_EQ(c.entryStays, TOOLFUNC_service::ServiceExists("Velcora") != 0);
    EXPECT_FALSE(InSystemDirectory("VELCORA.EXE"));
    EXPECT_FALSE(InSystemDirectory("VELCORA.CPL"));
    EXPECT_TRUE(std::filesystem::exists(m_toolDir.path() + "/VELCORA.EXE"))
        << "the copy beside the tool stays";
    EXPECT_EQ("", DebugText()) << "nothing is shown";
    EXPECT_TRUE(testsupport::EndServiceProcess("Velcora"));
  }
}

TEST_F(RemoveToolTest, RemoveSendsNoStopToAStoppedService) {
  InstallTestService("");
  RunUninstall();
  EXPECT_FALSE(TOOLFUNC_service::ServiceExists("Velcora"));
  EXPECT_TRUE(plat::ReadServiceHistory("Velcora").empty()) << "no control reached it";
}

}  // namespace
