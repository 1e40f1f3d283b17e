// WSAAsyncSelect: the readiness the message wait of each socket's window thread reports, turned into
// the socket's FD_* messages under the Windows re-enabling rules, and the watch rearmed after each.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include "errno_map.h"
#include "plat/window.h"
#include "plat/winsock.h"
#include "socket_table.h"

// After every header that declares the Windows names these define as macros of their own.
#include <sys/epoll.h>
#include <sys/socket.h>

namespace plat {

using detail::Fail;
using detail::FailureFor;
using detail::kRearmPause;
using detail::OpenSocket;
using detail::Post;
using detail::Rearm;
using detail::RearmAfter;
using detail::SetNonBlocking;
using detail::Socket;
using detail::SocketState;
using detail::Unwatch;
using detail::WsaErrorOf;

namespace {

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

// What the message wait must watch for, from the events asked for and the ones still enabled.
uint32_t WantedEvents(const Socket& socket) {
  if (socket.closed || socket.events == 0) return 0;
  switch (socket.state) {
    case SocketState::Fresh:
      return 0;
    case SocketState::Listening:
      return (socket.events & FD_ACCEPT) && socket.acceptEnabled &&
                     std::chrono::steady_clock::now() >= socket.rearmAt
                 ? uint32_t{EPOLLIN}
                 : 0;
    case SocketState::Connecting:
      return uint32_t{EPOLLOUT};
    case SocketState::Connected:
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

// Has the socket's wait set hear of the data the socket holds itself for as long as FD_READ is wanted,
// since the system no longer sees it.
void MarkReceived(Socket& socket, uint32_t wanted) {
  detail::MessageWaitSet* hearing =
      (wanted & EPOLLIN) && !socket.received.empty() ? socket.waitSet.get() : nullptr;
  if (hearing == socket.receivedMarkedIn.get()) return;
  if (socket.receivedMarkedIn != nullptr) socket.receivedMarkedIn->Unmark(socket.value);
  socket.receivedMarkedIn = hearing != nullptr ? socket.waitSet : nullptr;
  if (hearing != nullptr) hearing->MarkReady(socket.value);
}

// Watches for what is wanted after a change; 0 or the Windows code of the refusal. Events no longer
// wanted stay watched until they come, which saves a call on every read: a recv wants again what its
// FD_READ turned off.
DWORD UpdateWatch(Socket& socket) {
  uint32_t wanted = WantedEvents(socket);
  const bool moved = wanted != 0 && socket.waitSetWindow != socket.window;
  const DWORD failure = (wanted & ~socket.watched) != 0 || moved ? Watch(socket, wanted) : 0;
  MarkReceived(socket, wanted);
  return failure;
}

void PostClose(Socket& socket, DWORD error) {
  if (!(socket.events & FD_CLOSE) || socket.closePosted) return;
  socket.closePosted = true;
  Post(socket, FD_CLOSE, error);
}

void NoticeReadable(Socket& socket, uint32_t ready) {
  constexpr uint32_t kEnding = EPOLLRDHUP | EPOLLHUP | EPOLLERR;
  ssize_t waiting;
  int error = 0;
  if (!socket.received.empty()) {
    waiting = 1;
  } else if (socket.receiveError != 0) {
    // Taken from the system with the data before it: the end it reports comes now, and only once.
    waiting = -1;
    error = std::exchange(socket.receiveError, 0);
  } else {
    // Readable without a sign of an end means data waits; only an end needs a look at what is left.
    char byte;
    waiting =
        (ready & EPOLLIN) && !(ready & kEnding) ? 1 : ::recv(socket.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    error = errno;
  }
  if (waiting > 0) {
    if (socket.events & FD_READ) {
      socket.readEnabled = false;
      Post(socket, FD_READ, 0);
    } else if (ready & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
      PostClose(socket, 0);  // the program reads without FD_READ: it hears of the close at once
    }
    return;
  }
  if (waiting < 0 && (error == EAGAIN || error == EINTR)) return;
  if (waiting < 0) socket.lostConnection = error == ECONNRESET ? WSAECONNRESET : WSAECONNABORTED;
  socket.peerClosed = true;
  PostClose(socket, socket.lostConnection);
}

void FinishConnect(Socket& socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  socket.state = error == 0 ? SocketState::Connected : SocketState::Fresh;
  socket.writeEnabled = error == 0;
  if (socket.events & FD_CONNECT) Post(socket, FD_CONNECT, error == 0 ? 0 : WsaErrorOf(error));
}

// Posts what `ready` means for the socket, which wanted `wanted`, under the re-enabling rules. Under the
// socket's lock.
void Evaluate(Socket& socket, uint32_t ready, uint32_t wanted) {
  if (socket.closed || socket.events == 0) return;
  constexpr uint32_t kBroken = EPOLLERR | EPOLLHUP;
  switch (socket.state) {
    case SocketState::Fresh:
      break;
    case SocketState::Listening:
      if ((ready & (EPOLLIN | kBroken)) && (wanted & EPOLLIN)) {
        socket.acceptEnabled = false;
        Post(socket, FD_ACCEPT, 0);
      }
      break;
    case SocketState::Connecting:
      if (ready & (EPOLLOUT | kBroken)) FinishConnect(socket);
      break;
    case SocketState::Connected:
      if (((ready & (EPOLLIN | EPOLLRDHUP | kBroken)) || !socket.received.empty()) &&
          (wanted & (EPOLLIN | EPOLLRDHUP))) {
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

}  // namespace

namespace detail {

void Unwatch(Socket& socket) {
  if (socket.watched != 0) socket.waitSet->Remove(socket.fd);
  socket.watched = 0;
}

void DropReceived(Socket& socket) {
  socket.received.clear();
  socket.receiveError = 0;
  MarkReceived(socket, 0);
}

void Post(const Socket& socket, LONG event, DWORD error) {
  // A window that is gone drops the message; the socket stays registered until it is closed.
  PostMessageA(socket.window, socket.message, socket.value,
               WSAMAKESELECTREPLY(static_cast<WORD>(event), static_cast<WORD>(error)));
}

void RearmAfter(Socket& socket, std::chrono::milliseconds pause) {
  std::shared_ptr<MessageWaitSet> set = socket.waitSet;  // null before its first registration
  int error;
  if (set == nullptr) set = WaitSetOfOwner(socket.window, &error);
  if (set == nullptr) return;  // the window or its thread is gone: nobody waits for the socket
  socket.rearmAt = std::chrono::steady_clock::now() + pause;
  set->CallBackBy(socket.rearmAt);
}

void Rearm(Socket& socket) {
  if (UpdateWatch(socket) != 0) RearmAfter(socket, kRearmPause);
}

void OnSocketReady(uint64_t key, uint32_t ready) {
  std::shared_ptr<Socket> socket = FindSocket(static_cast<SOCKET>(key));
  if (socket == nullptr) return;
  std::lock_guard<std::mutex> lock(socket->mutex);
  const uint32_t wanted = WantedEvents(*socket);
  Evaluate(*socket, ready, wanted);
  // What came unwanted stops being watched; otherwise it would come again at once.
  if ((ready & ~wanted) == 0) return;
  if (Watch(*socket, WantedEvents(*socket)) != 0) RearmAfter(*socket, kRearmPause);
}

void OnSocketsDue() {
  std::vector<std::shared_ptr<Socket>> sockets;
  {
    SocketTable& table = TheSocketTable();
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

}  // namespace detail

int WSAAsyncSelect(SOCKET value, HWND window, UINT message, LONG events) {
  std::shared_ptr<Socket> socket = OpenSocket(value);
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
  s.writeEnabled = s.state == SocketState::Connected;
  if (DWORD failure = UpdateWatch(s); failure != 0) {
    std::tie(s.nonBlocking, s.window, s.message, s.events, s.acceptEnabled, s.readEnabled, s.oobEnabled,
             s.writeEnabled) = before;
    SetNonBlocking(s.fd, s.nonBlocking);  // back as it was, which the descriptor took a moment ago
    return Fail(failure);
  }
  if (s.peerClosed) PostClose(s, s.lostConnection);
  return 0;
}

}  // namespace plat
