// A client of the simulated provider's control socket: one command line out, one answer line back.
#pragma once

#include <string>

namespace testsupport {

class SimControl {
 public:
  SimControl() = default;
  ~SimControl();
  SimControl(const SimControl&) = delete;
  SimControl& operator=(const SimControl&) = delete;

  // Connects to the socket at `path`; false when nobody listens there.
  bool Connect(const std::string& path);
  bool connected() const { return m_socket >= 0; }
  // Sends `command` as one line and returns the answer line without its end; empty when the connection is
  // gone or no answer came within a minute.
  std::string Ask(const std::string& command);
  void Disconnect();

 private:
  int m_socket = -1;
  std::string m_received;  // what came after the last answer line
};

}  // namespace testsupport
