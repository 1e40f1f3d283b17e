// The real VELCORA.EXE started for an end-to-end test, with its own settings, log and free port.
#pragma once

#include <chrono>
#include <string>

#include "plat/process.h"
#include "support/temp_dir.h"

namespace testsupport {

// What every end-to-end test of the service sets up first: sockets started, the service's own pauses a
// hundred times shorter while this process keeps real time, and, when a path is given, the simulated
// provider's control socket there. Also enters the simulated provider in the provider list of the
// machine directory (see EnterSimulatedProvider).
void PrepareServiceTest(const std::string& controlSocket = "");
// Enters SIMTSP.TSP in the telephony provider list of the machine directory once, as its setup would, so a
// start finds its permanent identifier; a test fails when it cannot be entered.
void EnterSimulatedProvider();
// The settings line that names the simulated provider beside `program` (a host path), CR LF ended.
std::string SimulatedProviderSetting(const std::string& program);

// The lines of the settings file `settingsFile` below its section line, CR LF ended, the port left out,
// for VelcoraProcess::Start: a test runs beside others and takes a free port.
std::string SettingsWithoutPort(const std::string& settingsFile);

// The command line that starts `program` with `switches` (e.g. "-D") and the VELCORA.INI and log4cxx.xml
// of `dir`.
std::string VelcoraCommandLine(const std::string& program, const TempDir& dir,
                               const std::string& switches = "");
// Starts that command line in application mode; false when it cannot be started.
bool LaunchVelcora(const std::string& program, const TempDir& dir, plat::PROCESS_INFORMATION* started,
                   const std::string& switches = "");

// Waits, at most `bound`, until no process holds a shared section of the machine directory, as every
// process of the program does while it runs; false when one still does then. The hold of a program that
// has ended can outlast its process entry for a moment, while the kernel releases its file: a start in
// that moment still counts it.
bool WaitUntilNoSectionIsHeld(std::chrono::milliseconds bound);

class VelcoraProcess {
 public:
  // `program` is the host path of VELCORA.EXE; `dir` holds its settings and log.
  VelcoraProcess(std::string program, const TempDir& dir);
  ~VelcoraProcess();
  VelcoraProcess(const VelcoraProcess&) = delete;
  VelcoraProcess& operator=(const VelcoraProcess&) = delete;

  // Writes VELCORA.INI with `settings` (lines of the [General] section, CR LF ended) behind a free port,
  // starts the program in application mode, logging `logLevel` and above, and waits until it listens.
  // False (and the log printed) when it does not within 20 s.
  bool Start(const std::string& settings, const std::string& logLevel = "all");
  plat::DWORD processId() const { return m_started.dwProcessId; }
  // The exit code once the program has ended, waiting up to `timeout` for it; STILL_ACTIVE while it
  // runs.
  plat::DWORD ExitCodeWithin(std::chrono::milliseconds timeout);
  int port() const { return m_port; }
  std::string Log() const;
  std::string LogFile() const;
  // Prints the log; for a test that failed.
  void PrintLog() const;

 private:
  std::string m_program;
  const TempDir& m_dir;
  plat::PROCESS_INFORMATION m_started = {};
  bool m_running = false;
  int m_port = 0;
};

}  // namespace testsupport
