// The round trip's floor in a process of its own: velcora_echo_floor started with an answer and stopped.
#pragma once

#include <sys/types.h>

#include <string>

namespace bench {

// Starts `program` (velcora_echo_floor) with `answer` on its standard input and waits up to 20 s for the
// port it reports; the process is ended and reaped with the object.
class EchoFloorProcess {
 public:
  EchoFloorProcess(const std::string& program, const std::string& answer);
  ~EchoFloorProcess();
  EchoFloorProcess(const EchoFloorProcess&) = delete;
  EchoFloorProcess& operator=(const EchoFloorProcess&) = delete;

  // The loopback port it listens on; 0 when it did not start or report one (the reason on stderr).
  int port() const { return m_port; }

 private:
  pid_t m_pid = 0;
  int m_port = 0;
};

}  // namespace bench
