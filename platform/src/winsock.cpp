// Windows Sockets over BSD sockets: the socket table, the calls, and the readiness that the thread of
// each socket's window turns into its messages under the Windows re-enabling rules.
#include "plat/winsock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "errno_map.h"
#include "message_wait.h"
#include "plat/error.h"
#include "plat/testing/winsock.h"
#include "plat/time.h"
#include "plat/window.h"

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

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace plat {
namespace {

using detail::WsaErrorOf;

int Fail(DWORD code) {
  SetLastError(code);
  return SOCKET_ERROR;
}

SOCKET FailSocket(DWORD code) {
  SetLastError(code);
  return INVALID_SOCKET;
}

enum class State { Fresh, Listening, Connecting, Connected };

// How long a socket waits before its watch is tried again, when the system had no descriptor or memory
// for it: short enough to go unnoticed, long enough that a thread waiting on it stays idle.
constexpr std::chrono::milliseconds kRearmPause{100};

// One socket of the table. The descriptor closes with the last user, so a call still running on
// another thread never meets a number the system has handed out again.
struct Socket {
  Socket(SOCKET socketValue, int descriptor) : value(socketValue), fd(descriptor) {}
  ~Socket() { ::close(fd); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  const SOCKET value;
  const int fd;
  // Calls that may block on the descriptor; closesocket wakes them.
  std::atomic<int> callsUnderWay{0};

  std::mutex mutex;  // guards everything below
  bool closed = false;
  State state = State::Fresh;
  bool bound = false;
  bool nonBlocking = false;
  bool sendShut = false;
  bool receiveShut = false;
  // The reset or abort the system reported once; later calls keep reporting it, as on Windows.
  DWORD lostConnection = 0;

  HWND window = nullptr;
  UINT message = 0;
  LONG events = 0;
  bool acceptEnabled = false;
  // When the watch is looked at again: after an accept that found no descriptor or memory (FD_ACCEPT
  // waits until then even when enabled), or after a registration the system refused.
  std::chrono::steady_clock::time_point rearmAt{};
  bool readEnabled = false;
  bool oobEnabled = false;
  bool writeEnabled = false;
  bool closePosted = false;
  bool peerClosed = false;                          // nothing more will arrive and nothing is left to read
  uint32_t watched = 0;                             // what the socket is armed for in the message wait
  std::shared_ptr<detail::MessageWaitSet> waitSet;  // of the thread that owned waitSetWindow
  HWND waitSetWindow = nullptr;
};

// Counts a call that may block, for closesocket to know it must wake it.
class CallUnderWay {
 public:
  explicit CallUnderWay(Socket& socket) : m_socket(socket) { ++m_socket.callsUnderWay; }
  ~CallUnderWay() { --m_socket.callsUnderWay; }
  CallUnderWay(const CallUnderWay&) = delete;
  CallUnderWay& operator=(const CallUnderWay&) = delete;

 private:
  Socket& m_socket;
};

struct SocketTable {
  std::mutex mutex;
  std::unordered_map<SOCKET, std::shared_ptr<Socket>> sockets;
  SOCKET nextValue = 0x100;
  int starts = 0;
  DWORD startupFailure = 0;
  DWORD asyncSelectFailure = 0;
  DWORD watchFailure = 0;
};

void OnReady(uint64_t key, uint32_t ready);
void OnDue();

// Never destroyed: a message wait may still look sockets up while the process ends.
SocketTable& Table() {
  static SocketTable* table = [] {
    detail::SetHandlers(OnReady, OnDue);
    return new SocketTable;
  }();
  return *table;
}

bool Started() {
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.starts > 0;
}

std::shared_ptr<Socket> Find(SOCKET value) {
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.sockets.find(value);
  return found == table.sockets.end() ? nullptr : found->second;
}

// The socket of `value` for a call; null with WSANOTINITIALISED or WSAENOTSOCK set.
std::shared_ptr<Socket> Open(SOCKET value) {
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.starts == 0) {
    SetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  auto found = table.sockets.find(value);
  if (found == table.sockets.end()) {
    SetLastError(WSAENOTSOCK);
    return nullptr;
  }
  return found->second;
}

std::shared_ptr<Socket> AddSocket(int fd) {
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto socket = std::make_shared<Socket>(table.nextValue, fd);
  table.nextValue += 4;
  table.sockets.emplace(socket->value, socket);
  return socket;
}

// 0 or the Windows code of the failure.
DWORD SetNonBlocking(int fd, bool nonBlocking) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0) {
    return WsaErrorOf(errno);
  }
  return 0;
}

DWORD FailureFor(WinsockCall call);

// ---- Readiness ----

void Unwatch(Socket& socket) {
  if (socket.watched != 0) socket.waitSet->Remove(socket.fd);
  socket.watched = 0;
}

// Watches the socket for exactly `events` (0: not at all) in the message wait of its window's thread.
// 0, or the Windows code of the refusal; a set that cannot be made or a new registration that is refused
// leaves the socket watched as it was. Under the socket's lock.
DWORD Watch(Socket& socket, uint32_t events) {
  if (events == 0) {
    Unwatch(socket);
    return 0;
  }
  std::shared_ptr<detail::MessageWaitSet> set = socket.waitSet;
  if (set == nullptr || socket.waitSetWindow != socket.window) {
    int error;
    set = detail::WaitSetOfOwner(socket.window, &error);
    if (set == nullptr && error != 0) return WsaErrorOf(error);
  }
  if (set == nullptr) {  // the window or its thread is gone: nobody could hear of it
    Unwatch(socket);
    socket.waitSet = nullptr;
    socket.waitSetWindow = socket.window;
    return 0;
  }
  const bool modify = set == socket.waitSet && socket.watched != 0;
  DWORD failure = (events & ~socket.watched) != 0 ? FailureFor(WinsockCall::Watch) : 0;
  if (failure == 0) {
    const int error =
        modify ? set->Modify(socket.fd, socket.value, events) : set->Add(socket.fd, socket.value, events);
    failure = error == 0 ? 0 : WsaErrorOf(error);
  }
  if (failure != 0) {
    // A change that was refused could leave readiness nobody wants waking the wait again and again:
    // the socket leaves the set, and the next registration adds it anew.
    if (modify) Unwatch(socket);
    return failure;
  }
  if (set != socket.waitSet) Unwatch(socket);
  socket.waitSet = std::move(set);
  socket.waitSetWindow = socket.window;
  socket.watched = events;
  return 0;
}

void Post(const Socket& socket, LONG event, DWORD error) {
  // A window that is gone drops the message; the socket stays registered until it is closed.
  PostMessageA(socket.window, socket.message, socket.value,
               WSAMAKESELECTREPLY(static_cast<WORD>(event), static_cast<WORD>(error)));
}

// What the message wait must watch for, from the events asked for and the ones still enabled.
uint32_t WantedEvents(const Socket& socket) {
  if (socket.closed || socket.events == 0) return 0;
  switch (socket.state) {
    case State::Fresh:
      return 0;
    case State::Listening:
      return (socket.events & FD_ACCEPT) && socket.acceptEnabled &&
                     std::chrono::steady_clock::now() >= socket.rearmAt
                 ? uint32_t{EPOLLIN}
                 : 0;
    case State::Connecting:
      return uint32_t{EPOLLOUT};
    case State::Connected:
      break;
  }
  uint32_t wanted = 0;
  if (!socket.peerClosed && !socket.receiveShut) {
    // The close is seen through the same readiness as data, so while an announced FD_READ waits for
    // its recv, FD_CLOSE waits as well.
    if (socket.events & FD_READ) {
      if (socket.readEnabled) wanted |= EPOLLIN | EPOLLRDHUP;
    } else if ((socket.events & FD_CLOSE) && !socket.closePosted) {
      wanted |= EPOLLRDHUP;
    }
  }
  if ((socket.events & FD_OOB) && socket.oobEnabled) wanted |= EPOLLPRI;
  if ((socket.events & FD_WRITE) && socket.writeEnabled) wanted |= EPOLLOUT;
  return wanted;
}

// Watches for what is wanted after a change; 0 or the Windows code of the refusal. Events no longer
// wanted stay watched until they come, which saves a call on every read: a recv wants again what its
// FD_READ turned off.
DWORD UpdateWatch(Socket& socket) {
  uint32_t wanted = WantedEvents(socket);
  const bool moved = wanted != 0 && socket.waitSetWindow != socket.window;
  return (wanted & ~socket.watched) != 0 || moved ? Watch(socket, wanted) : 0;
}

void PostClose(Socket& socket, DWORD error) {
  if (!(socket.events & FD_CLOSE) || socket.closePosted) return;
  socket.closePosted = true;
  Post(socket, FD_CLOSE, error);
}

// Looks at the socket's watch again after `pause`, from its thread's wait set, which needs no
// descriptor of its own to call back.
void RearmAfter(Socket& socket, std::chrono::milliseconds pause) {
  std::shared_ptr<detail::MessageWaitSet> set = socket.waitSet;  // null before its first registration
  int error;
  if (set == nullptr) set = detail::WaitSetOfOwner(socket.window, &error);
  if (set == nullptr) return;  // the window or its thread is gone: nobody waits for the socket
  socket.rearmAt = std::chrono::steady_clock::now() + pause;
  set->CallBackBy(socket.rearmAt);
}

// UpdateWatch where no caller can be told of a refusal (no memory, or the system's limit of watched
// descriptors). The layer tries again itself: a program may ignore a notification that carries an
// error without making the re-enabling call, and would then never hear of its socket again.
void Rearm(Socket& socket) {
  if (UpdateWatch(socket) != 0) RearmAfter(socket, kRearmPause);
}

void NoticeReadable(Socket& socket, uint32_t ready) {
  constexpr uint32_t kEnding = EPOLLRDHUP | EPOLLHUP | EPOLLERR;
  // Readable without a sign of an end means data waits; only an end needs a look at what is left.
  char byte;
  ssize_t waiting =
      (ready & EPOLLIN) && !(ready & kEnding) ? 1 : ::recv(socket.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (waiting > 0) {
    if (socket.events & FD_READ) {
      socket.readEnabled = false;
      Post(socket, FD_READ, 0);
    } else if (ready & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
      PostClose(socket, 0);  // the program reads without FD_READ: it hears of the close at once
    }
    return;
  }
  if (waiting < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (waiting < 0) socket.lostConnection = errno == ECONNRESET ? WSAECONNRESET : WSAECONNABORTED;
  socket.peerClosed = true;
  PostClose(socket, socket.lostConnection);
}

void FinishConnect(Socket& socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  socket.state = error == 0 ? State::Connected : State::Fresh;
  socket.writeEnabled = error == 0;
  if (socket.events & FD_CONNECT) Post(socket, FD_CONNECT, error == 0 ? 0 : WsaErrorOf(error));
}

// Posts what `ready` means for the socket, which wanted `wanted`, under the re-enabling rules. Under the
// socket's lock.
void Evaluate(Socket& socket, uint32_t ready, uint32_t wanted) {
  if (socket.closed || socket.events == 0) return;
  constexpr uint32_t kBroken = EPOLLERR | EPOLLHUP;
  switch (socket.state) {
    case State::Fresh:
      break;
    case State::Listening:
      if ((ready & (EPOLLIN | kBroken)) && (wanted & EPOLLIN)) {
        socket.acceptEnabled = false;
        Post(socket, FD_ACCEPT, 0);
      }
      break;
    case State::Connecting:
      if (ready & (EPOLLOUT | kBroken)) FinishConnect(socket);
      break;
    case State::Connected:
      if ((ready & (EPOLLIN | EPOLLRDHUP | kBroken)) && (wanted & (EPOLLIN | EPOLLRDHUP))) {
        NoticeReadable(socket, ready);
      }
      if ((ready & EPOLLPRI) && (wanted & EPOLLPRI)) {
        socket.oobEnabled = false;
        Post(socket, FD_OOB, 0);
      }
      if ((ready & (EPOLLOUT | kBroken)) && (wanted & EPOLLOUT)) {
        socket.writeEnabled = false;
        Post(socket, FD_WRITE, 0);
      }
      break;
  }
  Rearm(socket);
}

// Runs on the thread of the socket's window, in its message wait.
void OnReady(uint64_t key, uint32_t ready) {
  std::shared_ptr<Socket> socket = Find(static_cast<SOCKET>(key));
  if (socket == nullptr) return;
  std::lock_guard<std::mutex> lock(socket->mutex);
  const uint32_t wanted = WantedEvents(*socket);
  Evaluate(*socket, ready, wanted);
  // What came unwanted stops being watched; otherwise it would come again at once.
  if ((ready & ~wanted) == 0) return;
  if (Watch(*socket, WantedEvents(*socket)) != 0) RearmAfter(*socket, kRearmPause);
}

// Runs on a thread whose wait set called back: the sockets whose pause is over are watched again.
void OnDue() {
  std::vector<std::shared_ptr<Socket>> sockets;
  {
    SocketTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    for (auto& entry : table.sockets) sockets.push_back(entry.second);
  }
  const auto now = std::chrono::steady_clock::now();
  for (auto& socket : sockets) {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->rearmAt == std::chrono::steady_clock::time_point{}) continue;
    if (socket->rearmAt > now) {
      // Another pause ended first; the set calls back once for the earliest only.
      if (socket->waitSet != nullptr) socket->waitSet->CallBackBy(socket->rearmAt);
      continue;
    }
    socket->rearmAt = {};
    Rearm(*socket);
  }
}

// Marks the socket closed (nothing is posted for it afterwards) and wakes calls blocked on it.
void CloseSocket(Socket& socket) {
  std::lock_guard<std::mutex> lock(socket.mutex);
  socket.closed = true;
  Unwatch(socket);
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
  std::shared_ptr<Socket> socket = Open(value);
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

DWORD& FailureSlot(SocketTable& table, WinsockCall call) {
  switch (call) {
    case WinsockCall::Startup:
      return table.startupFailure;
    case WinsockCall::AsyncSelect:
      return table.asyncSelectFailure;
    case WinsockCall::Watch:
      break;
  }
  return table.watchFailure;
}

DWORD FailureFor(WinsockCall call) {
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return FailureSlot(table, call);
}

// A blocking connect that a signal interrupted goes on in the kernel: waits for its end and returns its
// errno value, 0 once connected.
int FinishInterruptedConnect(int fd) {
  pollfd wait = {fd, POLLOUT, 0};
  while (::poll(&wait, 1, -1) < 0) {
    if (errno != EINTR) return errno;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace

// ---- Sets and conversions ----

void FdZero(fd_set* set) { set->fd_count = 0; }

void FdSet(SOCKET socket, fd_set* set) {
  if (FdIsSet(socket, set) || set->fd_count >= std::size(set->fd_array)) return;
  set->fd_array[set->fd_count++] = socket;
}

void FdClr(SOCKET socket, fd_set* set) {
  SOCKET* end = set->fd_array + set->fd_count;
  SOCKET* kept = std::remove(set->fd_array, end, socket);
  set->fd_count = static_cast<UINT>(kept - set->fd_array);
}

bool FdIsSet(SOCKET socket, const fd_set* set) {
  const SOCKET* end = set->fd_array + set->fd_count;
  return std::find(set->fd_array, end, socket) != end;
}

ULONG inet_addr(const char* text) {
  ::in_addr address{};
  if (text == nullptr || ::inet_aton(text, &address) == 0) return INADDR_NONE;
  return address.s_addr;
}

char* inet_ntoa(in_addr address) {
  thread_local char text[16];
  const auto& bytes = address.S_un.S_un_b;
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes.s_b1, bytes.s_b2, bytes.s_b3, bytes.s_b4);
  return text;
}

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
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  ++table.starts;
  return 0;
}

int WSACleanup() {
  std::vector<std::shared_ptr<Socket>> left;
  {
    SocketTable& table = Table();
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
    SocketTable& table = Table();
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
  std::shared_ptr<Socket> socket = Open(value);
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
  std::shared_ptr<Socket> socket = Open(value);
  if (socket == nullptr) return SOCKET_ERROR;
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (socket->state == State::Connected || socket->state == State::Connecting) return Fail(WSAEISCONN);
  if (!socket->bound) return Fail(WSAEINVAL);
  if (::listen(socket->fd, backlog) != 0) return Fail(WsaErrorOf(errno));
  socket->state = State::Listening;
  Rearm(*socket);
  return 0;
}

SOCKET accept(SOCKET value, sockaddr* address, int* length) {
  std::shared_ptr<Socket> listener = Open(value);
  if (listener == nullptr) return INVALID_SOCKET;
  if (address != nullptr && LengthTooShort(length)) return FailSocket(WSAEFAULT);
  bool nonBlocking;
  {
    std::lock_guard<std::mutex> lock(listener->mutex);
    if (listener->state != State::Listening) return FailSocket(WSAEINVAL);
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
    accepted->state = State::Connected;
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
  std::shared_ptr<Socket> socket = Open(value);
  if (socket == nullptr) return SOCKET_ERROR;
  ::sockaddr_in posix;
  if (DWORD error = ToPosix(address, length, &posix); error != 0) return Fail(error);
  {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->state == State::Connected) return Fail(WSAEISCONN);
    if (socket->state == State::Connecting) return Fail(WSAEALREADY);
    if (socket->state == State::Listening) return Fail(WSAEINVAL);
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
    socket->state = State::Connected;
    socket->bound = true;
    socket->writeEnabled = true;
    if (socket->events & FD_CONNECT) Post(*socket, FD_CONNECT, 0);
    Rearm(*socket);
    return 0;
  }
  if (error == EINPROGRESS) {
    socket->state = State::Connecting;
    socket->bound = true;
    Rearm(*socket);
  }
  return Fail(WsaErrorOf(error));
}

int recv(SOCKET value, char* buffer, int length, int flags) {
  std::shared_ptr<Socket> socket = Open(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
  if (flags & ~(kWinMsgOob | kWinMsgPeek)) return Fail(WSAEOPNOTSUPP);
  const int posixFlags = ((flags & kWinMsgOob) ? ::MSG_OOB : 0) | ((flags & kWinMsgPeek) ? ::MSG_PEEK : 0);
  {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->receiveShut) return Fail(WSAESHUTDOWN);
    if (socket->state != State::Connected && socket->state != State::Connecting) return Fail(WSAENOTCONN);
  }
  ssize_t received;
  int error;
  {
    CallUnderWay call(*socket);
    // A signal does not end a Windows call: an interrupted one is made again.
    do {
      received = ::recv(socket->fd, buffer, static_cast<size_t>(length), posixFlags);
      error = errno;
    } while (received < 0 && error == EINTR);
  }
  std::lock_guard<std::mutex> lock(socket->mutex);
  // Whatever the outcome, the call re-enables the notifications of data.
  socket->readEnabled = socket->oobEnabled = true;
  if (received >= 0 && socket->state == State::Connecting) socket->state = State::Connected;
  Rearm(*socket);
  if (socket->closed) return Fail(WSAEINTR);
  if (received > 0) return static_cast<int>(received);
  if (received == 0) return socket->lostConnection != 0 ? Fail(socket->lostConnection) : 0;
  if (error == ECONNRESET) socket->lostConnection = WSAECONNRESET;
  return Fail(WsaErrorOf(error));
}

int send(SOCKET value, const char* buffer, int length, int flags) {
  std::shared_ptr<Socket> socket = Open(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (length < 0 || (buffer == nullptr && length > 0)) return Fail(WSAEFAULT);
  if (flags & ~kWinMsgOob) return Fail(WSAEOPNOTSUPP);
  {
    std::lock_guard<std::mutex> lock(socket->mutex);
    if (socket->sendShut) return Fail(WSAESHUTDOWN);
    if (socket->state != State::Connected && socket->state != State::Connecting) return Fail(WSAENOTCONN);
  }
  ssize_t sent;
  int error;
  {
    CallUnderWay call(*socket);
    do {
      sent = ::send(socket->fd, buffer, static_cast<size_t>(length),
                    MSG_NOSIGNAL | ((flags & kWinMsgOob) ? ::MSG_OOB : 0));
      error = errno;
    } while (sent < 0 && error == EINTR);
  }
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (sent >= 0 && socket->state == State::Connecting) socket->state = State::Connected;
  if (sent < 0 && error == EAGAIN) socket->writeEnabled = true;
  Rearm(*socket);
  if (socket->closed) return Fail(WSAEINTR);
  if (sent >= 0) return static_cast<int>(sent);
  if (error == EPIPE && socket->lostConnection != 0) return Fail(socket->lostConnection);
  return Fail(WsaErrorOf(error));
}

namespace {

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
  for (const Entry& kind : kinds) {
    if (kind.set == nullptr) continue;
    for (UINT i = 0; i < kind.set->fd_count; ++i) {
      std::shared_ptr<Socket> socket = Find(kind.set->fd_array[i]);
      if (socket == nullptr) return Fail(WSAENOTSOCK);
      polled.push_back(pollfd{socket->fd, kind.events, 0});
      sockets.push_back(std::move(socket));
    }
  }
  if (polled.empty()) return Fail(WSAEINVAL);
  if (timeout != nullptr && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) return Fail(WSAEINVAL);

  using Clock = std::chrono::steady_clock;
  const auto deadline =
      timeout == nullptr ? Clock::time_point::max() : Clock::now() + ScaledTimeout(*timeout);
  for (auto& socket : sockets) ++socket->callsUnderWay;
  int result;
  for (;;) {
    int milliseconds = -1;
    if (timeout != nullptr) {
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
  std::shared_ptr<Socket> socket = Open(value);
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
  std::shared_ptr<Socket> socket = Open(value);
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
  std::shared_ptr<Socket> socket = Open(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (how != SD_RECEIVE && how != SD_SEND && how != SD_BOTH) return Fail(WSAEINVAL);
  std::lock_guard<std::mutex> lock(socket->mutex);
  if (socket->state != State::Connected) return Fail(WSAENOTCONN);
  const int posixHow = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : SHUT_RDWR;
  if (::shutdown(socket->fd, posixHow) != 0) return Fail(WsaErrorOf(errno));
  socket->receiveShut = socket->receiveShut || how != SD_SEND;
  socket->sendShut = socket->sendShut || how != SD_RECEIVE;
  Rearm(*socket);
  return 0;
}

int WSAAsyncSelect(SOCKET value, HWND window, UINT message, LONG events) {
  std::shared_ptr<Socket> socket = Open(value);
  if (socket == nullptr) return SOCKET_ERROR;
  if (DWORD failure = FailureFor(WinsockCall::AsyncSelect); failure != 0) return Fail(failure);
  if (events != 0 && !IsWindow(window)) return Fail(WSAEINVAL);
  std::lock_guard<std::mutex> lock(socket->mutex);
  Socket& s = *socket;
  // The window's thread gets its wait set now, while the caller can still be told that it cannot.
  int error = 0;
  if (events != 0 && detail::WaitSetOfOwner(window, &error) == nullptr && error != 0) {
    return Fail(WsaErrorOf(error));
  }
  if (DWORD failure = SetNonBlocking(s.fd, true); failure != 0) return Fail(failure);
  // A request that cannot be watched is not made: the socket goes on as it was.
  const auto before = std::make_tuple(s.nonBlocking, s.window, s.message, s.events, s.acceptEnabled,
                                      s.readEnabled, s.oobEnabled, s.writeEnabled);
  s.nonBlocking = true;
  s.window = window;
  s.message = message;
  s.events = events;
  // A new request reports what already holds, except a close that was reported before.
  s.acceptEnabled = s.readEnabled = s.oobEnabled = true;
  s.writeEnabled = s.state == State::Connected;
  if (DWORD failure = UpdateWatch(s); failure != 0) {
    std::tie(s.nonBlocking, s.window, s.message, s.events, s.acceptEnabled, s.readEnabled, s.oobEnabled,
             s.writeEnabled) = before;
    SetNonBlocking(s.fd, s.nonBlocking);  // back as it was, which the descriptor took a moment ago
    return Fail(failure);
  }
  if (s.peerClosed) PostClose(s, s.lostConnection);
  return 0;
}

void FailWinsockCallForTesting(WinsockCall call, int error) {
  SocketTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  FailureSlot(table, call) = static_cast<DWORD>(error);
}

}  // namespace plat
