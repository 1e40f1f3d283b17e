// One run of the real VELCORA.EXE for the bench: fresh machine directory, chosen log level, simulated
// provider, and the one Telvane client it serves.
#pragma once

#include <memory>
#include <string>

#include "plat/process.h"
#include "support/telvane_client.h"
#include "support/temp_dir.h"

namespace bench {

class ServiceRun {
 public:
  // `logLevel` is a log4cxx level name ("WARN", "INFO"); `providerConfig` the text of the provider's
  // configuration file, empty for its defaults (four lines, addresses 201 to 204).
  ServiceRun(std::string logLevel, std::string providerConfig = "");
  ~ServiceRun();
  ServiceRun(const ServiceRun&) = delete;
  ServiceRun& operator=(const ServiceRun&) = delete;

  // Starts the program in application mode with loginPort=0 and waits up to 20 s until it answers a
  // probe on the port it listens on. False, with the reason on stderr, when it does not.
  bool Start();
  unsigned pid() const { return m_started.dwProcessId; }
  // The connected client, TCP_NODELAY set; the service takes one client at a time, so this is the one.
  testsupport::TelvaneClient& client() { return *m_client; }
  // Opens the line of `address` under the client's line number `clientLine`; false unless the service
  // reports it opened (its reply and the address state line that follows).
  bool OpenLine(const std::string& address, int clientLine);
  std::string ControlSocket() const { return m_dir / "sim.sock"; }
  std::string LogFile() const { return m_dir / "velcora.log"; }

 private:
  void WriteLogConfiguration() const;
  bool Running() const;

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
