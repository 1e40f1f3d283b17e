// End to end: VELCORAREMOVE.EXE installs the real service program in a fresh machine directory, the
// layer's service command starts it and a client is served, and the tool takes everything away again.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "plat/machine.h"
#include "plat/path.h"
#include "plat/registry.h"
#include "plat/service.h"
#include "plat/winsock.h"
#include "support/eventually.h"
#include "support/recording_program.h"
#include "support/registry_value.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"
#include "support/test_service_entry.h"
#include "support/velcora_process.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testsupport::Eventually;

const std::string kBin = fs::path(VELCORA_EXE).parent_path().string();

// A port nobody listens on now.
int FreePort() {
  plat::SOCKET probe = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  plat::sockaddr_in address = {};
  address.sin_family = plat::AF_INET;
  address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  plat::bind(probe, reinterpret_cast<plat::sockaddr*>(&address), sizeof(address));
  int length = sizeof(address);
  plat::getsockname(probe, reinterpret_cast<plat::sockaddr*>(&address), &length);
  plat::closesocket(probe);
  return plat::ntohs(address.sin_port);
}

// The exit code of a shell command; -1 when it did not end normally.
int ExitCodeOf(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RemoveToolEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::WSADATA data;
    plat::WSAStartup(plat::MAKEWORD(2, 0), &data);
    // The tool's pauses (up to 19 s) pass twenty times faster where a step does not set its own factor.
    setenv("VELCORA_TIME_SCALE", "0.05", 1);
    setenv("VELCORA_DEBUG_OUTPUT", (m_machine.path() + "/debugger.txt").c_str(), 1);
    m_system = plat::SystemDirectoryHost();
    testsupport::EnterSimulatedProvider();
    // As the README installs it: both programs copied into the system directory.
    for (const char* program : {"VELCORA.EXE", "VELCORAREMOVE.EXE"})
      fs::copy_file(kBin + "/" + program, m_system + "/" + program);
    testsupport::WriteFile(m_system + "/VELCORA.CPL", "applet");
    m_port = FreePort();
    testsupport::WriteFile(m_system + "/VELCORA.INI", "[General]\r\nloginPort=" + std::to_string(m_port) +
                                                          "\r\nDriver=" + plat::ToWindowsPath(kBin) +
                                                          "\\SIMTSP.TSP\r\n");
    // The control-panel runner: a stand-in that notes how it was started.
    testsupport::WriteRecordingProgram(m_system + "/RUNDLL32.EXE", m_machine.path() + "/rundll32.txt");
  }
  void TearDown() override {
    if (HasFailure()) {
      std::cout << "--- debugger output\n"
                << testsupport::ReadFile(m_machine.path() + "/debugger.txt") << "\n";
      std::cout << "--- service states:";
      for (const plat::ServiceHistoryEntry& entry : plat::ReadServiceHistory("Velcora"))
        std::cout << " " << entry.state << "/" << entry.win32ExitCode;
      std::cout << "\n";
    }
    ExitCodeOf(Tool() + " /U");
    EXPECT_TRUE(testsupport::EndServiceProcess("Velcora")) << "a service left running outlives the test";
    unsetenv("VELCORA_DEBUG_OUTPUT");
    plat::WSACleanup();
  }

  std::string Tool() const { return "'" + m_system + "/VELCORAREMOVE.EXE'"; }
  std::string Svcctl() const { return "'" + kBin + "/svcctl'"; }

  static std::string Value(const char* key, const char* name) {
    return testsupport::RegistryValue(plat::HKEY_LOCAL_MACHINE, key, name);
  }

  static plat::DWORD State() {
    plat::SERVICE_STATUS_PROCESS status = {};
    return testsupport::QueryServiceProcess("Velcora", status) ? status.dwCurrentState : 0;
  }

  bool Served() const {
    testsupport::TelvaneClient client(m_port);
    if (!client.connected()) return false;
    client.SendLine("PING 1");
    return client.NextLine(2s) == "LINE_REPLY 1 0";
  }

  testsupport::ScopedMachine m_machine;
  std::string m_system;
  int m_port = 0;
};

