// The Windows Sockets calls that work on values alone and need no start: the fd_set operations and
// dotted IPv4 text.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "plat/winsock.h"

// After the header that declares the Windows names this one defines as macros of its own.
#include <arpa/inet.h>

namespace plat {

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

}  // namespace plat
