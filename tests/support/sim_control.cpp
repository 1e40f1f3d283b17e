// A client of the simulated provider's control socket: one command line out, one answer line back.
#include "support/sim_control.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "support/service_log.h"

namespace testsupport {

SimControl::~SimControl() { Disconnect(); }

bool SimControl::Connect(const std::string& path) {
  Disconnect();
  sockaddr_un address = {};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_socket < 0) return false;
  timeval wait{60, 0};
  ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
  if (::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    Disconnect();
    return false;
  }
  return true;
}

std::string SimControl::Ask(const std::string& command) {
  if (m_socket < 0) return "";
  std::string line = command + "\n";
  if (::send(m_socket, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
    return "";
  size_t end;
  while ((end = m_received.find('\n')) == std::string::npos) {
    char chunk[4096];
    ssize_t received = ::recv(m_socket, chunk, sizeof(chunk), 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return "";
    m_received.append(chunk, static_cast<size_t>(received));
  }
  std::string answer = m_received.substr(0, end);
  m_received.erase(0, end + 1);
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return answer;
}

std::string SimControl::AskUntil(const std::string& command, const std::string& wanted,
                                 std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string answer = Ask(command);
  while (answer != wanted && !answer.empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    answer = Ask(command);
  }
  return answer;
}

void SimControl::Disconnect() {
  if (m_socket >= 0) ::close(m_socket);
  m_socket = -1;
  m_received.clear();
}

bool EventsHandledWithin(SimControl& control, unsigned deviceId, unsigned marker, const std::string& logFile,
                         std::chrono::milliseconds timeout) {
  char logged[48];
  std::snprintf(logged, sizeof(logged), "LINE_CLOSE Device 0x%08X", marker);
  return control.Ask("event " + std::to_string(deviceId) + " " + std::to_string(marker) + " 0 3 0 0 0") ==
             "OK" &&
         FileShowsWithin(logFile, logged, timeout);
}

}  // namespace testsupport
