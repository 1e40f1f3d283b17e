// A client of the simulated provider's control socket: one command line out, one answer line back.
#pragma once

#include <chrono>
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
  // Asks `command` again and again until the answer is `wanted` or `timeout` has passed, for a state the
  // provider reaches after what the test has seen; the last answer (empty as for Ask).
  std::string AskUntil(const std::string& command, const std::string& wanted,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));
  void Disconnect();

 private:
  int m_socket = -1;
  std::string m_received;  // what came after the last answer line
};

// Whether the service has handled every event that the provider raised so far, within `timeout`: raises
// on the open line `deviceId` a LINE_CLOSE for the line handle `marker`, one the service never gave and
// so only logs, and waits for that line in the service's `logFile`. The service handles the provider's
// events in the order they came.
bool EventsHandledWithin(SimControl& control, unsigned deviceId, unsigned marker, const std::string& logFile,
                         std::chrono::milliseconds timeout);

}  // namespace testsupport
