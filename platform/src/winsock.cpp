// Windows Sockets over BSD sockets: start and end, and the calls on sockets themselves.
#include "plat/winsock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "errno_map.h"
#include "plat/error.h"
#include "plat/time.h"
#include "posix_call.h"
#include "socket_table.h"

namespace plat {
namespace {

// The Windows numbers, taken before the system headers below define macros of the same names.
constexpr int kWinAfInet = AF_INET;
constexpr int kWinSockStream = SOCK_STREAM;
constexpr int kWinIpprotoTcp = IPPROTO_TCP;
constexpr int kWinSolSocket = SOL_SOCKET;
constexpr int kWinSoReuseAddr = SO_REUSEADDR;
constexpr int kWinSoLinger = SO_LINGER;
constexpr int kWinSoSndBuf = SO_SNDBUF;
constexpr int kWinSoRcvBuf = SO_RCVBUF;
constexpr int kWinTcpNoDelay = TCP_NODELAY;
constexpr LONG kWinFionbio = FIONBIO;
constexpr int kWinMsgOob = MSG_OOB;
constexpr int kWinMsgPeek = MSG_PEEK;

}  // namespace
}  // namespace plat

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace plat {

using detail::AddSocket;
using detail::CallUnderWay;
using detail::DropReceived;
using detail::Fail;
using detail::FailSocket;
using detail::FailureFor;
using detail::FindSocket;
using detail::kRearmPause;
using detail::OpenSocket;
using detail::Post;
using detail::Rearm;
using detail::RearmAfter;
using detail::SetNonBlocking;
using detail::Socket;
using detail::SocketState;
using detail::SocketTable;
using detail::TheSocketTable;
using detail::Unwatch;
using detail::WsaErrorOf;

namespace {

bool Started() {
  SocketTable& table = TheSocketTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.starts > 0;
}

// Marks the socket closed (nothing is posted for it afterwards) and wakes calls blocked on it.
void CloseSocket(Socket& socket) {
  std::lock_guard<std::mutex> lock(socket.mutex);
  socket.closed = true;
  Unwatch(socket);
  // Data left unread makes the system end the connection with a reset rather than a close; what a peek
  // took from it counts as unread as well.
  if (!socket.received.empty()) {
    ::linger abortive{1, 0};
    ::setsockopt(socket.fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  }
  DropReceived(socket);
  // Fails only for a socket never connected, where no call can be blocked but an accept, which it wakes.
  if (socket.callsUnderWay > 0) ::shutdown(socket.fd, SHUT_RDWR);
}

// ---- Addresses ----

DWORD ToPosix(const sockaddr* address, int length, ::sockaddr_in* posix) {
  if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
  const auto* windows = reinterpret_cast<const sockaddr_in*>(address);
  if (windows->sin_family != kWinAfInet) return WSAEAFNOSUPPORT;
  *posix = {};
  posix->sin_family = AF_INET;
  posix->sin_port = windows->sin_port;
  posix->sin_addr.s_addr = windows->sin_addr.s_addr;
  return 0;
}

void FromPosix(const ::sockaddr_in& posix, sockaddr* address, int* length) {
  sockaddr_in windows{};
  windows.sin_family = static_cast<short>(kWinAfInet);
  windows.sin_port = posix.sin_port;
  windows.sin_addr.s_addr = posix.sin_addr.s_addr;
  std::memcpy(address, &windows, sizeof windows);
  *length = sizeof windows;
}

bool LengthTooShort(const int* length) {
  return length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in));
}

// getsockname and getpeername alike.
int QueryAddress(SOCKET value, sockaddr* address, int* length, bool peer) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (address == nullptr || LengthTooShort(length)) return Fail(WSAEFAULT);
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (!peer && !socket->bound) return Fail(WSAEINVAL);
  ::sockaddr_in posix{};
  socklen_t posixLength = sizeof posix;
  auto* target = reinterpret_cast<::sockaddr*>(&posix);
  int result = peer ? ::getpeername(socket->fd, target, &posixLength)
                    : ::getsockname(socket->fd, target, &posixLength);
  if (result != 0) return Fail(WsaErrorOf(errno));
  FromPosix(posix, address, length);
  return 0;
}