TEST_F(RemoveToolEndToEnd, InstallStartServeAndRemove) {
  ASSERT_EQ(0, ExitCodeOf(Tool() + " /I"));

  const char* key = "SYSTEM\\CurrentControlSet\\Services\\Velcora";
  const std::string program = plat::ToWindowsPath(m_system) + "\\VELCORA.EXE";
  EXPECT_EQ(program, Value(key, "ImagePath")) << "beside the tool, unquoted, without arguments";
  EXPECT_EQ("Wendrath Velcora", Value(key, "DisplayName"));
  EXPECT_EQ("Provides a Telvane interface for TAPI devices", Value(key, "Description"));
  EXPECT_EQ("272", Value(key, "Type"));
  EXPECT_EQ("2", Value(key, "Start"));
  EXPECT_EQ("1", Value(key, "ErrorControl"));
  EXPECT_EQ(plat::SERVICE_STOPPED, State()) << "installing does not start it";
  // Started in the system directory, shown normally, with the applet's parameters.
  EXPECT_EQ(m_system + "|1|SHELL32.DLL,Control_RunDLL|VELCORA.CPL\n",
            testsupport::WaitForRecord(m_machine.path() + "/rundll32.txt"));

  // The manager waits for the service's dispatcher unscaled, however slowly the program starts on a busy
  // machine; the service, started with svcctl's environment, then runs unscaled as well.
  ASSERT_EQ(0, ExitCodeOf("VELCORA_TIME_SCALE=1 " + Svcctl() + " start Velcora"));
  ASSERT_TRUE(Eventually([&] { return State() == plat::SERVICE_RUNNING; }));
  ASSERT_TRUE(Eventually([&] { return Served(); })) << "a client is served on port " << m_port;
  // The start registered the event source, with the program in the system directory as message file.
  const char* source = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velcora";
  EXPECT_EQ("1", Value(source, "CategoryCount"));
  EXPECT_EQ("7", Value(source, "TypesSupported"));
  EXPECT_EQ(program, Value(source, "EventMessageFile"));
  EXPECT_EQ(program, Value(source, "ParameterMessageFile"));

  // The tool deletes the entry only once its hundred polls of 100 ms saw the service stopped. At twice
  // their length they last 20 s, far beyond the service's own stop (its pauses take under 4 s), however
  // busy the machine; the tool's other pauses then take 14 s.
  ASSERT_EQ(0, ExitCodeOf("VELCORA_TIME_SCALE=2 " + Tool() + " /U"));
  EXPECT_EQ(0u, State()) << "stopped and deleted";
  EXPECT_EQ("<no key>", Value(key, "ImagePath"));
  EXPECT_FALSE(fs::exists(m_system + "/VELCORA.EXE"));
  EXPECT_FALSE(fs::exists(m_system + "/VELCORA.CPL"));
  EXPECT_TRUE(fs::exists(m_system + "/VELCORA.INI")) << "the settings stay";
  EXPECT_EQ(program, Value(source, "EventMessageFile")) << "and so does the event source";
  // The process ends after its STOPPED report, in its own time.
  EXPECT_TRUE(Eventually([&] { return !Served(); })) << "still served on port " << m_port;

  EXPECT_EQ(0, ExitCodeOf(Tool() + " /U")) << "a machine without the entry";
}

TEST_F(RemoveToolEndToEnd, EveryCommandTextEndsWithExitCodeZero) {
  for (const char* text : {"", "I", "/Z", "'x I'", "-u", "/U"}) {
    EXPECT_EQ(0, ExitCodeOf(Tool() + " " + text)) << text;
    EXPECT_EQ(0u, State()) << text << ": no entry was made";
  }
  EXPECT_EQ("<no key>",
            Value("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velcora", "TypesSupported"))
      << "the tool has no event source of its own";
}

}  // namespace
