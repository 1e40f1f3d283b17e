// Starting and stopping the service program for one part of the bench.
#include "service_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "plat/handle.h"
#include "plat/path.h"
#include "plat/winsock.h"
#include "proc_info.h"
#include "support/velcora_process.h"

namespace bench {

void SetNoDelay(plat::SOCKET socket) {
  plat::BOOL on = plat::TRUE;
  plat::setsockopt(socket, plat::IPPROTO_TCP, plat::TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof(on));
}

const char kShippedLevel[] = "shipped";

ServiceRun::ServiceRun(std::string program, std::string logLevel, std::string providerConfig)
    : m_program(std::move(program)),
      m_logLevel(std::move(logLevel)),
      m_providerConfig(std::move(providerConfig)) {}

ServiceRun::~ServiceRun() {
  m_client.reset();
  if (!m_running) return;
  std::system(("kill -9 " + std::to_string(pid()) + " 2>/dev/null").c_str());
  plat::WaitForSingleObject(m_started.hProcess, 10000);
  plat::CloseHandle(m_started.hProcess);
  plat::CloseHandle(m_started.hThread);
}

// The shipped configuration (conf/log4cxx.xml) as it stands; else its file appender and layout, without
// the console and without rolling, at the chosen level. False when the shipped one cannot be read.
bool ServiceRun::WriteLogConfiguration() const {
  if (m_logLevel == kShippedLevel) {
    const std::string shipped = testsupport::ReadFile(SHIPPED_LOG_CONFIG);
    if (shipped.empty()) std::fprintf(stderr, "cannot read %s\n", SHIPPED_LOG_CONFIG);
    testsupport::WriteFile(m_dir / "log4cxx.xml", shipped);
    return !shipped.empty();
  }
  const std::string file = "    <param name=\"File\" value=\"" + LogFile() + "\"/>\n";
  const std::string root =
      "  <root><priority value=\"" + m_logLevel + "\"/><appender-ref ref=\"file\"/></root>\n";
  testsupport::WriteFile(m_dir / "log4cxx.xml",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<log4j:configuration xmlns:log4j=\"http://jakarta.apache.org/log4j/\">\n"
                         "  <appender name=\"file\" class=\"org.apache.log4j.FileAppender\">\n" +
                             file +
                             "    <layout class=\"org.apache.log4j.PatternLayout\">\n"
                             "      <param name=\"ConversionPattern\" "
                             "value=\"%d{yyyy-MM-dd HH:mm:ss.SSS} [%t] %-5p %x%m%n\"/>\n"
                             "    </layout>\n"
                             "  </appender>\n" +
                             root + "</log4j:configuration>\n");
  return true;
}

// The child inherits this process's standard output and error: they point at the console file while it
// is started, so that what the service prints there stays out of the bench's own output.
bool ServiceRun::Launch() {
  std::fflush(stdout);
  std::fflush(stderr);
  const int console = open(ConsoleFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int savedOut = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  const int savedError = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  if (console < 0 || savedOut < 0 || savedError < 0) return false;
  dup2(console, STDOUT_FILENO);
  dup2(console, STDERR_FILENO);
  // The working directory is set by the program's own switch, which the older builds know too.
  const bool launched = testsupport::LaunchVelcora(m_program, m_dir, &m_started,
                                                   "-cwd \"" + plat::ToWindowsPath(m_dir.path()) + "\"");
  dup2(savedOut, STDOUT_FILENO);
  dup2(savedError, STDERR_FILENO);
  close(savedOut);
  close(savedError);
  close(console);
  return launched;
}

bool ServiceRun::Running() const {
  plat::DWORD exitCode = 0;
  return plat::GetExitCodeProcess(m_started.hProcess, &exitCode) && exitCode == plat::STILL_ACTIVE;
}

bool ServiceRun::Start() {
  if (!WriteLogConfiguration()) return false;
  testsupport::WriteFile(m_dir / "VELCORA.INI",
                         "[General]\r\nloginPort=0\r\n" + testsupport::SimulatedProviderSetting(m_program));
  // The service inherits the provider's settings; nothing of a test or shell set-up leaks in.
  setenv("SIMTSP_CONTROL", ControlSocket().c_str(), 1);
  if (m_providerConfig.empty()) {
    unsetenv("SIMTSP_CONFIG");
  } else {
    testsupport::WriteFile(m_dir / "sim.cfg", m_providerConfig);
    setenv("SIMTSP_CONFIG", (m_dir / "sim.cfg").c_str(), 1);
  }
  unsetenv("VELCORA_TIME_SCALE");
  unsetenv("LOG4CXX_CONFIGURATION");

  if (!Launch()) {
    std::fprintf(stderr, "cannot start %s\n", m_program.c_str());
    return false;
  }
  m_running = true;

  // At WARN the log does not show the port, so it is read from the process's listening socket; the
  // probe's answer shows that the message loop runs.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline && Running()) {
    if (int port = ListeningPort(pid())) {
      m_client = std::make_unique<testsupport::TelvaneClient>(port);
      if (!m_client->connected()) break;
      SetNoDelay(m_client->socket());
      m_client->SendLine("PING 0");
      if (m_client->Receive(1, std::chrono::seconds(5)) == "LINE_REPLY 0 0\r\n") return true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::fprintf(stderr, "the service did not answer; its log:\n%s\n",
               testsupport::ReadFile(LogFile()).c_str());
  return false;
}

bool ServiceRun::OpenLine(const std::string& address, int clientLine) {
  const std::string number = std::to_string(clientLine);
  m_client->SendLine("TSPI_lineOpen 1 x x " + number + " x " + address);
  std::vector<std::string> lines = m_client->LinesUntil("LINE_ADDRESSSTATE " + number + " 0 0 64 0");
  return lines.front() == "LINE_REPLY 1 0" && lines.back() == "LINE_ADDRESSSTATE " + number + " 0 0 64 0";
}

}  // namespace bench
