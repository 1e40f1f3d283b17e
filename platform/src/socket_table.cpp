// The table of Windows Sockets: the socket values, the count of starts, and the failures tests make.
#include "socket_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "errno_map.h"

namespace plat {
namespace detail {
namespace {

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

}  // namespace

Socket::~Socket() { ::close(fd); }

SocketTable& TheSocketTable() {
  static SocketTable* table = [] {
    SetHandlers(OnSocketReady, OnSocketsDue);
    return new SocketTable;
  }();
  return *table;
}

std::shared_ptr<Socket> FindSocket(SOCKET value) {
  SocketTable& table = TheSocketTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto found = table.sockets.find(value);
  return found == table.sockets.end() ? nullptr : found->second;
}

std::shared_ptr<Socket> OpenSocket(SOCKET value) {
  SocketTable& table = TheSocketTable();
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
  SocketTable& table = TheSocketTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto socket = std::make_shared<Socket>(table.nextValue, fd);
  table.nextValue += 4;
  table.sockets.emplace(socket->value, socket);
  return socket;
}

DWORD SetNonBlocking(int fd, bool nonBlocking) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0) {
    return WsaErrorOf(errno);
  }
  return 0;
}

DWORD FailureFor(WinsockCall call) {
  SocketTable& table = TheSocketTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return FailureSlot(table, call);
}

}  // namespace detail

void FailWinsockCallForTesting(WinsockCall call, int error) {
  detail::SocketTable& table = detail::TheSocketTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  detail::FailureSlot(table, call) = static_cast<DWORD>(error);
}

}  // namespace plat
