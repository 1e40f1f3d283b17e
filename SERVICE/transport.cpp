// The Telvane listener, the one client and the hand-over of its bytes to the line framer; SendBack.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "plat/error.h"
#include "plat/time.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

plat::SOCKET CServiceWindow::m_Sock = plat::INVALID_SOCKET;
std::atomic<plat::SOCKET> CServiceWindow::m_ClientSock{plat::INVALID_SOCKET};
plat::sockaddr_in CServiceWindow::m_SockAddr = {};
plat::BOOL CServiceWindow::m_bWinsockStarted = 1;
LineFramer CServiceWindow::m_LineFramer;
char CServiceWindow::m_szSendBuffer[2048];

namespace {

constexpr long kSocketEvents = plat::FD_READ | plat::FD_ACCEPT | plat::FD_CLOSE;
constexpr long kClientEvents = plat::FD_READ | plat::FD_CONNECT | plat::FD_CLOSE;
// A client that takes no data for this long is given up, so no sender waits on it for ever. The wait
// goes through select, so it runs at the layer's time scale like the other pauses of the service.
constexpr long kSendWaitSeconds = 10;
// What one receive takes from the client at the most; the rest waits for the next notification.
constexpr int kMostReceivedAtOnce = 1023;

plat::sockaddr* AsAddress(plat::sockaddr_in* address) { return reinterpret_cast<plat::sockaddr*>(address); }

unsigned SocketNumber(plat::SOCKET socket) { return static_cast<unsigned>(socket); }

// The errors send is documented to give; each ends the client, as does any other, which is logged as
// unknown.
constexpr int kKnownSendErrors[] = {
    plat::WSAEINTR,          plat::WSAEACCES,       plat::WSAEFAULT,     plat::WSAEINVAL,
    plat::WSAENOTSOCK,       plat::WSAEMSGSIZE,     plat::WSAEOPNOTSUPP, plat::WSAENETDOWN,
    plat::WSAENETRESET,      plat::WSAECONNABORTED, plat::WSAECONNRESET, plat::WSAENOBUFS,
    plat::WSAENOTCONN,       plat::WSAESHUTDOWN,    plat::WSAETIMEDOUT,  plat::WSAEHOSTUNREACH,
    plat::WSANOTINITIALISED,
};

// How a failed send is logged before the client is given up ("Socket" or "Unknown"); null for a send
// that only has to wait for room.
const char* SendFailureKind(int error) {
  if (error == 0 || error == plat::WSAEWOULDBLOCK) return nullptr;
  for (int known : kKnownSendErrors) {
    if (known == error) return "Socket";
  }
  return "Unknown";
}

// What a send that fell short counts as sent: nothing for one that only has to wait for room; any
// other error gives the client up.
int CountShortSend(const char* line, int size, int result) {
  LogMessage(kLogError,
             "CServiceWindow::SendBack: Error: while sending the message of size (%d) send returned with "
             "Value: %d",
             size, result);
  if (result != plat::SOCKET_ERROR) return result;
  const int error = plat::WSAGetLastError();
  if (const char* kind = SendFailureKind(error)) {
    LogMessage(kLogError,
               "CServiceWindow::SendBack: %s error during send: for %s ErrorCode=%d closing socket!", kind,
               line, error);
    CServiceWindow::CloseClientSocket();
    return result;
  }
  LogMessage(kLogError,
             "CServiceWindow::SendBack: Socket error during send: for %s ErrorCode=WSAEWOULDBLOCK going to "
             "select!",
             line);
  return 0;
}

// Waits until the client can take more of the line; false once it has been given up. Bounded: a
// client that stops reading must not hold every sender, the main thread included.
bool WaitForRoom(const char* line) {
  plat::fd_set writable;
  plat::FdZero(&writable);
  plat::FdSet(CServiceWindow::m_ClientSock, &writable);
  plat::timeval limit = {kSendWaitSeconds, 0};
  const int ready = plat::select(0, nullptr, &writable, nullptr, &limit);
  if (ready > 0) return true;
  LogMessage(kLogError,
             "CServiceWindow::SendBack: select failed during send: for %s ErrorCode=%d closing socket!", line,
             ready == 0 ? plat::WSAETIMEDOUT : plat::WSAGetLastError());
  CServiceWindow::CloseClientSocket();
  return false;
}

// Sends the line to the client whole, waiting for room as long as the client takes data; gives the
// client up on any error. Called under the send lock.
void SendWhole(const char* line) {
  const int size = static_cast<int>(std::strlen(line));
  int sent = 0;
  while (sent < size) {
    if (sent > 0)
      LogMessage(
          kLogError,
          "CServiceWindow::SendBack: Error: could not send the whole message right away: sent: %d dwSize %d "
          "sendbuffer: %s",
          sent, size, line + sent);
    const int result = plat::send(CServiceWindow::m_ClientSock, line + sent, size - sent, 0);
    if (result == size - sent) {
      LogMessage(kLogInfo, "-> %s", line);
      return;
    }
    const int counted = CountShortSend(line, size, result);
    if (CServiceWindow::m_ClientSock == plat::INVALID_SOCKET) {
      LogMessage(kLogError, "CServiceWindow::SendBack: m_ClientSock==SOCKET_ERROR leaving while");
      return;
    }
    sent += counted;
    if (sent < size) {
      LogMessage(kLogError,
                 "CServiceWindow::SendBack: could not send the whole message right away: sent: %d dwSize %d",
                 sent, size);
      if (!WaitForRoom(line)) return;
    }
  }
}

}  // namespace