// A blocking connect that a signal interrupted goes on in the kernel: waits for its end and returns its
// errno value, 0 once connected.
int FinishInterruptedConnect(int fd) {
  pollfd wait = {fd, POLLOUT, 0};
  if (detail::RetryAfterSignal(-1, ::poll, &wait, 1, -1) < 0) return errno;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace

// ---- Start and end ----

int WSAStartup(WORD versionRequested, WSADATA* data) {
  if (DWORD failure = FailureFor(WinsockCall::Startup); failure != 0) return static_cast<int>(failure);
  if (data == nullptr) return static_cast<int>(WSAEFAULT);
  const BYTE major = static_cast<BYTE>(versionRequested & 0xFF);
  const BYTE minor = static_cast<BYTE>(versionRequested >> 8);
  if (major != 2) return static_cast<int>(WSAVERNOTSUPPORTED);
  *data = {};
  data->wVersion = MAKEWORD(2, std::min<BYTE>(minor, 2));
  data->wHighVersion = MAKEWORD(2, 2);
  std::snprintf(data->szDescription, sizeof data->szDescription, "Windows Sockets 2.2 over BSD sockets");
  std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  SocketTable& table = TheSocketTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  ++table.starts;
  return 0;
}

int WSACleanup() {
  std::vector<std::shared_ptr<Socket>> left;
  {
    SocketTable& table = TheSocketTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (table.starts == 0) return Fail(WSANOTINITIALISED);
    if (--table.starts == 0) {
      for (auto& entry : table.sockets) left.push_back(entry.second);
      table.sockets.clear();
    }
  }
  for (auto& socket : left) CloseSocket(*socket);
  return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

// ---- Sockets ----

SOCKET socket(int family, int type, int protocol) {
  if (!Started()) return FailSocket(WSANOTINITIALISED);
  if (family != kWinAfInet) return FailSocket(WSAEAFNOSUPPORT);
  if (type != kWinSockStream) return FailSocket(WSAESOCKTNOSUPPORT);
  if (protocol != 0 && protocol != kWinIpprotoTcp) return FailSocket(WSAEPROTONOSUPPORT);
  int fd = ::socket(AF_INET, ::SOCK_STREAM | SOCK_CLOEXEC, ::IPPROTO_TCP);
  if (fd < 0) return FailSocket(WsaErrorOf(errno));
  // Windows binds at once to a port whose old connections only wait to time out.
  int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    const DWORD error = WsaErrorOf(errno);
    ::close(fd);
    return FailSocket(error);
  }
  return AddSocket(fd)->value;
}

int closesocket(SOCKET value) {
  std::shared_ptr<Socket> socket;
  {
    SocketTable& table = TheSocketTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (table.starts == 0) return Fail(WSANOTINITIALISED);
    auto found = table.sockets.find(value);
    if (found == table.sockets.end()) return Fail(WSAENOTSOCK);
    socket = found->second;
    table.sockets.erase(found);
  }
  CloseSocket(*socket);
  return 0;
}

int bind(SOCKET value, const sockaddr* address, int length) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  ::sockaddr_in posix;
  if (DWORD error = ToPosix(address, length, &posix); error != 0) return Fail(error);
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (socket->bound) return Fail(WSAEINVAL);
  if (::bind(socket->fd, reinterpret_cast<::sockaddr*>(&posix), sizeof posix) != 0) {
    return Fail(WsaErrorOf(errno));
  }
  socket->bound = true;
  return 0;
}

