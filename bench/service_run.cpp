// Starting and stopping the service program for one part of the bench.
#include "service_run.h"

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

ServiceRun::ServiceRun(std::string logLevel, std::string providerConfig)
    : m_logLevel(std::move(logLevel)), m_providerConfig(std::move(providerConfig)) {}

ServiceRun::~ServiceRun() {
  m_client.reset();
  if (!m_running) return;
  std::system(("kill -9 " + std::to_string(pid()) + " 2>/dev/null").c_str());
  plat::WaitForSingleObject(m_started.hProcess, 10000);
  plat::CloseHandle(m_started.hProcess);
  plat::CloseHandle(m_started.hThread);
}

// The file appender and layout of the shipped configuration (conf/log4cxx.xml), without the console and
// without rolling, at the chosen level.
void ServiceRun::WriteLogConfiguration() const {
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
}

bool ServiceRun::Running() const {
  plat::DWORD exitCode = 0;
  return plat::GetExitCodeProcess(m_started.hProcess, &exitCode) && exitCode == plat::STILL_ACTIVE;
}

bool ServiceRun::Start() {
  WriteLogConfiguration();
  testsupport::WriteFile(m_dir / "VELCORA.INI", "[General]\r\nloginPort=0\r\nDriver=" +
                                                    plat::ToWindowsPath(SIMTSP_DIR) + "\\SIMTSP.TSP\r\n");
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

  if (!testsupport::LaunchVelcora(VELCORA_EXE, m_dir, &m_started)) {
    std::fprintf(stderr, "cannot start %s\n", VELCORA_EXE);
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
