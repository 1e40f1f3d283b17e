// Tests of how SIGTERM, SIGINT and SIGHUP reach a program on the start-up shim, and what its children get.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "support/eventually.h"
#include "support/service_log.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using plat::DWORD;

// One run of the signal probe; the signals go to it alone, never to the test.
class Probe {
 public:
  explicit Probe(const std::string& mode) {
    setenv("SIGNAL_PROBE_OUT", Output().c_str(), 1);
    std::string commandLine = "\"" + plat::ToWindowsPath(SIGNAL_PROBE) + "\" " + mode;
    plat::STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    m_isRunning = plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr,
                                       nullptr, &startup, &m_started) != 0;
    unsetenv("SIGNAL_PROBE_OUT");
  }
  ~Probe() {
    if (m_isRunning) kill(static_cast<pid_t>(m_started.dwProcessId), SIGKILL);
    ExitCodeWithin(30s);
    plat::CloseHandle(m_started.hProcess);
    plat::CloseHandle(m_started.hThread);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  bool isRunning() const { return m_isRunning; }
  std::string Output() const { return m_dir / "probe.txt"; }
  bool Shows(const std::string& text) { return testsupport::FileShowsWithin(Output(), text, 30s); }
  void Send(int signal) { kill(static_cast<pid_t>(m_started.dwProcessId), signal); }
  // The exit code, STILL_ACTIVE while the process runs after `timeout`.
  DWORD ExitCodeWithin(std::chrono::milliseconds timeout) {
    DWORD code = plat::STILL_ACTIVE;
    testsupport::Eventually(
        [&] { return !plat::GetExitCodeProcess(m_started.hProcess, &code) || code != plat::STILL_ACTIVE; },
        timeout);
    if (code != plat::STILL_ACTIVE) m_isRunning = false;
    return code;
  }

 private:
  testsupport::TempDir m_dir;
  plat::PROCESS_INFORMATION m_started = {};
  bool m_isRunning = false;
};

TEST(HostSignals, TheFirstClosesTheWindowsOrEndsTheProgramAndASecondEndsItAtOnce) {
  struct Case {
    const char* mode;
    std::vector<int> signals;
    const char* seenAfterTheFirst;  // null: nothing
    DWORD exitCode;                 // the layer's code of a process a signal ended is 128 + the signal
  } cases[] = {
      // The window procedure runs on the window's own thread, destroys the window, and the program
      // leaves its message loop and returns as it would after a close.
      {"window", {SIGINT}, "WM_CLOSE on the window's thread", 5},
      {"window", {SIGTERM}, "WM_CLOSE on the window's thread", 5},
      {"window", {SIGHUP}, "WM_CLOSE on the window's thread", 5},
      // Nothing to ask: the program ends as the signal ends any program.
      {"none", {SIGINT}, nullptr, 128 + SIGINT},
      {"none", {SIGTERM}, nullptr, 128 + SIGTERM},
      // A shutdown that does not end is cut short by the next signal.
      {"lingers", {SIGINT, SIGINT}, "WM_CLOSE on the window's thread", 128 + SIGINT},
      {"lingers", {SIGTERM, SIGHUP}, "WM_CLOSE on the window's thread", 128 + SIGHUP},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " signal " + std::to_string(c.signals.front()));
    Probe probe(c.mode);
    ASSERT_TRUE(probe.isRunning());
    ASSERT_TRUE(probe.Shows("ready"));
    for (size_t i = 0; i < c.signals.size(); ++i) {
      probe.Send(c.signals[i]);
      if (i == 0 && c.seenAfterTheFirst != nullptr) {
        EXPECT_TRUE(probe.Shows(c.seenAfterTheFirst));
      }
    }
    EXPECT_EQ(c.exitCode, probe.ExitCodeWithin(30s));
    EXPECT_EQ(std::string::npos, testsupport::ReadFile(probe.Output()).find("another thread"));
  }
}

// The signal mask (hexadecimal) that /proc shows for `processId`, "" when it cannot be read.
std::string BlockedSignals(const std::string& processId) {
  std::ifstream status("/proc/" + processId + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigBlk:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 7));
  return "";
}

TEST(HostSignals, AProgramStartedThroughTheLayerGetsTheSignalsAsAnyProgramDoes) {
  Probe probe("child");
  ASSERT_TRUE(probe.isRunning());
  ASSERT_TRUE(probe.Shows("child "));
  ASSERT_TRUE(probe.Shows("\n"));
  const std::string output = testsupport::ReadFile(probe.Output());
  const std::string child = output.substr(6, output.find('\n') - 6);
  const std::string blocked = BlockedSignals(child);
  // It would keep the test's output open for its ten minutes.
  kill(static_cast<pid_t>(std::stoi(child)), SIGKILL);
  EXPECT_EQ("0000000000000000", blocked) << "child " << child;
}

}  // namespace
