// The Windows Sockets tests' fixture: a started layer with a notification window and a listener on
// 127.0.0.1, and the helpers that send, fill and read through it.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plat/testing/window.h"
#include "plat/window.h"
#include "plat/winsock.h"
#include "support/eventually.h"

namespace winsocktest {

using namespace std::chrono_literals;

constexpr plat::UINT kSocketMessage = 0x46A;
constexpr plat::LONG kListenerEvents = plat::FD_READ | plat::FD_ACCEPT | plat::FD_CLOSE;  // 0x29
// How long a test waits for a message that must come, and for one that must not.
constexpr auto kArrival = 20s;
constexpr auto kQuiet = 150ms;

inline plat::sockaddr_in Loopback(plat::WORD port) {
  plat::sockaddr_in address{};
  address.sin_family = plat::AF_INET;
  address.sin_port = plat::htons(port);
  address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  return address;
}

inline const plat::sockaddr* AsAddress(const plat::sockaddr_in& address) {
  return reinterpret_cast<const plat::sockaddr*>(&address);
}

// Whether `socket` becomes readable within `limit`.
inline bool WaitReadable(plat::SOCKET socket, std::chrono::milliseconds limit = 20s) {
  plat::fd_set set;
  plat::FdZero(&set);
  plat::FdSet(socket, &set);
  plat::timeval timeout{static_cast<plat::LONG>(limit.count() / 1000),
                        static_cast<plat::LONG>(limit.count() % 1000 * 1000)};
  return plat::select(0, &set, nullptr, nullptr, &timeout) == 1;
}

// Reads exactly `count` bytes, waiting at most a few seconds for each part; what came when it stops.
inline std::string ReceiveExactly(plat::SOCKET socket, size_t count) {
  std::string received;
  char buffer[65536];
  while (received.size() < count && WaitReadable(socket)) {
    int wanted = static_cast<int>(std::min(sizeof buffer, count - received.size()));
    int got = plat::recv(socket, buffer, wanted, 0);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

inline int SendText(plat::SOCKET socket, const std::string& text) {
  return plat::send(socket, text.data(), static_cast<int>(text.size()), 0);
}

// Sends on a non-blocking socket whose peer does not read until nothing more fits, also after a
// pause (acknowledgements free room for a while after the first WSAEWOULDBLOCK); the bytes taken.
inline size_t FillUntilFull(plat::SOCKET socket) {
  int small = 16384;
  plat::setsockopt(socket, plat::SOL_SOCKET, plat::SO_SNDBUF, reinterpret_cast<const char*>(&small), 4);
  std::vector<char> chunk(8192, 'x');
  size_t total = 0;
  for (int round = 0; round < 100; ++round) {
    size_t before = total;
    for (int attempt = 0; attempt < 1000; ++attempt) {
      int sent = plat::send(socket, chunk.data(), static_cast<int>(chunk.size()), 0);
      if (sent == -1) break;
      total += static_cast<size_t>(sent);
    }
    EXPECT_EQ(10035, plat::WSAGetLastError());
    if (total == before) break;
    std::this_thread::sleep_for(100ms);  // longer than a delayed acknowledgement
  }
  return total;
}

// Fills `socket` as FillUntilFull does until `staysFull` confirms that no room is left: room that a
// late acknowledgement made after the filling (a busy machine may hold one back for long) is filled
// too. Room reported where not one byte more fits fails the test.
inline size_t FillUntilConfirmedFull(plat::SOCKET socket, const std::function<bool()>& staysFull) {
  size_t total = FillUntilFull(socket);
  for (int round = 0; round < 20; ++round) {
    if (staysFull()) return total;
    const size_t more = FillUntilFull(socket);
    EXPECT_NE(0u, more) << "room was reported where none was";
    if (more == 0) return total;
    total += more;
  }
  ADD_FAILURE() << "the socket never stayed full";
  return total;
}

// Whether thread `thread` of this process is blocked in system call `number`, waiting 30 s at most.
inline bool WaitUntilBlockedIn(pid_t thread, long number) {
  const std::string path = "/proc/self/task/" + std::to_string(thread) + "/syscall";
  return testsupport::Eventually([&path, number] {
    std::ifstream call(path);
    std::string current;
    return call >> current && current == std::to_string(number);
  });
}

// A started Windows Sockets, a window of the test's thread for notifications and a listener on
// 127.0.0.1 at a port the system chose; everything the test opened is closed by the last cleanup.
class WinsockTest : public ::testing::Test {
 public:
  void SetUp() override { Start(); }
  void TearDown() override { Stop(); }

  void Start() {
    plat::WSADATA data;
    ASSERT_EQ(0, plat::WSAStartup(plat::MAKEWORD(2, 0), &data));
    m_window = plat::CreateWindowForTesting(nullptr, 0);
    m_listener = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
    ASSERT_NE(plat::INVALID_SOCKET, m_listener);
    plat::sockaddr_in address = Loopback(0);
    ASSERT_EQ(0, plat::bind(m_listener, AsAddress(address), sizeof address));
    ASSERT_EQ(0, plat::listen(m_listener, 5));
    plat::sockaddr_in bound{};
    int length = sizeof bound;
    ASSERT_EQ(0, plat::getsockname(m_listener, reinterpret_cast<plat::sockaddr*>(&bound), &length));
    m_port = plat::ntohs(bound.sin_port);
  }

  void Stop() {
    plat::WSACleanup();
    plat::MSG message;
    while (plat::PeekMessageA(&message, m_window, 0, 0, plat::PM_REMOVE)) {
    }
    plat::RemoveWindowForTesting(m_window);
  }

  // A blocking client connected to the listener (the connection waits in the backlog).
  plat::SOCKET Connect() {
    plat::SOCKET client = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
    plat::sockaddr_in address = Loopback(m_port);
    EXPECT_EQ(0, plat::connect(client, AsAddress(address), sizeof address));
    return client;
  }

  // The next socket message within `limit`, if any.
  std::optional<plat::MSG> NextMessage(std::chrono::milliseconds limit) {
    plat::MSG message;
    const bool arrived = testsupport::Eventually(
        [&] {
          return plat::PeekMessageA(&message, m_window, kSocketMessage, kSocketMessage, plat::PM_REMOVE) != 0;
        },
        limit);
    if (!arrived) return std::nullopt;
    return message;
  }

  void ExpectEvent(plat::SOCKET socket, plat::WORD event, plat::WORD error = 0) {
    std::optional<plat::MSG> message = NextMessage(kArrival);
    ASSERT_TRUE(message.has_value()) << "no message for event " << event;
    EXPECT_EQ(socket, message->wParam);
    EXPECT_EQ(event, plat::WSAGETSELECTEVENT(message->lParam));
    EXPECT_EQ(error, plat::WSAGETSELECTERROR(message->lParam));
  }

  void ExpectQuiet() {
    std::optional<plat::MSG> message = NextMessage(kQuiet);
    EXPECT_FALSE(message.has_value()) << "unexpected event " << plat::WSAGETSELECTEVENT(message->lParam)
                                      << " for socket " << message->wParam;
  }

  // Accepts the waiting connection on the listener after its FD_ACCEPT.
  plat::SOCKET AcceptAnnounced() {
    ExpectEvent(m_listener, plat::FD_ACCEPT);
    return plat::accept(m_listener, nullptr, nullptr);
  }

  plat::HWND m_window = nullptr;
  plat::SOCKET m_listener = plat::INVALID_SOCKET;
  plat::WORD m_port = 0;
};

}  // namespace winsocktest
