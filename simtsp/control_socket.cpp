// The Unix socket under the control commands, and its client; the provider's only use of POSIX calls.
#include "control_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace simtsp {
namespace {

// A line longer than this is no command; the client sending it is given up.
constexpr size_t kLongestLine = 65536;
// How long the listener rests after the system had no descriptor or memory for a client.
constexpr int kAcceptRetryPauseMs = 100;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

ControlSocket::~ControlSocket() { Stop(); }

bool ControlSocket::Start(const std::string& path, Handler handler, std::string& why) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_thread.joinable()) {
    why = "listens already";
    return false;
  }
  sockaddr_un address;
  if (!MakeAddress(path, address)) {
    why = "not a usable socket path";
    return false;
  }
  struct stat existing;
  if (lstat(path.c_str(), &existing) == 0 && S_ISSOCK(existing.st_mode)) unlink(path.c_str());

  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    why = std::strerror(errno);
    if (listener >= 0) close(listener);
    return false;
  }
  // The commands drive the phone system, so the socket is its owner's alone whatever the umask. The
  // mode is set between bind and listen, when nobody can connect yet; a umask changed around bind
  // would change it for every thread of the host process.
  int wake[2];
  if (chmod(path.c_str(), 0600) != 0 || listen(listener, 8) != 0 || pipe2(wake, O_CLOEXEC) != 0) {
    why = std::strerror(errno);
    close(listener);
    unlink(path.c_str());
    return false;
  }
  m_listener = listener;
  m_wakeRead = wake[0];
  m_wakeWrite = wake[1];
  m_path = path;
  m_handler = std::move(handler);
  m_thread = std::thread(&ControlSocket::Run, this);
  return true;
}

void ControlSocket::Stop() {
  std::thread serving;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_thread.joinable()) return;
    serving = std::move(m_thread);
  }
  char wake = 1;
  while (write(m_wakeWrite, &wake, 1) < 0 && errno == EINTR) {
  }
  serving.join();
  CloseIfOpen(m_listener);
  CloseIfOpen(m_wakeRead);
  CloseIfOpen(m_wakeWrite);
  unlink(m_path.c_str());
  m_handler = nullptr;
}

bool ControlSocket::OnServingThread() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id();
}

bool ControlSocket::WaitForClient(int client, short events) {
  const auto idleSince = std::chrono::steady_clock::now();
  for (;;) {
    const auto idle = std::chrono::steady_clock::now() - idleSince;
    const bool isOverdue = idle >= m_idleLimit;
    // Once the client is overdue, a client knocking at the listener ends the wait too.
    pollfd fds[3] = {{client, events, 0}, {m_wakeRead, POLLIN, 0}, {m_listener, POLLIN, 0}};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_idleLimit - idle);
    const int timeout = isOverdue ? -1 : static_cast<int>(left.count());
    if (poll(fds, isOverdue ? 3 : 2, timeout) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
    if (isOverdue && fds[2].revents != 0) return false;
  }
}

bool ControlSocket::WaitFor(int fd, short events) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {m_wakeRead, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

bool ControlSocket::PauseUnlessStopped(int milliseconds) {
  pollfd wake = {m_wakeRead, POLLIN, 0};
  return poll(&wake, 1, milliseconds) <= 0 || wake.revents == 0;  // a signal only ends it early
}

void ControlSocket::Run() {
  while (WaitFor(m_listener, POLLIN)) {
    int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) {
      Serve(client);
      close(client);
      continue;
    }
    // Without a descriptor or memory for it the client stays queued and the listener readable: trying
    // again at once would take a whole core until they come back. Any other failure was that client's.
    const bool starved = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
    if (starved && !PauseUnlessStopped(kAcceptRetryPauseMs)) return;
  }
}

void ControlSocket::Serve(int client) {
  std::string pending;
  char chunk[4096];
  while (WaitForClient(client, POLLIN)) {
    ssize_t received = recv(client, chunk, sizeof(chunk), 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return;
    pending.append(chunk, static_cast<size_t>(received));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string command = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!command.empty() && command.back() == '\r') command.pop_back();
      if (!SendAll(client, m_handler(command) + "\n")) return;
    }
    if (pending.size() > kLongestLine) return;
  }
}

bool ControlSocket::SendAll(int client, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    if (!WaitForClient(client, POLLOUT)) return false;
    ssize_t written = send(client, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (written <= 0) return false;
    sent += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace simtsp