int listen(SOCKET value, int backlog) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (socket->state == SocketState::Connected || socket->state == SocketState::Connecting)
    return Fail(WSAEISCONN);
  if (!socket->bound) return Fail(WSAEINVAL);
  if (::listen(socket->fd, backlog) != 0) return Fail(WsaErrorOf(errno));
  socket->state = SocketState::Listening;
  Rearm(*socket);
  return 0;
}

SOCKET accept(SOCKET value, sockaddr* address, int* length) {
  std::shared_ptr<Socket> listener = OpenSocket(value);
  if (listener == nullptr) return INVALID_SOCKET;
  if (address != nullptr && LengthTooShort(length)) return FailSocket(WSAEFAULT);
  bool nonBlocking;
  {
    std::lock_guard<std::mutex> lock(listener->mutex);
    if (listener->state != SocketState::Listening) return FailSocket(WSAEINVAL);
    nonBlocking = listener->nonBlocking;
  }
  ::sockaddr_in peer{};
  socklen_t peerLength = sizeof peer;
  int fd;
  int error;
  {
    CallUnderWay call(*listener);
    fd = ::accept4(listener->fd, reinterpret_cast<::sockaddr*>(&peer), &peerLength,
                   SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0));
    error = errno;
  }
  std::shared_ptr<Socket> accepted;
  {
    std::lock_guard<std::mutex> lock(listener->mutex);
    listener->acceptEnabled = true;
    // Without a descriptor or memory for it the connection stays queued, and a program that accepts on
    // every FD_ACCEPT would be told of it again at once and take a whole core until they come back. So
    // FD_ACCEPT rests a while first; the wait set of the listener's thread ends the rest, which takes
    // no descriptor.
    const bool starved = error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
    if (fd < 0 && starved) RearmAfter(*listener, kRearmPause);
    Rearm(*listener);
    if (listener->closed) {
      if (fd >= 0) ::close(fd);
      return FailSocket(WSAEINTR);
    }
    if (fd < 0) return FailSocket(WsaErrorOf(error));
    accepted = AddSocket(fd);
    std::lock_guard<std::mutex> acceptedLock(accepted->mutex);
    accepted->state = SocketState::Connected;
    accepted->bound = true;
    accepted->nonBlocking = nonBlocking;
    accepted->window = listener->window;
    accepted->message = listener->message;
    accepted->events = listener->events;
    accepted->readEnabled = accepted->oobEnabled = accepted->writeEnabled = true;
    Rearm(*accepted);
  }
  if (address != nullptr) FromPosix(peer, address, length);
  return accepted->value;
}

int connect(SOCKET value, const sockaddr* address, int length) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  ::sockaddr_in posix;
  if (DWORD error = ToPosix(address, length, &posix); error != 0) return Fail(error);
  {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->state == SocketState::Connected) return Fail(WSAEISCONN);
    if (socket->state == SocketState::Connecting) return Fail(WSAEALREADY);
    if (socket->state == SocketState::Listening) return Fail(WSAEINVAL);
  }
  int result;
  int error;
  {
    CallUnderWay call(*socket);
    result = ::connect(socket->fd, reinterpret_cast<::sockaddr*>(&posix), sizeof posix);
    error = errno;
    if (result != 0 && error == EINTR) {
      error = FinishInterruptedConnect(socket->fd);
      result = error == 0 ? 0 : -1;
    }
  }
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (socket->closed) return Fail(WSAEINTR);
  if (result == 0) {
    socket->state = SocketState::Connected;
    socket->bound = true;
    socket->writeEnabled = true;
    if (socket->events & FD_CONNECT) Post(*socket, FD_CONNECT, 0);
    Rearm(*socket);
    return 0;
  }
  if (error == EINPROGRESS) {
    socket->state = SocketState::Connecting;
    socket->bound = true;
    Rearm(*socket);
  }
  return Fail(WsaErrorOf(error));
}

