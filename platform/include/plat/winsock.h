// Windows Sockets over BSD sockets: TCP over IPv4, select, and notification by window message.
#pragma once

#include "plat/types.h"

namespace plat {

// The layer's own socket values: never a descriptor number, never 0, never reused in the process.
using SOCKET = UINT_PTR;
constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
constexpr int SOCKET_ERROR = -1;

constexpr int AF_INET = 2;
constexpr int SOCK_STREAM = 1;
constexpr int IPPROTO_TCP = 6;
constexpr ULONG INADDR_ANY = 0x00000000;
constexpr ULONG INADDR_NONE = 0xFFFFFFFF;

constexpr int SOL_SOCKET = 0xFFFF;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_LINGER = 0x0080;
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;
constexpr int TCP_NODELAY = 0x0001;

constexpr LONG FIONBIO = static_cast<LONG>(0x8004667E);

constexpr int MSG_OOB = 0x1;
constexpr int MSG_PEEK = 0x2;

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// Network events of WSAAsyncSelect.
constexpr LONG FD_READ = 0x01;
constexpr LONG FD_WRITE = 0x02;
constexpr LONG FD_OOB = 0x04;
constexpr LONG FD_ACCEPT = 0x08;
constexpr LONG FD_CONNECT = 0x10;
constexpr LONG FD_CLOSE = 0x20;

constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

// lParam of a socket notification: the event in the low word, its error in the high word.
constexpr LPARAM WSAMAKESELECTREPLY(WORD event, WORD error) {
  return static_cast<LPARAM>(static_cast<DWORD>(event) | (static_cast<DWORD>(error) << 16));
}
constexpr WORD WSAGETSELECTEVENT(LPARAM lParam) { return static_cast<WORD>(lParam & 0xFFFF); }
constexpr WORD WSAGETSELECTERROR(LPARAM lParam) { return static_cast<WORD>((lParam >> 16) & 0xFFFF); }

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[257];
  char szSystemStatus[129];
};

// An IPv4 address in network byte order, reachable as a whole, as bytes or as words.
struct in_addr {
  union {
    ULONG s_addr;
    union {
      struct {
        BYTE s_b1, s_b2, s_b3, s_b4;
      } S_un_b;
      struct {
        WORD s_w1, s_w2;
      } S_un_w;
      ULONG S_addr;
    } S_un;
  };
};

struct sockaddr {
  WORD sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  WORD sin_port;  // network byte order
  in_addr sin_addr;
  char sin_zero[8];
};

struct linger {
  WORD l_onoff;
  WORD l_linger;  // seconds
};

struct timeval {
  LONG tv_sec;
  LONG tv_usec;
};

// A set of sockets for select: up to 64 values and their count, as on Windows.
struct fd_set {
  UINT fd_count;
  SOCKET fd_array[64];
};

// The set operations (the Windows macro names are taken by the C library's own macros here).
// FdSet adds a socket once and ignores it when the set is full; FdClr removes it if present.
void FdZero(fd_set* set);
void FdSet(SOCKET socket, fd_set* set);
void FdClr(SOCKET socket, fd_set* set);
bool FdIsSet(SOCKET socket, const fd_set* set);

// Byte order conversions; available without WSAStartup.
constexpr WORD(htons)(WORD value) { return static_cast<WORD>((value >> 8) | (value << 8)); }
constexpr WORD(ntohs)(WORD value) { return (htons)(value); }
constexpr ULONG(htonl)(ULONG value) {
  return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}
constexpr ULONG(ntohl)(ULONG value) { return (htonl)(value); }

// The address of dotted text ("a.b.c.d", also the shorter, octal and hex forms) in network byte order;
// INADDR_NONE for text that is none (or null). Available without WSAStartup; sets no error.
ULONG inet_addr(const char* text);
// The address as dotted text, in a buffer of the calling thread that the next call overwrites.
// Available without WSAStartup; sets no error.
char* inet_ntoa(in_addr address);

// ---- Start and end ----
// Every call below except WSAStartup fails with WSANOTINITIALISED (10093) while no start is in force.
// Socket calls return SOCKET_ERROR (or INVALID_SOCKET) and set the thread's last error to a WSA code;
// a value that is no open socket gives WSAENOTSOCK (10038).

// Starts Windows Sockets (counted; each start needs its WSACleanup). Returns 0 and fills *data for a
// version 2.x, WSAVERNOTSUPPORTED (10092) for any other, WSAEFAULT (10014) for a null data. Returns its
// error instead of setting the last error.
int WSAStartup(WORD versionRequested, WSADATA* data);
// Ends one start; the last one closes every socket still open. 0, or SOCKET_ERROR with
// WSANOTINITIALISED when no start is in force.
int WSACleanup();

// The calling thread's last error, the same as GetLastError; works without a start.
int WSAGetLastError();
// Sets the calling thread's last error, the same as SetLastError; works without a start.
void WSASetLastError(int error);

// ---- Sockets ----

// A new blocking TCP socket. INVALID_SOCKET with WSAEAFNOSUPPORT for a family other than AF_INET,
// WSAESOCKTNOSUPPORT (10044) for a type other than SOCK_STREAM, WSAEPROTONOSUPPORT for a protocol
// other than 0 or IPPROTO_TCP, WSAEMFILE or WSAENOBUFS when the system has no more.
SOCKET socket(int family, int type, int protocol);
// Closes the socket; a call blocked on it on another thread returns with an error. Nothing is posted
// for it once this returns (messages already posted stay queued). WSAENOTSOCK for an unknown or
// already closed value.
int closesocket(SOCKET socket);