plat::BOOL CServiceWindow::StartTcpIp() {
  LogMessage(kLogTrace, "CServiceWindow::StartTcpIp %d", m_dwPortNumber);
  m_SockAddr.sin_family = plat::AF_INET;
  m_SockAddr.sin_port = plat::htons(static_cast<plat::WORD>(m_dwPortNumber & 0xFFFF));
  WinsockInitialize();
  if (SocketInitialize() != 0 || SourceInitialize() != 0) {
    LogMessage(kLogError, "Error initializing Socket");
    return plat::FALSE;
  }
  bool bound = false;
  for (int attempt = 0; attempt < 5 && !bound; ++attempt) {
    plat::Sleep(static_cast<plat::DWORD>(attempt) * 1000);
    plat::WSASetLastError(0);
    bound = plat::bind(m_Sock, AsAddress(&m_SockAddr), sizeof(m_SockAddr)) == 0;
    if (!bound) LogMessage(kLogError, "Bind Error (try %d): %d", attempt, plat::WSAGetLastError());
  }
  if (!bound) return plat::FALSE;
  plat::WSASetLastError(0);
  if (plat::listen(m_Sock, 5) != 0) {
    LogMessage(kLogError, "Listen Error %d", plat::WSAGetLastError());
    return plat::FALSE;
  }
  // Port 0 lets the system choose: the port actually listened on is what a client needs to know.
  plat::sockaddr_in bound_address = {};
  int length = sizeof(bound_address);
  if (plat::getsockname(m_Sock, AsAddress(&bound_address), &length) == 0)
    LogMessage(kLogInfo, "Listening on port %d", plat::ntohs(bound_address.sin_port));
  return plat::TRUE;
}

int CServiceWindow::WinsockInitialize() {
  LogMessage(kLogTrace, "CServiceWindow::WinsockInitialize");
  if (!m_bWinsockStarted) return 0;
  plat::WSADATA data;
  int error = plat::WSAStartup(plat::MAKEWORD(2, 0), &data);
  if (error != 0) {
    LogMessage(kLogError, "WSAStartup-Error %d", error);
    m_bWinsockStarted = 0;
  }
  return error;
}

int CServiceWindow::SocketInitialize() {
  LogMessage(kLogDetail, "CServiceWindow::SocketInitialize");
  plat::WSASetLastError(0);
  m_Sock = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  LogMessage(kLogDetail, "Create m_Sock 0x%08X", SocketNumber(m_Sock));
  if (m_Sock != plat::INVALID_SOCKET) return 0;
  int error = plat::WSAGetLastError();
  LogMessage(kLogError, "Client Socket Fehler %d", error);
  if (m_bWinsockStarted) plat::WSACleanup();
  return error;
}