namespace {

// What a recv takes from the system: up to `length` bytes into `buffer`, with `flags`. A signal does not
// end a Windows call: an interrupted one is made again.
ssize_t ReceiveFromSystem(Socket& socket, char* buffer, size_t length, int flags, int* error) {
  CallUnderWay call(socket);
  const ssize_t received = detail::RetryAfterSignal(-1, ::recv, socket.fd, buffer, length, flags);
  *error = errno;
  return received;
}

}  // namespace

int recv(SOCKET value, char* buffer, int length, int flags) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
  if (flags & ~(kWinMsgOob | kWinMsgPeek)) return Fail(WSAEOPNOTSUPP);
  const bool peek = (flags & kWinMsgPeek) != 0;
  const bool oob = (flags & kWinMsgOob) != 0;
  const size_t asked = static_cast<size_t>(length);
  std::lock_guard<std::mutex> reading(socket->readMutex);
  // Data comes first from what an earlier peek took from the system, then from the system, which is
  // then only asked for what it has at once; an urgent byte never goes through the buffer.
  size_t held = 0;
  int heldError = 0;
  {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->receiveShut) return Fail(WSAESHUTDOWN);
    if (socket->state != SocketState::Connected && socket->state != SocketState::Connecting)
      return Fail(WSAENOTCONN);
    if (!oob) {
      held = std::min(socket->received.size(), asked);
      std::copy_n(socket->received.begin(), held, buffer);
      if (held == 0) heldError = std::exchange(socket->receiveError, 0);
    }
  }
  ssize_t received = 0;
  int error = heldError;
  if (heldError != 0) {
    received = -1;
  } else if (oob) {
    received = ReceiveFromSystem(*socket, buffer, asked, ::MSG_OOB | (peek ? ::MSG_PEEK : 0), &error);
  } else if (held < asked || asked == 0) {
    // A peek takes the bytes from the system as well, for the recv that follows it.
    received = ReceiveFromSystem(*socket, buffer + held, asked - held, held > 0 ? MSG_DONTWAIT : 0, &error);
  }
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (held > 0 && received < 0) {
    // What was held comes first; an end the system reported meanwhile is for the next call.
    if (error != EAGAIN && error != EWOULDBLOCK) socket->receiveError = error;
    received = 0;
  }
  if (!oob && !socket->closed && !socket->receiveShut) {
    std::vector<char>& kept = socket->received;
    if (peek && received > 0) kept.insert(kept.end(), buffer + held, buffer + held + received);
    if (!peek) kept.erase(kept.begin(), kept.begin() + static_cast<ptrdiff_t>(std::min(held, kept.size())));
  }
  // Whatever the outcome, the call re-enables the notifications of data.
  socket->readEnabled = socket->oobEnabled = true;
  if (received >= 0 && socket->state == SocketState::Connecting) socket->state = SocketState::Connected;
  Rearm(*socket);
  if (socket->closed) return Fail(WSAEINTR);
  if (held > 0 || received > 0) return static_cast<int>(held + static_cast<size_t>(received));
  if (received == 0) return socket->lostConnection != 0 ? Fail(socket->lostConnection) : 0;
  if (error == ECONNRESET) socket->lostConnection = WSAECONNRESET;
  return Fail(WsaErrorOf(error));
}