// Binds to an IPv4 address (port 0: the system chooses). A port whose old connections only wait to
// time out can be bound at once. WSAEFAULT for a null address or a length below 16, WSAEAFNOSUPPORT
// for a family other than AF_INET, WSAEINVAL when already bound, WSAEADDRINUSE (10048) when taken,
// WSAEADDRNOTAVAIL for an address that is not local, WSAEACCES for a privileged port.
int bind(SOCKET socket, const sockaddr* address, int length);
// Listens with the given backlog. WSAEINVAL when not bound, WSAEISCONN when connected.
int listen(SOCKET socket, int backlog);
// Takes a waiting connection; writes the peer's address when `address` is not null (and *length, which
// must be at least 16: WSAEFAULT). The new socket takes over the listener's blocking mode and its
// WSAAsyncSelect window, message and events. INVALID_SOCKET with WSAEWOULDBLOCK (10035) on a
// non-blocking socket with nothing waiting, WSAEINVAL when not listening. Re-enables FD_ACCEPT.
SOCKET accept(SOCKET socket, sockaddr* address, int* length);
// Connects to an IPv4 address; on a non-blocking socket SOCKET_ERROR with WSAEWOULDBLOCK and FD_CONNECT
// (then FD_WRITE) when it completes. WSAEFAULT for a bad address length, WSAEAFNOSUPPORT for another
// family, WSAECONNREFUSED (10061), WSAEISCONN when connected, WSAEALREADY while one is under way.
int connect(SOCKET socket, const sockaddr* address, int length);

// The number of bytes received (at most `length`; MSG_PEEK leaves them waiting), 0 once the peer closed
// and everything was read. WSAEWOULDBLOCK on a non-blocking socket with nothing waiting, WSAENOTCONN
// when not connected, WSAESHUTDOWN after shutdown(SD_RECEIVE), WSAECONNRESET after a reset. Re-enables
// FD_READ (posted again at once when data is still waiting).
int recv(SOCKET socket, char* buffer, int length, int flags);
// The number of bytes taken, possibly fewer than `length` on a non-blocking socket. Never raises a
// signal: a peer that is gone gives WSAECONNRESET (or WSAECONNABORTED). WSAEWOULDBLOCK when nothing
// fits now (FD_WRITE follows once the socket can take data), WSAENOTCONN when not connected,
// WSAESHUTDOWN after shutdown(SD_SEND).
int send(SOCKET socket, const char* buffer, int length, int flags);

// Waits until a socket of the sets is ready (read: data, a connection to accept, or the peer's close;
// write: room to send or a failed connection; except: out-of-band data) or the timeout (times
// TimeScale(), as every timed wait of the layer; null: none) passed. Leaves only the ready sockets in
// the sets and returns their count, 0 after the timeout. The first argument is ignored. WSAEINVAL when
// all sets are null or empty or the timeout is negative, WSAENOTSOCK when a set holds a value that is
// no socket.
int select(int ignored, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, const timeval* timeout);

// The local (getsockname) or peer (getpeername) address; *length must be at least 16 (WSAEFAULT) and
// becomes 16. getsockname: WSAEINVAL when not bound; getpeername: WSAENOTCONN when not connected.
int getsockname(SOCKET socket, sockaddr* address, int* length);
int getpeername(SOCKET socket, sockaddr* address, int* length);

// Sets SOL_SOCKET SO_REUSEADDR, SO_LINGER (a linger), SO_SNDBUF, SO_RCVBUF, or IPPROTO_TCP TCP_NODELAY
// (the others an int or BOOL). WSAEFAULT for a null value or a length below the option's size,
// WSAEINVAL for another level, WSAENOPROTOOPT for another option.
int setsockopt(SOCKET socket, int level, int option, const char* value, int length);
// FIONBIO: *argument non-zero makes the socket non-blocking, 0 blocking. WSAEFAULT for a null
// argument, WSAEINVAL for another command and for blocking mode while WSAAsyncSelect events are set.
int ioctlsocket(SOCKET socket, LONG command, ULONG* argument);
// Ends receiving (SD_RECEIVE), sending (SD_SEND) or both. WSAEINVAL for another `how`, WSAENOTCONN
// when not connected.
int shutdown(SOCKET socket, int how);

// Asks for `events` of the socket as `message` to `window` (wParam: the socket, lParam:
// WSAMAKESELECTREPLY(event, error)); replaces any earlier request, 0 stops them. Makes the socket
// non-blocking. Each event is posted once and again only after its re-enabling call: FD_ACCEPT after
// accept, FD_READ and FD_OOB after recv, FD_WRITE after a send that failed with WSAEWOULDBLOCK (and
// once when connected); FD_CONNECT once; FD_CLOSE once, after the data that was waiting has been read,
// with error 0, WSAECONNRESET or WSAECONNABORTED. A message the window cannot take is dropped.
// WSAEINVAL when events are asked for and `window` is no window.
int WSAAsyncSelect(SOCKET socket, HWND window, UINT message, LONG events);

}  // namespace plat
