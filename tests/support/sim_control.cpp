// A client of the simulated provider's control socket: one command line out, one answer line back.
#include "support/sim_control.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testsupport {

std::string SimControl::Send(const std::string& command) const {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, m_path.c_str(), sizeof(address.sun_path) - 1);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    std::string answer = std::string("ERR no connection: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return answer;
  }
  std::string line = command + "\n";
  ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
  std::string answer;
  for (;;) {
    pollfd wait = {fd, POLLIN, 0};
    char c;
    if (::poll(&wait, 1, 10000) <= 0 || ::recv(fd, &c, 1, 0) <= 0) {
      answer = "ERR no answer";
      break;
    }
    if (c == '\n') break;
    if (c != '\r') answer += c;
  }
  ::close(fd);
  return answer;
}

}  // namespace testsupport
