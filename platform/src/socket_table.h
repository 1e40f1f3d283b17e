// The socket records of Windows Sockets and their table, shared by the socket calls and by the
// notifications that WSAAsyncSelect asks for.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "message_wait.h"
#include "plat/error.h"
#include "plat/testing/winsock.h"
#include "plat/winsock.h"

// No system socket header here: a source that includes this one may still take the Windows numbers
// whose names those headers define as macros.

namespace plat::detail {

// Sets the thread's last error to `code` and returns what a failed socket call returns.
inline int Fail(DWORD code) {
  SetLastError(code);
  return SOCKET_ERROR;
}

// Fail for the calls that return a socket.
inline SOCKET FailSocket(DWORD code) {
  SetLastError(code);
  return INVALID_SOCKET;
}

enum class SocketState { Fresh, Listening, Connecting, Connected };

// How long a socket waits before its watch is tried again, when the system had no descriptor or memory
// for it: short enough to go unnoticed, long enough that a thread waiting on it stays idle.
constexpr std::chrono::milliseconds kRearmPause{100};

// One socket of the table. The descriptor closes with the last user, so a call still running on
// another thread never meets a number the system has handed out again.
struct Socket {
  Socket(SOCKET socketValue, int descriptor) : value(socketValue), fd(descriptor) {}
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  const SOCKET value;
  const int fd;
  // Calls that may block on the descriptor; closesocket wakes them.
  std::atomic<int> callsUnderWay{0};
  // Held by a recv from its first look at `received` to its last, so that what one reader took from the
  // system joins the buffer before another reader takes what came after it. Taken before `mutex`.
  std::mutex readMutex;

  std::mutex mutex;  // guards everything below
  bool closed = false;
  SocketState state = SocketState::Fresh;
  bool bound = false;
  bool nonBlocking = false;
  bool sendShut = false;
  bool receiveShut = false;
  // The reset or abort the system reported once; later calls keep reporting it, as on Windows.
  DWORD lostConnection = 0;
  // What a peek took from the system, for the next recv: a peek and the recv of the same bytes then
  // cost one system call. Counts as waiting data for FD_READ, FD_CLOSE, select and the close; after a
  // shutdown of receiving nothing reads it any more.
  std::vector<char> received;
  // The errno value the system reported while `received` still held data, for when it is read.
  int receiveError = 0;

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
  bool peerClosed = false;                  // nothing more will arrive and nothing is left to read
  uint32_t watched = 0;                     // what the socket is armed for in the message wait
  std::shared_ptr<MessageWaitSet> waitSet;  // of the thread that owned waitSetWindow
  HWND waitSetWindow = nullptr;
  // The wait set that hears of `received` while FD_READ is enabled, since the system does not see it.
  std::shared_ptr<MessageWaitSet> receivedMarkedIn;
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

// ---- The table (socket_table.cpp) ----

// The process's table, which hands the message waits their socket handlers on first use. Never
// destroyed: a message wait may still look sockets up while the process ends.
SocketTable& TheSocketTable();
// The socket of `value`; null when there is none.
std::shared_ptr<Socket> FindSocket(SOCKET value);
// The socket of `value` for a call; null with WSANOTINITIALISED or WSAENOTSOCK set.
std::shared_ptr<Socket> OpenSocket(SOCKET value);
// Enters the descriptor as a new socket with a value of its own.
std::shared_ptr<Socket> AddSocket(int fd);
// 0 or the Windows code of the failure.
DWORD SetNonBlocking(int fd, bool nonBlocking);
// The error a test made `call` fail with; 0 when it works.
DWORD FailureFor(WinsockCall call);

// ---- Notifications (async_select.cpp) ----
// The calls that change what a socket's notifications depend on make these, under the socket's lock.

// Takes the socket out of the message wait.
void Unwatch(Socket& socket);
// Drops what the socket holds of received data, for a close.
void DropReceived(Socket& socket);
// Posts `event` with `error` to the socket's window as its message.
void Post(const Socket& socket, LONG event, DWORD error);
// Watches for what the socket wants after a change, where no caller can be told of a refusal (no
// memory, or the system's limit of watched descriptors). The layer tries again itself after
// kRearmPause: a program may ignore a notification that carries an error without making the
// re-enabling call, and would then never hear of its socket again.
void Rearm(Socket& socket);
// Looks at the socket's watch again after `pause`, from its thread's wait set, which needs no
// descriptor of its own to call back.
void RearmAfter(Socket& socket, std::chrono::milliseconds pause);

// The handlers of the message waits, on the waiting thread and outside every lock: OnSocketReady for
// the socket whose value is `key` and the readiness `ready` it has, OnSocketsDue when a pause of
// RearmAfter may be over.
void OnSocketReady(uint64_t key, uint32_t ready);
void OnSocketsDue();

}  // namespace plat::detail
