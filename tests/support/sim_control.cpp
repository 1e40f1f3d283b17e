// A client of the simulated provider's control socket: one command line out, one answer line back.
#include "support/sim_control.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

void SimControl::Disconnect() {
  if (m_socket >= 0) ::close(m_socket);
  m_socket = -1;
  m_received.clear();
}

}  // namespace testsupport
