// One run of a VELCORA.EXE for the bench: fresh machine directory, chosen log level or the shipped log
// configuration, simulated provider, and the one Telvane client it serves.
#pragma once

#include <memory>
#include <string>

#include "plat/process.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"

namespace bench {

// The log level that stands for the project's own conf/log4cxx.xml, as it is shipped.
extern const char kShippedLevel[];

class ServiceRun {
 public:
  // `program` is the host path of the VELCORA.EXE to run, with the SIMTSP.TSP beside it as provider.
  // `logLevel` is a log4cxx level name ("WARN", "INFO") for the shipped file layout alone, or
  // kShippedLevel; `providerConfig` the text of the provider's configuration file, empty for its defaults
  // (four lines, addresses 201 to 204).
  ServiceRun(std::string program, std::string logLevel, std::string providerConfig = "");
  ~ServiceRun();
  ServiceRun(const ServiceRun&) = delete;
  ServiceRun& operator=(const ServiceRun&) = delete;

  // Starts the program in application mode with loginPort=0, the temporary directory its working
  // directory and its console output in ConsoleFile(), and waits up to 20 s until it answers a probe on
  // the port it listens on. False, with the reason on stderr, when it does not.
  bool Start();
  unsigned pid() const { return m_started.dwProcessId; }
  // The connected client, TCP_NODELAY set; the service takes one client at a time, so this is the one.
  testsupport::TelvaneClient& client() { return *m_client; }
  // Opens the line of `address` under the client's line number `clientLine`; false unless the service
  // reports it opened (its reply and the address state line that follows).
  bool OpenLine(const std::string& address, int clientLine);
  std::string ControlSocket() const { return m_dir / "sim.sock"; }
  std::string LogFile() const { return m_dir / "velcora.log"; }
  std::string ConsoleFile() const { return m_dir / "console.log"; }

 private:
  bool WriteLogConfiguration() const;
  bool Launch();
  bool Running() const;

  std::string m_program;
  std::string m_logLevel;
  std::string m_providerConfig;
  testsupport::ScopedMachine m_machine;
  testsupport::TempDir m_dir;
  plat::PROCESS_INFORMATION m_started = {};
  bool m_running = false;
  std::unique_ptr<testsupport::TelvaneClient> m_client;
};

// Sets TCP_NODELAY on a socket of the layer.
void SetNoDelay(plat::SOCKET socket);

}  // namespace bench