int send(SOCKET value, const char* buffer, int length, int flags) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
  if (flags & ~kWinMsgOob) return Fail(WSAEOPNOTSUPP);
  {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->sendShut) return Fail(WSAESHUTDOWN);
    if (socket->state != SocketState::Connected && socket->state != SocketState::Connecting)
      return Fail(WSAENOTCONN);
  }
  ssize_t sent;
  int error;
  {
    CallUnderWay call(*socket);
    sent = detail::RetryAfterSignal(-1, ::send, socket->fd, buffer, static_cast<size_t>(length),
                                    MSG_NOSIGNAL | ((flags & kWinMsgOob) ? ::MSG_OOB : 0));
    error = errno;
  }
  std::lock_guard<std::mutex> lock(socket->mutex);
  // The system reports an error once, to the call that comes first: a send after a recv that took it
  // from the system on behalf of held data.
  if (sent < 0 && error == EPIPE && socket->receiveError != 0) error = std::exchange(socket->receiveError, 0);
  if (sent >= 0 && socket->state == SocketState::Connecting) socket->state = SocketState::Connected;
  if (sent < 0 && error == EAGAIN) socket->writeEnabled = true;
  Rearm(*socket);
  if (socket->closed) return Fail(WSAEINTR);
  if (sent >= 0) return static_cast<int>(sent);
  if (error == EPIPE && socket->lostConnection != 0) return Fail(socket->lostConnection);
  return Fail(WsaErrorOf(error));
}

namespace {

// Whether a recv would return at once from what the socket holds itself.
bool HoldsReceived(Socket& socket) {
  std::lock_guard<std::mutex> lock(socket.mutex);
  return !socket.received.empty() || socket.receiveError != 0;
}

// A select timeout runs at the time scale, like every other timed wait of the layer. It is taken in
// whole milliseconds, rounded up as poll takes it; one longer than a DWORD holds (49 days) waits that long.
std::chrono::nanoseconds ScaledTimeout(const timeval& timeout) {
  const uint64_t milliseconds =
      static_cast<uint64_t>(timeout.tv_sec) * 1000 + (static_cast<uint64_t>(timeout.tv_usec) + 999) / 1000;
  return ScaledDuration(static_cast<DWORD>(std::min<uint64_t>(milliseconds, INFINITE - 1)));
}

}  // namespace

int select(int, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, const timeval* timeout) {
  if (!Started()) return Fail(WSANOTINITIALISED);
  struct Entry {
    fd_set* set;
    short events;
    short readyWhen;
  };
  const Entry kinds[] = {
      {readSet, POLLIN | POLLRDHUP, POLLIN | POLLRDHUP | POLLHUP | POLLERR},
      {writeSet, POLLOUT, POLLOUT | POLLHUP | POLLERR},
      {exceptSet, POLLPRI, POLLPRI},
  };
  std::vector<std::shared_ptr<Socket>> sockets;
  std::vector<pollfd> polled;
  // Data a socket holds itself, or the end the system reported after it, is ready to be read without
  // the system: the poll then only looks at the others.
  std::vector<bool> held;
  for (const Entry& kind : kinds) {
    if (kind.set == nullptr) continue;
    for (UINT i = 0; i < kind.set->fd_count; ++i) {
      std::shared_ptr<Socket> socket = FindSocket(kind.set->fd_array[i]);
      if (socket == nullptr) return Fail(WSAENOTSOCK);
      polled.push_back(pollfd{socket->fd, kind.events, 0});
      held.push_back(&kind == &kinds[0] && HoldsReceived(*socket));
      sockets.push_back(std::move(socket));
    }
  }
  const bool anyHeld = std::find(held.begin(), held.end(), true) != held.end();
  if (polled.empty()) return Fail(WSAEINVAL);
  if (timeout != nullptr && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) return Fail(WSAEINVAL);

  using Clock = std::chrono::steady_clock;
  const auto deadline =
      timeout == nullptr ? Clock::time_point::max() : Clock::now() + ScaledTimeout(*timeout);
  for (auto& socket : sockets) ++socket->callsUnderWay;
  int result;
  // An interrupted poll goes round again with the time that is left, not the whole timeout.
  for (;;) {
    int milliseconds = -1;
    if (anyHeld) {
      milliseconds = 0;
    } else if (timeout != nullptr) {
      auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
      milliseconds =
          static_cast<int>(std::clamp<int64_t>((left + 999) / 1000, 0, std::numeric_limits<int>::max()));
    }
    result = ::poll(polled.data(), polled.size(), milliseconds);
    if (result >= 0 || errno != EINTR) break;
  }
  const int error = errno;
  for (auto& socket : sockets) --socket->callsUnderWay;
  if (result < 0) return Fail(WsaErrorOf(error));
  for (size_t i = 0; i < polled.size(); ++i) {
    if (held[i]) polled[i].revents |= POLLIN;
  }

  int ready = 0;
  size_t next = 0;
  for (const Entry& kind : kinds) {
    if (kind.set == nullptr) continue;
    UINT kept = 0;
    for (UINT i = 0; i < kind.set->fd_count; ++i, ++next) {
      if (polled[next].revents & kind.readyWhen) kind.set->fd_array[kept++] = kind.set->fd_array[i];
    }
    kind.set->fd_count = kept;
    ready += static_cast<int>(kept);
  }
  return ready;
}

