// The real VELCORA.EXE started for an end-to-end test, with its own settings, log and free port.
#include "support/velcora_process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/telephony.h"
#include "plat/testing/time.h"
#include "plat/winsock.h"
#include "support/eventually.h"
#include "support/service_log.h"
#include "tapi.h"

namespace testsupport {

namespace {

// Whether any process holds a lock on a file of the shared sections of the machine directory.
bool IsAnySectionHeld() {
  std::error_code failure;
  for (const auto& entry :
       std::filesystem::directory_iterator(plat::MachineDirectory() + "/sections", failure)) {
    struct stat status = {};
    if (stat(entry.path().c_str(), &status) != 0) continue;
    char identity[64];
    std::snprintf(identity, sizeof(identity), " %02x:%02x:%llu ", major(status.st_dev), minor(status.st_dev),
                  static_cast<unsigned long long>(status.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);)
      if ((line + " ").find(identity) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

bool WaitUntilNoSectionIsHeld(std::chrono::milliseconds bound) {
  return Eventually([] { return !IsAnySectionHeld(); }, bound);
}

void PrepareServiceTest(const std::string& controlSocket) {
  plat::WSADATA data;
  plat::WSAStartup(plat::MAKEWORD(2, 0), &data);
  setenv("VELCORA_TIME_SCALE", "0.01", 1);
  plat::SetTimeScaleForTesting(1);
  if (!controlSocket.empty()) setenv("SIMTSP_CONTROL", controlSocket.c_str(), 1);
  EnterSimulatedProvider();
}

void EnterSimulatedProvider() {
  plat::DWORD id = 0;
  const plat::LONG entered = plat::lineAddProvider("SIMTSP.TSP", nullptr, &id);
  if (entered != 0 && entered != static_cast<plat::LONG>(LINEERR_NOMULTIPLEINSTANCE))
    ADD_FAILURE() << "the simulated provider was not entered in the provider list: " << entered;
}

std::string SimulatedProviderSetting(const std::string& program) {
  return "Driver=" + plat::ToWindowsPath(std::filesystem::path(program).parent_path().string()) +
         "\\SIMTSP.TSP\r\n";
}

std::string SettingsWithoutPort(const std::string& settingsFile) {
  std::istringstream lines(ReadFile(settingsFile));
  std::string settings;
  for (std::string line; std::getline(lines, line);)
    if (line != "[General]" && line.rfind("loginPort=", 0) != 0) settings += line + "\r\n";
  return settings;
}

VelcoraProcess::VelcoraProcess(std::string program, const TempDir& dir)
    : m_program(std::move(program)), m_dir(dir) {}

VelcoraProcess::~VelcoraProcess() {
  if (m_running) std::system(("kill -9 " + std::to_string(m_started.dwProcessId) + " 2>/dev/null").c_str());
  if (m_started.hProcess == nullptr) return;
  plat::CloseHandle(m_started.hProcess);
  plat::CloseHandle(m_started.hThread);
}

plat::DWORD VelcoraProcess::ExitCodeWithin(std::chrono::milliseconds timeout) {
  plat::DWORD code = plat::STILL_ACTIVE;
  Eventually(
      [&] { return !plat::GetExitCodeProcess(m_started.hProcess, &code) || code != plat::STILL_ACTIVE; },
      timeout);
  // Ended: nothing is left to kill, and its process id may already be another's.
  if (code != plat::STILL_ACTIVE) m_running = false;
  return code;
}

std::string VelcoraProcess::LogFile() const { return m_dir / "velcora.log"; }
std::string VelcoraProcess::Log() const { return ReadFile(LogFile()); }
void VelcoraProcess::PrintLog() const {
  std::printf("---- service log ----\n%s---- end ----\n", Log().c_str());
}

std::string VelcoraCommandLine(const std::string& program, const TempDir& dir, const std::string& switches) {
  return "\"" + plat::ToWindowsPath(program) + "\" " + (switches.empty() ? "" : switches + " ") + "-c \"" +
         plat::ToWindowsPath(dir / "VELCORA.INI") + "\" -l \"" + plat::ToWindowsPath(dir / "log4cxx.xml") +
         "\"";
}

bool LaunchVelcora(const std::string& program, const TempDir& dir, plat::PROCESS_INFORMATION* started,
                   const std::string& switches) {
  std::string commandLine = VelcoraCommandLine(program, dir, switches);
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = plat::STARTF_USESHOWWINDOW;
  startup.wShowWindow = 1;
  return plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                              &startup, started) != 0;
}

bool VelcoraProcess::Start(const std::string& settings, const std::string& logLevel) {
  WriteLogConfiguration(m_dir / "log4cxx.xml", LogFile(), logLevel);
  WriteFile(m_dir / "VELCORA.INI", "[General]\r\nloginPort=0\r\n" + settings);
  if (!LaunchVelcora(m_program, m_dir, &m_started)) return false;
  m_running = true;
  std::smatch match;
  std::string log;
  if (Eventually([&] {
        log = Log();
        return log.find("INFO Velcora: Service started") != std::string::npos &&
               std::regex_search(log, match, std::regex("Listening on port (\\d+)"));
      })) {
    m_port = std::stoi(match[1]);
    return true;
  }
  PrintLog();
  return false;
}

}  // namespace testsupport