int CServiceWindow::SourceInitialize() {
  LogMessage(kLogInfo, "CServiceWindow::SourceInitialize");
  plat::WSASetLastError(0);
  if (plat::WSAAsyncSelect(m_Sock, m_hWnd, WM_MESSAGE_SOCKET, kSocketEvents) == 0) return 0;
  int error = plat::WSAGetLastError();
  LogMessage(kLogError, "WSAAsyncSelect-Fehler %d", error);
  plat::closesocket(m_Sock);
  if (m_bWinsockStarted) plat::WSACleanup();
  return error;
}

void CServiceWindow::NewConnection() {
  LogMessage(kLogTrace, "CServiceWindow::NewConnection");
  int length = sizeof(m_SockAddr);
  plat::SOCKET client = plat::accept(m_Sock, AsAddress(&m_SockAddr), &length);
  if (client != plat::INVALID_SOCKET) {
    // Each protocol line is a send of its own: without this, the second line of an answer would wait
    // for the client's delayed acknowledgement of the first.
    const plat::BOOL noDelay = 1;
    plat::setsockopt(client, plat::IPPROTO_TCP, plat::TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                     sizeof(noDelay));
  }
  ReplaceClientSocket(client);
  // A new client starts with an empty line, whatever the last one left unfinished.
  m_LineFramer.Reset();
  char peer[64];
  plat::BoundedCopy(peer, sizeof(peer), plat::inet_ntoa(m_SockAddr.sin_addr));
  LogMessage(kLogInfo, "accept %d from %s", static_cast<int>(client), peer);
  if (client != plat::INVALID_SOCKET) plat::WSAAsyncSelect(client, m_hWnd, WM_MESSAGE_SOCKET, kClientEvents);
}

void CServiceWindow::ReceiveData() {
  char bytes[kMostReceivedAtOnce];
  int waiting = ReceiveFromClient(bytes, sizeof(bytes), plat::MSG_PEEK);
  if (waiting <= 0) return;
  int read = ReceiveFromClient(bytes, waiting, 0);
  if (read <= 0) return;
  m_LineFramer.Feed(bytes, static_cast<size_t>(read), DispatchData);
}

void CServiceWindow::ReplaceClientSocket(plat::SOCKET socket) {
  // Under the send lock: a provider thread in SendBack never sends on a socket closed or reused here.
  plat::CriticalSectionLock lock(&m_csSend);
  m_ClientSock = socket;
}

int CServiceWindow::ReceiveFromClient(char* buffer, int length, int flags) {
  // The socket does not block (it reports through window messages), so the lock is held only briefly.
  plat::CriticalSectionLock lock(&m_csSend);
  return plat::recv(m_ClientSock, buffer, length, flags);
}

void CServiceWindow::CloseClientSocket() {
  plat::CriticalSectionLock lock(&m_csSend);
  if (m_ClientSock != plat::INVALID_SOCKET) plat::closesocket(m_ClientSock);
  m_ClientSock = plat::INVALID_SOCKET;
}

void CServiceWindow::StopTcpIp() {
  LogMessage(kLogInfo, "CServiceWindow::StopTcpIp");
  if (m_ClientSock != plat::INVALID_SOCKET) {
    LogMessage(kLogInfo, "closesocket: %d", static_cast<int>(m_ClientSock));
    CloseClientSocket();
  }
  if (m_Sock != 0) {
    LogMessage(kLogInfo, "closesocket: %d", static_cast<int>(m_Sock));
    plat::closesocket(m_Sock);
    m_Sock = 0;
  }
  if (m_bWinsockStarted) plat::WSACleanup();
}

void CServiceWindow::SendBack(const char* format, ...) {
  LogMessage(kLogTrace, "CServiceWindow::SendBack");
  plat::CriticalSectionLock lock(&m_csSend);
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(m_szSendBuffer, sizeof(m_szSendBuffer), format, arguments);
  va_end(arguments);
  // The line end goes into the room left short of the buffer's last byte: a line that nearly fills the
  // buffer goes out with its end cut short, or without it.
  const size_t length = std::strlen(m_szSendBuffer);
  std::snprintf(m_szSendBuffer + length, sizeof(m_szSendBuffer) - 1 - length, "\r\n");
  SendWhole(m_szSendBuffer);
}