int getsockname(SOCKET value, sockaddr* address, int* length) {
  return QueryAddress(value, address, length, false);
}

int getpeername(SOCKET value, sockaddr* address, int* length) {
  return QueryAddress(value, address, length, true);
}

int setsockopt(SOCKET value, int level, int option, const char* optionValue, int length) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (optionValue == nullptr) return Fail(WSAEFAULT);
  int posixLevel;
  int posixOption;
  if (level == kWinSolSocket) {
    posixLevel = SOL_SOCKET;
    if (option == kWinSoReuseAddr) {
      posixOption = SO_REUSEADDR;
    } else if (option == kWinSoSndBuf) {
      posixOption = SO_SNDBUF;
    } else if (option == kWinSoRcvBuf) {
      posixOption = SO_RCVBUF;
    } else if (option == kWinSoLinger) {
      if (length < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
      linger windows;
      std::memcpy(&windows, optionValue, sizeof windows);
      ::linger posix{windows.l_onoff, windows.l_linger};
      if (::setsockopt(socket->fd, SOL_SOCKET, SO_LINGER, &posix, sizeof posix) != 0) {
        return Fail(WsaErrorOf(errno));
      }
      return 0;
    } else {
      return Fail(WSAENOPROTOOPT);
    }
  } else if (level == kWinIpprotoTcp) {
    posixLevel = ::IPPROTO_TCP;
    if (option != kWinTcpNoDelay) return Fail(WSAENOPROTOOPT);
    posixOption = TCP_NODELAY;
  } else {
    return Fail(WSAEINVAL);
  }
  if (length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int number;
  std::memcpy(&number, optionValue, sizeof number);
  if (::setsockopt(socket->fd, posixLevel, posixOption, &number, sizeof number) != 0) {
    return Fail(WsaErrorOf(errno));
  }
  return 0;
}

int ioctlsocket(SOCKET value, LONG command, ULONG* argument) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (command != kWinFionbio) return Fail(WSAEINVAL);
  if (argument == nullptr) return Fail(WSAEFAULT);
  std::lock_guard<std::mutex> lock(socket->mutex);
  const bool nonBlocking = *argument != 0;
  if (!nonBlocking && socket->events != 0) return Fail(WSAEINVAL);
  if (DWORD error = SetNonBlocking(socket->fd, nonBlocking); error != 0) return Fail(error);
  socket->nonBlocking = nonBlocking;
  return 0;
}

int shutdown(SOCKET value, int how) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (how != SD_RECEIVE && how != SD_SEND && how != SD_BOTH) return Fail(WSAEINVAL);
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (socket->state != SocketState::Connected) return Fail(WSAENOTCONN);
  const int posixHow = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : SHUT_RDWR;
  if (::shutdown(socket->fd, posixHow) != 0) return Fail(WsaErrorOf(errno));
  socket->receiveShut = socket->receiveShut || how != SD_SEND;
  socket->sendShut = socket->sendShut || how != SD_RECEIVE;
  Rearm(*socket);
  return 0;
}

}  // namespace plat
