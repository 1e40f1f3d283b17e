// Tests of Windows Sockets: start and end, TCP over 127.0.0.1, errors, select, and the notification
// messages of WSAAsyncSelect with their re-enabling rules.
#include "plat/winsock.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/testing/time.h"
#include "plat/testing/window.h"
#include "plat/testing/winsock.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "support/descriptor_limit.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr plat::UINT kSocketMessage = 0x46A;
constexpr plat::LONG kListenerEvents = plat::FD_READ | plat::FD_ACCEPT | plat::FD_CLOSE;  // 0x29
// How long a test waits for a message that must come, and for one that must not.
constexpr auto kArrival = 20s;
constexpr auto kQuiet = 150ms;

plat::sockaddr_in Loopback(plat::WORD port) {
  plat::sockaddr_in address{};
  address.sin_family = plat::AF_INET;
  address.sin_port = plat::htons(port);
  address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  return address;
}

const plat::sockaddr* AsAddress(const plat::sockaddr_in& address) {
  return reinterpret_cast<const plat::sockaddr*>(&address);
}

// Whether `socket` becomes readable within `limit`.
bool WaitReadable(plat::SOCKET socket, std::chrono::milliseconds limit = 20s) {
  plat::fd_set set;
  plat::FdZero(&set);
  plat::FdSet(socket, &set);
  plat::timeval timeout{static_cast<plat::LONG>(limit.count() / 1000),
                        static_cast<plat::LONG>(limit.count() % 1000 * 1000)};
  return plat::select(0, &set, nullptr, nullptr, &timeout) == 1;
}

// Reads exactly `count` bytes, waiting at most a few seconds for each part; what came when it stops.
std::string ReceiveExactly(plat::SOCKET socket, size_t count) {
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

int SendText(plat::SOCKET socket, const std::string& text) {
  return plat::send(socket, text.data(), static_cast<int>(text.size()), 0);
}

// Sends on a non-blocking socket whose peer does not read until nothing more fits, also after a
// pause (acknowledgements free room for a while after the first WSAEWOULDBLOCK); the bytes taken.
size_t FillUntilFull(plat::SOCKET socket) {
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
size_t FillUntilConfirmedFull(plat::SOCKET socket, const std::function<bool()>& staysFull) {
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

// Whether thread `thread` of this process is blocked in system call `number`, waiting 20 s at most.
bool WaitUntilBlockedIn(pid_t thread, long number) {
  const std::string path = "/proc/self/task/" + std::to_string(thread) + "/syscall";
  const auto deadline = Clock::now() + 20s;
  while (Clock::now() < deadline) {
    std::ifstream call(path);
    std::string current;
    if (call >> current && current == std::to_string(number)) return true;
    std::this_thread::sleep_for(1ms);
  }
  return false;
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
    const auto deadline = Clock::now() + limit;
    plat::MSG message;
    do {
      if (plat::PeekMessageA(&message, m_window, kSocketMessage, kSocketMessage, plat::PM_REMOVE)) {
        return message;
      }
      std::this_thread::sleep_for(1ms);
    } while (Clock::now() < deadline);
    return std::nullopt;
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

// ---- Start, end and socket values ----

TEST(WinsockStartupTest, AcceptsVersionTwoOnly) {
  struct Case {
    plat::WORD requested;
    int result;
    plat::WORD granted;
  };
  const Case cases[] = {
      {0x0202, 0, 0x0202}, {0x0002, 0, 0x0002}, {0x0902, 0, 0x0202}, {0x0101, 10092, 0}, {0x0003, 10092, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requested);
    plat::WSADATA data{};
    EXPECT_EQ(c.result, plat::WSAStartup(c.requested, &data));
    if (c.result != 0) continue;
    EXPECT_EQ(c.granted, data.wVersion);
    EXPECT_EQ(0x0202, data.wHighVersion);
    EXPECT_EQ(0, plat::WSACleanup());
  }
  EXPECT_EQ(10014, plat::WSAStartup(0x0202, nullptr));
}

TEST(WinsockStartupTest, EveryCallFailsWithoutStartAndStartsAreCounted) {
  plat::SOCKET kept = plat::INVALID_SOCKET;
  auto expectNotStarted = [&kept] {
    char buffer[4] = {};
    plat::sockaddr_in address = Loopback(1);
    int length = sizeof address;
    plat::ULONG on = 1;
    plat::fd_set set;
    plat::FdZero(&set);
    plat::FdSet(kept, &set);
    plat::timeval zero{0, 0};
    const std::vector<std::pair<const char*, std::function<bool()>>> calls = {
        {"socket", [] { return plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0) == plat::INVALID_SOCKET; }},
        {"closesocket", [&] { return plat::closesocket(kept) == -1; }},
        {"bind", [&] { return plat::bind(kept, AsAddress(address), sizeof address) == -1; }},
        {"listen", [&] { return plat::listen(kept, 5) == -1; }},
        {"accept", [&] { return plat::accept(kept, nullptr, nullptr) == plat::INVALID_SOCKET; }},
        {"connect", [&] { return plat::connect(kept, AsAddress(address), sizeof address) == -1; }},
        {"recv", [&] { return plat::recv(kept, buffer, 4, 0) == -1; }},
        {"send", [&] { return plat::send(kept, buffer, 4, 0) == -1; }},
        {"select", [&] { return plat::select(0, &set, nullptr, nullptr, &zero) == -1; }},
        {"getsockname",
         [&] { return plat::getsockname(kept, reinterpret_cast<plat::sockaddr*>(&address), &length) == -1; }},
        {"getpeername",
         [&] { return plat::getpeername(kept, reinterpret_cast<plat::sockaddr*>(&address), &length) == -1; }},
        {"setsockopt",
         [&] { return plat::setsockopt(kept, plat::IPPROTO_TCP, plat::TCP_NODELAY, buffer, 4) == -1; }},
        {"ioctlsocket", [&] { return plat::ioctlsocket(kept, plat::FIONBIO, &on) == -1; }},
        {"shutdown", [&] { return plat::shutdown(kept, plat::SD_BOTH) == -1; }},
        {"WSAAsyncSelect", [&] { return plat::WSAAsyncSelect(kept, nullptr, kSocketMessage, 0) == -1; }},
        {"WSACleanup", [] { return plat::WSACleanup() == -1; }},
    };
    for (const auto& [name, call] : calls) {
      plat::WSASetLastError(0);
      EXPECT_TRUE(call()) << name;
      EXPECT_EQ(10093, plat::WSAGetLastError()) << name;
    }
  };

  expectNotStarted();
  plat::WSADATA data;
  ASSERT_EQ(0, plat::WSAStartup(0x0202, &data));
  ASSERT_EQ(0, plat::WSAStartup(0x0202, &data));
  kept = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
  ASSERT_NE(plat::INVALID_SOCKET, kept);
  EXPECT_EQ(0, plat::WSACleanup());
  // One start is still in force: the socket lives on.
  EXPECT_EQ(-1, plat::shutdown(kept, 7));
  EXPECT_EQ(10022, plat::WSAGetLastError());
  EXPECT_EQ(0, plat::WSACleanup());
  expectNotStarted();
  // The last cleanup closed it.
  ASSERT_EQ(0, plat::WSAStartup(0x0202, &data));
  EXPECT_EQ(-1, plat::closesocket(kept));
  EXPECT_EQ(10038, plat::WSAGetLastError());
  EXPECT_EQ(0, plat::WSACleanup());
}

TEST(WinsockStartupTest, InjectedFailures) {
  plat::WSADATA data;
  plat::FailWinsockCallForTesting(plat::WinsockCall::Startup, 10091);
  EXPECT_EQ(10091, plat::WSAStartup(0x0202, &data));
  plat::FailWinsockCallForTesting(plat::WinsockCall::Startup, 0);
  ASSERT_EQ(0, plat::WSAStartup(0x0202, &data));
  plat::HWND window = plat::CreateWindowForTesting(nullptr, 0);
  plat::SOCKET socket = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
  plat::FailWinsockCallForTesting(plat::WinsockCall::AsyncSelect, 10055);
  EXPECT_EQ(-1, plat::WSAAsyncSelect(socket, window, kSocketMessage, kListenerEvents));
  EXPECT_EQ(10055, plat::WSAGetLastError());
  plat::FailWinsockCallForTesting(plat::WinsockCall::AsyncSelect, 0);
  EXPECT_EQ(0, plat::WSAAsyncSelect(socket, window, kSocketMessage, kListenerEvents));
  EXPECT_EQ(0, plat::WSACleanup());
  plat::RemoveWindowForTesting(window);
}

TEST_F(WinsockTest, SocketValuesAreNeverReusedAndNotDescriptors) {
  std::set<plat::SOCKET> seen = {m_listener};
  for (int round = 0; round < 20; ++round) {
    plat::SOCKET socket = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
    ASSERT_NE(plat::INVALID_SOCKET, socket);
    EXPECT_GE(socket, 0x100u);  // far above the descriptor numbers a test process uses
    EXPECT_TRUE(seen.insert(socket).second) << "value " << socket << " came twice";
    ASSERT_EQ(0, plat::closesocket(socket));
    EXPECT_EQ(-1, plat::closesocket(socket));
    EXPECT_EQ(10038, plat::WSAGetLastError());
  }
  EXPECT_EQ(-1, plat::closesocket(0));
  EXPECT_EQ(10038, plat::WSAGetLastError());
  EXPECT_EQ(-1, plat::send(plat::INVALID_SOCKET, "x", 1, 0));
  EXPECT_EQ(10038, plat::WSAGetLastError());
}

// ---- Conversions ----

TEST(WinsockConversionTest, ByteOrderAndDottedText) {
  EXPECT_EQ(0x3412, plat::htons(0x1234));
  EXPECT_EQ(0x1234, plat::ntohs(0x3412));
  EXPECT_EQ(0x78563412u, plat::htonl(0x12345678));
  EXPECT_EQ(0x12345678u, plat::ntohl(0x78563412));

  const std::pair<const char*, plat::ULONG> texts[] = {
      {"127.0.0.1", 0x0100007F}, {"10.1.2.3", 0x0302010A},  {"255.255.255.255", 0xFFFFFFFF},
      {"0x7f.1", 0x0100007F},    {"256.1.1.1", 0xFFFFFFFF}, {"a.b.c.d", 0xFFFFFFFF},
      {"", 0xFFFFFFFF},
  };
  for (const auto& [text, expected] : texts) EXPECT_EQ(expected, plat::inet_addr(text)) << text;
  EXPECT_EQ(0xFFFFFFFFu, plat::inet_addr(nullptr));

  plat::in_addr address{};
  address.s_addr = 0x0302010A;
  EXPECT_STREQ("10.1.2.3", plat::inet_ntoa(address));
  EXPECT_EQ(10, address.S_un.S_un_b.s_b1);
  EXPECT_EQ(0x0302010Au, address.S_un.S_addr);
}

TEST(WinsockConversionTest, SetsHoldEachSocketOnceUpToSixtyFour) {
  plat::fd_set set;
  plat::FdZero(&set);
  plat::FdSet(7, &set);
  plat::FdSet(7, &set);
  plat::FdSet(9, &set);
  EXPECT_EQ(2u, set.fd_count);
  EXPECT_TRUE(plat::FdIsSet(9, &set));
  plat::FdClr(7, &set);
  EXPECT_EQ(1u, set.fd_count);
  EXPECT_FALSE(plat::FdIsSet(7, &set));
  EXPECT_EQ(9u, set.fd_array[0]);
  for (plat::SOCKET s = 100; s < 200; ++s) plat::FdSet(s, &set);
  EXPECT_EQ(64u, set.fd_count);
  EXPECT_EQ(plat::WSAMAKESELECTREPLY(plat::FD_CLOSE, 10054), 0x2746 << 16 | 0x20);
}

// ---- TCP ----

TEST_F(WinsockTest, EchoWithAClientThread) {
  EXPECT_NE(0, m_port);
  std::promise<std::string> echoed;
  std::thread client([this, &echoed] {
    plat::SOCKET socket = Connect();
    SendText(socket, "hello\r\n");
    echoed.set_value(ReceiveExactly(socket, 7));
    plat::closesocket(socket);
  });
  ASSERT_TRUE(WaitReadable(m_listener));
  plat::sockaddr_in peer{};
  int length = sizeof peer;
  plat::SOCKET server = plat::accept(m_listener, reinterpret_cast<plat::sockaddr*>(&peer), &length);
  ASSERT_NE(plat::INVALID_SOCKET, server);
  EXPECT_EQ(16, length);
  EXPECT_EQ(plat::AF_INET, peer.sin_family);
  EXPECT_STREQ("127.0.0.1", plat::inet_ntoa(peer.sin_addr));

  std::string line = ReceiveExactly(server, 7);
  EXPECT_EQ("hello\r\n", line);
  EXPECT_EQ(7, SendText(server, line));
  std::future<std::string> reply = echoed.get_future();
  ASSERT_EQ(std::future_status::ready, reply.wait_for(20s));
  EXPECT_EQ("hello\r\n", reply.get());
  client.join();
  ASSERT_TRUE(WaitReadable(server));
  char byte;
  EXPECT_EQ(0, plat::recv(server, &byte, 1, 0));  // the client closed
}

TEST_F(WinsockTest, PeekLeavesTheDataWaiting) {
  plat::SOCKET client = Connect();
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  SendText(client, "abcdef");
  ASSERT_TRUE(WaitReadable(server));
  std::this_thread::sleep_for(20ms);
  char buffer[16] = {};
  EXPECT_EQ(6, plat::recv(server, buffer, sizeof buffer, plat::MSG_PEEK));
  EXPECT_EQ(4, plat::recv(server, buffer, 4, 0));
  EXPECT_EQ("abcd", std::string(buffer, 4));
  EXPECT_EQ(2, plat::recv(server, buffer, sizeof buffer, 0));
  EXPECT_EQ("ef", std::string(buffer, 2));
}

// One step of a script of reads: what the client or the server does, and what the server must see.
struct ReadStep {
  enum Kind {
    kSend,
    kCloseClient,
    kResetClient,
    kPeek,
    kRecv,
    kServerSend,
    kCloseServer,
    kClientRecv,
    kEvent,
    kQuiet,
    kReadable
  };
  Kind kind;
  int number = 0;         // the bytes a peek or recv asks for; the event; 1 when select must see data
  std::string text = "";  // what the client sends; what a peek or recv must return
  plat::WORD error = 0;   // of a failed call (which returns -1) or of the event
};

ReadStep ClientSends(const std::string& text) { return {ReadStep::kSend, 0, text}; }
ReadStep ClientCloses() { return {ReadStep::kCloseClient}; }
ReadStep ClientResets() { return {ReadStep::kResetClient}; }
ReadStep Peek(int asked, const std::string& text) { return {ReadStep::kPeek, asked, text}; }
ReadStep Recv(int asked, const std::string& text) { return {ReadStep::kRecv, asked, text}; }
ReadStep RecvFails(plat::WORD error) { return {ReadStep::kRecv, 16, "", error}; }
ReadStep ServerSendFails(plat::WORD error) { return {ReadStep::kServerSend, 0, "", error}; }
ReadStep ServerCloses() { return {ReadStep::kCloseServer}; }
ReadStep ClientRecv(const std::string& text, plat::WORD error = 0) {
  return {ReadStep::kClientRecv, 16, text, error};
}
ReadStep Event(plat::WORD event, plat::WORD error = 0) { return {ReadStep::kEvent, event, "", error}; }
ReadStep Quiet() { return {ReadStep::kQuiet}; }
ReadStep Readable(bool readable) { return {ReadStep::kReadable, readable ? 1 : 0}; }

// A peek takes the bytes from the system once, and the calls after it are served from what it took as
// the system would serve them: the notifications, select, and the ends of the connection included.
TEST_F(WinsockTest, WhatAPeekTookIsServedAsTheSystemWould) {
  struct Case {
    const char* name;
    std::vector<ReadStep> steps;
  };
  const Case cases[] = {
      {"peeks return what waits, up to what is asked, and take nothing",
       {ClientSends("abcdef"), Event(plat::FD_READ), Peek(16, "abcdef"), Peek(3, "abc"), Peek(16, "abcdef"),
        Recv(4, "abcd"), Recv(16, "ef"), Quiet()}},
      {"a peek announces the data again while it waits",
       {ClientSends("abc"), Event(plat::FD_READ), Peek(16, "abc"), Event(plat::FD_READ), Quiet(),
        Recv(16, "abc"), Quiet()}},
      {"a recv of part of it announces the rest",
       {ClientSends("abcdef"), Event(plat::FD_READ), Peek(16, "abcdef"), Recv(2, "ab"), Event(plat::FD_READ),
        Recv(16, "cdef"), Quiet()}},
      {"a recv after a peek also takes what came after it",
       {ClientSends("abc"), Event(plat::FD_READ), Peek(16, "abc"), ClientSends("def"), Recv(16, "abcdef"),
        Quiet()}},
      {"a peek asking for more than it took sees what came after it",
       {ClientSends("abc"), Event(plat::FD_READ), Peek(16, "abc"), ClientSends("def"), Peek(16, "abcdef"),
        Recv(5, "abcde"), Recv(16, "f"), Quiet()}},
      {"select sees the data a peek took",
       {ClientSends("abc"), Event(plat::FD_READ), Peek(16, "abc"), Readable(true), Recv(16, "abc"),
        Readable(false), Quiet()}},
      {"the close comes after the data a peek took",
       {ClientSends("last"), ClientCloses(), Event(plat::FD_READ), Peek(16, "last"), Event(plat::FD_READ),
        Quiet(), Recv(16, "last"), Event(plat::FD_CLOSE), Recv(16, ""), Quiet()}},
      {"a reset comes after the data a peek took",
       {ClientSends("data"), Event(plat::FD_READ), Peek(16, "data"), ClientResets(), Recv(16, "data"),
        Readable(true), RecvFails(10054), Event(plat::FD_CLOSE, 10054), RecvFails(10054),
        ServerSendFails(10054), Quiet()}},
      {"a reset while a peek's data waits goes to the send that comes first",
       {ClientSends("data"), Event(plat::FD_READ), Peek(16, "data"), ClientResets(), Peek(16, "data"),
        ServerSendFails(10054), Recv(16, "data"), Recv(16, "")}},
      {"a close leaving a peek's data unread resets the connection",
       {ClientSends("abc"), Event(plat::FD_READ), Peek(16, "abc"), Recv(1, "a"), ServerCloses(),
        ClientRecv("", 10054)}},
      {"a close after all was read ends the connection in order",
       {ClientSends("abc"), Event(plat::FD_READ), Peek(16, "abc"), Recv(16, "abc"), ServerCloses(),
        ClientRecv("")}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    plat::SOCKET client = Connect();
    ASSERT_TRUE(WaitReadable(m_listener));
    plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
    ASSERT_EQ(0, plat::WSAAsyncSelect(server, m_window, kSocketMessage, plat::FD_READ | plat::FD_CLOSE));
    size_t index = 0;
    for (const ReadStep& step : test.steps) {
      SCOPED_TRACE("step " + std::to_string(index++));
      char buffer[64] = {};
      switch (step.kind) {
        case ReadStep::kSend:
          ASSERT_EQ(static_cast<int>(step.text.size()), SendText(client, step.text));
          break;
        case ReadStep::kCloseClient:
        case ReadStep::kResetClient: {
          plat::linger abortive{1, 0};
          if (step.kind == ReadStep::kResetClient) {
            ASSERT_EQ(0, plat::setsockopt(client, plat::SOL_SOCKET, plat::SO_LINGER,
                                          reinterpret_cast<const char*>(&abortive), sizeof abortive));
          }
          plat::closesocket(client);
          client = plat::INVALID_SOCKET;
          break;
        }
        case ReadStep::kCloseServer:
          plat::closesocket(server);
          server = plat::INVALID_SOCKET;
          break;
        case ReadStep::kPeek:
        case ReadStep::kRecv:
        case ReadStep::kClientRecv: {
          const int flags = step.kind == ReadStep::kPeek ? plat::MSG_PEEK : 0;
          const int got =
              plat::recv(step.kind == ReadStep::kClientRecv ? client : server, buffer, step.number, flags);
          if (step.error != 0) {
            EXPECT_EQ(-1, got);
            EXPECT_EQ(step.error, plat::WSAGetLastError());
          } else {
            ASSERT_LE(0, got) << plat::WSAGetLastError();
            EXPECT_EQ(step.text, std::string(buffer, static_cast<size_t>(got)));
          }
          break;
        }
        case ReadStep::kServerSend:
          EXPECT_EQ(-1, SendText(server, "x"));
          EXPECT_EQ(step.error, plat::WSAGetLastError());
          break;
        case ReadStep::kEvent:
          ExpectEvent(server, static_cast<plat::WORD>(step.number), step.error);
          break;
        case ReadStep::kQuiet:
          ExpectQuiet();
          break;
        case ReadStep::kReadable:
          EXPECT_EQ(step.number == 1, WaitReadable(server, 0ms));
          break;
      }
    }
    if (server != plat::INVALID_SOCKET) plat::closesocket(server);
    if (client != plat::INVALID_SOCKET) plat::closesocket(client);
    while (NextMessage(0ms)) {
    }
  }
}

// Signals reach a Linux process for many reasons (a profiler's or a fuzzer's timer); a Windows call is not
// ended by them.
TEST_F(WinsockTest, SignalsDoNotEndABlockingRecvOrSend) {
  struct sigaction interrupting = {};
  interrupting.sa_handler = [](int) {};
  struct sigaction previous = {};
  ASSERT_EQ(0, ::sigaction(SIGUSR1, &interrupting, &previous));  // no SA_RESTART: calls see EINTR
  plat::SOCKET client = Connect();
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  std::promise<std::pair<pthread_t, pid_t>> reader;
  std::future<std::string> received = std::async(std::launch::async, [&reader, server] {
    reader.set_value({pthread_self(), gettid()});
    char buffer[8] = {};
    int got = plat::recv(server, buffer, sizeof buffer, 0);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got))
                   : "error " + std::to_string(plat::WSAGetLastError());
  });
  const auto [thread, threadId] = reader.get_future().get();
  // Each signal reaches the call itself, not the way into it.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(WaitUntilBlockedIn(threadId, SYS_recvfrom)) << "signal " << i;
    pthread_kill(thread, SIGUSR1);
  }
  EXPECT_EQ(3, SendText(client, "abc"));
  ASSERT_EQ(std::future_status::ready, received.wait_for(20s));
  EXPECT_EQ("abc", received.get());
  ::sigaction(SIGUSR1, &previous, nullptr);
}

TEST_F(WinsockTest, CloseWakesABlockedAccept) {
  std::promise<pid_t> acceptor;
  std::future<std::pair<plat::SOCKET, int>> accepted = std::async(std::launch::async, [this, &acceptor] {
    acceptor.set_value(gettid());
    plat::SOCKET socket = plat::accept(m_listener, nullptr, nullptr);
    return std::make_pair(socket, plat::WSAGetLastError());
  });
  // A close before the call would only make it fail as a call on no socket.
  const bool isBlocked = WaitUntilBlockedIn(acceptor.get_future().get(), SYS_accept4);
  EXPECT_TRUE(isBlocked) << "accept never blocked";
  ASSERT_EQ(0, plat::closesocket(m_listener));
  if (accepted.wait_for(20s) != std::future_status::ready) {
    ADD_FAILURE() << "accept still blocked";
    Connect();  // the descriptor lives until the call returns, so this frees it
  }
  auto [socket, error] = accepted.get();
  EXPECT_EQ(plat::INVALID_SOCKET, socket);
  EXPECT_EQ(10004, error);
}

TEST_F(WinsockTest, SendToAGonePeerFailsWithoutASignal) {
  plat::SOCKET client = Connect();
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_EQ(0, plat::closesocket(server));
  int result = 0;
  for (const auto deadline = Clock::now() + 20s; result != -1 && Clock::now() < deadline;) {
    result = SendText(client, "line\r\n");
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(-1, result);
  int error = plat::WSAGetLastError();
  EXPECT_TRUE(error == 10054 || error == 10053) << error;
  EXPECT_EQ(-1, SendText(client, "again\r\n"));
}

struct ErrorCase {
  const char* name;
  int expectedError;
  // Runs the failing call on a fixture; true when it reported failure.
  std::function<bool(WinsockTest&, plat::SOCKET fresh, plat::SOCKET listener, plat::WORD port)> call;
};

TEST_F(WinsockTest, ErrorsAsWindowsSocketsCodes) {
  char buffer[8] = {};
  const ErrorCase cases[] = {
      {"bind to a port with a listener", 10048,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD port) {
         plat::sockaddr_in address = Loopback(port);
         return plat::bind(fresh, AsAddress(address), sizeof address) == -1;
       }},
      {"bind with a short address", 10014,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         plat::sockaddr_in address = Loopback(0);
         return plat::bind(fresh, AsAddress(address), 8) == -1;
       }},
      {"bind twice", 10022,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET listener, plat::WORD) {
         plat::sockaddr_in address = Loopback(0);
         return plat::bind(listener, AsAddress(address), sizeof address) == -1;
       }},
      {"connect to a port nobody listens on", 10061,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         plat::SOCKET idle = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
         plat::sockaddr_in address = Loopback(0);
         plat::bind(idle, AsAddress(address), sizeof address);
         int length = sizeof address;
         plat::getsockname(idle, reinterpret_cast<plat::sockaddr*>(&address), &length);
         return plat::connect(fresh, AsAddress(address), sizeof address) == -1;
       }},
      {"connect when connected", 10056,
       [](WinsockTest& test, plat::SOCKET, plat::SOCKET, plat::WORD port) {
         plat::SOCKET client = test.Connect();
         plat::sockaddr_in address = Loopback(port);
         return plat::connect(client, AsAddress(address), sizeof address) == -1;
       }},
      {"listen before bind", 10022,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::listen(fresh, 5) == -1;
       }},
      {"accept on a socket that does not listen", 10022,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::accept(fresh, nullptr, nullptr) == plat::INVALID_SOCKET;
       }},
      {"accept with nothing waiting, non-blocking", 10035,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET listener, plat::WORD) {
         plat::ULONG on = 1;
         plat::ioctlsocket(listener, plat::FIONBIO, &on);
         return plat::accept(listener, nullptr, nullptr) == plat::INVALID_SOCKET;
       }},
      {"recv on a listener", 10057,
       [&buffer](WinsockTest&, plat::SOCKET, plat::SOCKET listener, plat::WORD) {
         return plat::recv(listener, buffer, 8, 0) == -1;
       }},
      {"send on a socket never connected", 10057,
       [&buffer](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::send(fresh, buffer, 8, 0) == -1;
       }},
      {"send after shutdown", 10058,
       [&buffer](WinsockTest& test, plat::SOCKET, plat::SOCKET, plat::WORD) {
         plat::SOCKET client = test.Connect();
         plat::shutdown(client, plat::SD_SEND);
         return plat::send(client, buffer, 8, 0) == -1;
       }},
      {"getsockname before bind", 10022,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         plat::sockaddr_in address{};
         int length = sizeof address;
         return plat::getsockname(fresh, reinterpret_cast<plat::sockaddr*>(&address), &length) == -1;
       }},
      {"getpeername without a connection", 10057,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET listener, plat::WORD) {
         plat::sockaddr_in address{};
         int length = sizeof address;
         return plat::getpeername(listener, reinterpret_cast<plat::sockaddr*>(&address), &length) == -1;
       }},
      {"getsockname with a short buffer", 10014,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET listener, plat::WORD) {
         plat::sockaddr_in address{};
         int length = 15;
         return plat::getsockname(listener, reinterpret_cast<plat::sockaddr*>(&address), &length) == -1;
       }},
      {"socket of another family", 10047,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET, plat::WORD) {
         return plat::socket(23, plat::SOCK_STREAM, 0) == plat::INVALID_SOCKET;
       }},
      {"socket of another type", 10044,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET, plat::WORD) {
         return plat::socket(plat::AF_INET, 2, 0) == plat::INVALID_SOCKET;
       }},
      {"socket of another protocol", 10043,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET, plat::WORD) {
         return plat::socket(plat::AF_INET, plat::SOCK_STREAM, 17) == plat::INVALID_SOCKET;
       }},
      {"unknown option", 10042,
       [&buffer](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::setsockopt(fresh, plat::SOL_SOCKET, 0x7777, buffer, 4) == -1;
       }},
      {"unknown option level", 10022,
       [&buffer](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::setsockopt(fresh, 99, plat::SO_REUSEADDR, buffer, 4) == -1;
       }},
      {"option value too short", 10014,
       [&buffer](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::setsockopt(fresh, plat::SOL_SOCKET, plat::SO_LINGER, buffer, 2) == -1;
       }},
      {"blocking mode while notifications are asked for", 10022,
       [](WinsockTest& test, plat::SOCKET, plat::SOCKET listener, plat::WORD) {
         plat::WSAAsyncSelect(listener, test.m_window, kSocketMessage, plat::FD_ACCEPT);
         plat::ULONG off = 0;
         return plat::ioctlsocket(listener, plat::FIONBIO, &off) == -1;
       }},
      {"unknown ioctl command", 10022,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         plat::ULONG value = 0;
         return plat::ioctlsocket(fresh, 0x4004667F + 1, &value) == -1;
       }},
      {"notifications to no window", 10022,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::WSAAsyncSelect(fresh, reinterpret_cast<plat::HWND>(0x1234), kSocketMessage,
                                     plat::FD_READ) == -1;
       }},
      {"shutdown with an unknown direction", 10022,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::shutdown(fresh, 3) == -1;
       }},
      {"shutdown without a connection", 10057,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         return plat::shutdown(fresh, plat::SD_BOTH) == -1;
       }},
      {"select on empty sets", 10022,
       [](WinsockTest&, plat::SOCKET, plat::SOCKET, plat::WORD) {
         plat::fd_set set;
         plat::FdZero(&set);
         plat::timeval zero{0, 0};
         return plat::select(0, &set, &set, nullptr, &zero) == -1;
       }},
      {"select on a closed socket", 10038,
       [](WinsockTest&, plat::SOCKET fresh, plat::SOCKET, plat::WORD) {
         plat::closesocket(fresh);
         plat::fd_set set;
         plat::FdZero(&set);
         plat::FdSet(fresh, &set);
         plat::timeval zero{0, 0};
         return plat::select(0, &set, nullptr, nullptr, &zero) == -1;
       }},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    plat::SOCKET fresh = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
    plat::WSASetLastError(0);
    EXPECT_TRUE(c.call(*this, fresh, m_listener, m_port));
    EXPECT_EQ(c.expectedError, plat::WSAGetLastError());
    // Each case gets a listener in its first state again.
    Stop();
    Start();
  }
}

// ---- select ----

TEST_F(WinsockTest, SelectWaitsForRoomWithItsTimeout) {
  plat::SOCKET client = Connect();
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  int small = 16384;
  plat::setsockopt(server, plat::SOL_SOCKET, plat::SO_RCVBUF, reinterpret_cast<const char*>(&small), 4);
  plat::ULONG on = 1;
  ASSERT_EQ(0, plat::ioctlsocket(client, plat::FIONBIO, &on));
  plat::fd_set writable;
  Clock::duration waited{};
  const size_t total = FillUntilConfirmedFull(client, [&] {
    plat::FdZero(&writable);
    plat::FdSet(client, &writable);
    plat::timeval timeout{0, 300000};
    const auto start = Clock::now();
    const int ready = plat::select(0, nullptr, &writable, nullptr, &timeout);
    waited = Clock::now() - start;
    return ready == 0;
  });
  EXPECT_EQ(0u, writable.fd_count);
  EXPECT_GE(waited, 290ms);
  EXPECT_LT(waited, 20s) << "300 ms taken for seconds would be 300 s";

  std::future<std::string> drained =
      std::async(std::launch::async, [server, total] { return ReceiveExactly(server, total); });
  plat::FdSet(client, &writable);
  plat::timeval timeout{20, 0};
  EXPECT_EQ(1, plat::select(0, nullptr, &writable, nullptr, &timeout));
  EXPECT_TRUE(plat::FdIsSet(client, &writable));
  EXPECT_EQ(total, drained.get().size());
}

TEST_F(WinsockTest, SelectReportsEachReadySocketOfSeveral) {
  plat::SOCKET quiet = Connect();
  plat::SOCKET talking = Connect();
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  SendText(server, "x");
  plat::fd_set readable;
  plat::FdZero(&readable);
  plat::FdSet(quiet, &readable);
  plat::FdSet(talking, &readable);
  plat::timeval timeout{5, 0};
  ASSERT_EQ(1, plat::select(0, &readable, nullptr, nullptr, &timeout));
  // The first accepted connection is the first one made.
  EXPECT_TRUE(plat::FdIsSet(quiet, &readable));
  EXPECT_FALSE(plat::FdIsSet(talking, &readable));
}

// A select timeout is scaled like every timed wait of the layer: a service's bounded send wait ends in
// a test at the test's time scale.
TEST_F(WinsockTest, SelectTimeoutRunsAtTheTimeScale) {
  plat::SOCKET quiet = Connect();
  plat::fd_set readable;
  plat::FdZero(&readable);
  plat::FdSet(quiet, &readable);
  plat::timeval timeout{60, 0};
  const double scale = plat::TimeScale();
  plat::SetTimeScaleForTesting(0.005);
  const auto start = Clock::now();
  const int ready = plat::select(0, &readable, nullptr, nullptr, &timeout);
  const auto waited = Clock::now() - start;
  plat::SetTimeScaleForTesting(scale);
  EXPECT_EQ(0, ready) << "nothing was sent";
  EXPECT_EQ(0u, readable.fd_count);
  EXPECT_GE(waited, 295ms) << "60 s at the factor 0.005";
  EXPECT_LT(waited, 30s) << "unscaled it would be 60 s";
}

// ---- Notifications ----

TEST_F(WinsockTest, AcceptIsAnnouncedAgainOnlyAfterAccept) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  ExpectQuiet();
  plat::SOCKET first = Connect();
  ExpectEvent(m_listener, plat::FD_ACCEPT);
  plat::SOCKET second = Connect();
  ExpectQuiet();

  plat::SOCKET acceptedFirst = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_NE(plat::INVALID_SOCKET, acceptedFirst);
  ExpectEvent(m_listener, plat::FD_ACCEPT);  // the second is still waiting
  plat::SOCKET acceptedSecond = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_NE(plat::INVALID_SOCKET, acceptedSecond);
  ExpectQuiet();
  EXPECT_EQ(plat::INVALID_SOCKET, plat::accept(m_listener, nullptr, nullptr));
  EXPECT_EQ(10035, plat::WSAGetLastError());  // the listener is non-blocking now
  ExpectQuiet();

  // Each accepted socket took over the listener's request: data is announced for it, and it does
  // not block.
  char buffer[8];
  EXPECT_EQ(-1, plat::recv(acceptedSecond, buffer, sizeof buffer, 0));
  EXPECT_EQ(10035, plat::WSAGetLastError());
  SendText(second, "2");
  ExpectEvent(acceptedSecond, plat::FD_READ);
  SendText(first, "1");
  ExpectEvent(acceptedFirst, plat::FD_READ);
  ExpectQuiet();  // FD_WRITE was not asked for
}

TEST_F(WinsockTest, ReadIsAnnouncedAgainOnlyAfterRecv) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  plat::SOCKET client = Connect();
  plat::SOCKET server = AcceptAnnounced();
  ASSERT_EQ(0, plat::WSAAsyncSelect(server, m_window, kSocketMessage,
                                    plat::FD_READ | plat::FD_CONNECT | plat::FD_CLOSE));
  ExpectQuiet();

  SendText(client, "abc");
  ExpectEvent(server, plat::FD_READ);
  SendText(client, "def");
  ExpectQuiet();  // not before a recv

  char buffer[64] = {};
  ASSERT_EQ(2, plat::recv(server, buffer, 2, 0));
  ExpectEvent(server, plat::FD_READ);  // data is left
  ASSERT_EQ(4, plat::recv(server, buffer, sizeof buffer, 0));
  EXPECT_EQ("cdef", std::string(buffer, 4));
  ExpectQuiet();  // nothing is left

  plat::closesocket(client);
  ExpectEvent(server, plat::FD_CLOSE, 0);
  EXPECT_EQ(0, plat::recv(server, buffer, sizeof buffer, 0));
  ExpectQuiet();  // FD_CLOSE comes once, and no FD_READ for the end
}

TEST_F(WinsockTest, CloseIsAnnouncedAfterTheWaitingDataIsRead) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  plat::SOCKET client = Connect();
  plat::SOCKET server = AcceptAnnounced();
  SendText(client, "last words");
  plat::closesocket(client);

  ExpectEvent(server, plat::FD_READ);
  ExpectQuiet();  // no FD_CLOSE while the data waits
  char buffer[64];
  ASSERT_EQ(10, plat::recv(server, buffer, sizeof buffer, 0));
  ExpectEvent(server, plat::FD_CLOSE, 0);
  ExpectQuiet();
}

TEST_F(WinsockTest, CloseWithoutReadEventsIsAnnouncedWhileDataWaits) {
  plat::SOCKET client = Connect();
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_EQ(0, plat::WSAAsyncSelect(server, m_window, kSocketMessage, plat::FD_CLOSE));
  SendText(client, "unread");
  plat::closesocket(client);

  // Nothing would ever re-enable a close that waits for a recv nobody is told to make.
  ExpectEvent(server, plat::FD_CLOSE, 0);
  char buffer[16];
  EXPECT_EQ(6, plat::recv(server, buffer, sizeof buffer, 0));
  EXPECT_EQ(0, plat::recv(server, buffer, sizeof buffer, 0));
  ExpectQuiet();
}

TEST_F(WinsockTest, ResetIsAnnouncedAsCloseWithItsError) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  plat::SOCKET client = Connect();
  plat::SOCKET server = AcceptAnnounced();
  plat::linger abortive{1, 0};
  ASSERT_EQ(0, plat::setsockopt(client, plat::SOL_SOCKET, plat::SO_LINGER,
                                reinterpret_cast<const char*>(&abortive), sizeof abortive));
  plat::closesocket(client);

  ExpectEvent(server, plat::FD_CLOSE, 10054);
  char buffer[8];
  EXPECT_EQ(-1, plat::recv(server, buffer, sizeof buffer, 0));
  EXPECT_EQ(10054, plat::WSAGetLastError());
  EXPECT_EQ(-1, plat::send(server, "x", 1, 0));
  EXPECT_EQ(10054, plat::WSAGetLastError());
  ExpectQuiet();
}

TEST_F(WinsockTest, WriteIsAnnouncedAfterAcceptAndAfterAFullBuffer) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents | plat::FD_WRITE));
  plat::SOCKET client = Connect();
  plat::SOCKET server = AcceptAnnounced();
  ExpectEvent(server, plat::FD_WRITE);
  ExpectQuiet();

  int small = 16384;
  plat::setsockopt(client, plat::SOL_SOCKET, plat::SO_RCVBUF, reinterpret_cast<const char*>(&small), 4);
  const size_t total = FillUntilConfirmedFull(server, [this] {
    // FD_WRITE may have come between the rounds of filling, while room was still made.
    while (NextMessage(0ms)) {
    }
    return !NextMessage(kQuiet).has_value();
  });
  EXPECT_EQ(total, ReceiveExactly(client, total).size());
  ExpectEvent(server, plat::FD_WRITE);
}

TEST_F(WinsockTest, NothingIsPostedAfterCloseOrAStop) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  plat::SOCKET closedClient = Connect();
  plat::SOCKET closed = AcceptAnnounced();
  plat::SOCKET stoppedClient = Connect();
  plat::SOCKET stopped = AcceptAnnounced();

  ASSERT_EQ(0, plat::closesocket(closed));
  ASSERT_EQ(0, plat::WSAAsyncSelect(stopped, m_window, kSocketMessage, 0));
  SendText(closedClient, "ignored");
  SendText(stoppedClient, "unannounced");
  plat::closesocket(closedClient);
  plat::closesocket(stoppedClient);
  ExpectQuiet();
  std::this_thread::sleep_for(50ms);
  ExpectQuiet();
  // Stopping left the socket non-blocking and readable.
  char buffer[32];
  EXPECT_EQ(11, plat::recv(stopped, buffer, sizeof buffer, 0));
}

TEST_F(WinsockTest, AGoneWindowDropsMessagesAndTheSocketStaysUsable) {
  plat::HWND doomed = plat::CreateWindowForTesting(nullptr, 0);
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, doomed, kSocketMessage, kListenerEvents));
  plat::RemoveWindowForTesting(doomed);
  plat::SOCKET client = Connect();
  ASSERT_TRUE(WaitReadable(m_listener));
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_NE(plat::INVALID_SOCKET, server);
  // A new request to a live window works as before.
  ASSERT_EQ(0, plat::WSAAsyncSelect(server, m_window, kSocketMessage, plat::FD_READ));
  SendText(client, "z");
  ExpectEvent(server, plat::FD_READ);
}

TEST_F(WinsockTest, ConnectIsAnnouncedForANonBlockingClient) {
  plat::SOCKET client = plat::socket(plat::AF_INET, plat::SOCK_STREAM, 0);
  ASSERT_EQ(0, plat::WSAAsyncSelect(client, m_window, kSocketMessage, plat::FD_CONNECT | plat::FD_WRITE));
  plat::sockaddr_in address = Loopback(m_port);
  // A connection over the loopback may be made at once.
  if (plat::connect(client, AsAddress(address), sizeof address) == -1) {
    EXPECT_EQ(10035, plat::WSAGetLastError());
  }
  ExpectEvent(client, plat::FD_CONNECT, 0);
  ExpectEvent(client, plat::FD_WRITE);
  EXPECT_EQ(1, SendText(client, "q"));
}

TEST_F(WinsockTest, SendersOnSeveralThreadsWhileTheMainThreadReads) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  plat::SOCKET client = Connect();
  plat::SOCKET server = AcceptAnnounced();
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::mutex sendLock;
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) {
        std::string line = std::to_string(t) + " " + std::to_string(i) + "\n";
        std::lock_guard<std::mutex> lock(sendLock);
        SendText(client, line);
      }
    });
  }
  std::string received;
  char buffer[1024];
  const size_t expectedLines = kThreads * kLines;
  const auto deadline = Clock::now() + 30s;
  while (static_cast<size_t>(std::count(received.begin(), received.end(), '\n')) < expectedLines &&
         Clock::now() < deadline) {
    std::optional<plat::MSG> message = NextMessage(1s);
    if (!message || plat::WSAGETSELECTEVENT(message->lParam) != plat::FD_READ) continue;
    int got = plat::recv(server, buffer, sizeof buffer, 0);
    if (got > 0) received.append(buffer, static_cast<size_t>(got));
  }
  for (auto& sender : senders) sender.join();

  std::vector<int> next(kThreads, 0);
  size_t lines = 0;
  for (size_t start = 0, end; (end = received.find('\n', start)) != std::string::npos; start = end + 1) {
    int thread = std::stoi(received.substr(start));
    int number = std::stoi(received.substr(received.find(' ', start) + 1));
    ASSERT_EQ(next[thread], number) << "thread " << thread;
    ++next[thread];
    ++lines;
  }
  EXPECT_EQ(expectedLines, lines);
}

// ---- The message wait of the window's thread ----

// What a thread did so far: a thread that is woken without end piles up processor time where the
// machine has room for it, and is switched out again and again where it has none; an idle one does
// neither, however busy the machine.
struct ThreadActivity {
  double cpuSeconds = 0;
  long contextSwitches = 0;
};

// A thread with a window and a message loop of its own that records the socket messages it takes.
// Kept busy, it posts itself a message for every one it takes, so its queue never runs empty. Told to
// accept, it accepts on every FD_ACCEPT as a server program does.
class MessageLoopThread {
 public:
  explicit MessageLoopThread(bool keepBusy, bool accepts = false) : m_keepBusy(keepBusy), m_accepts(accepts) {
    std::promise<plat::HWND> made;
    std::future<plat::HWND> window = made.get_future();
    m_thread = std::thread([this, &made] { Run(made); });
    m_window = window.get();
  }
  ~MessageLoopThread() {
    plat::PostThreadMessageA(m_threadId, plat::WM_QUIT, 0, 0);
    m_thread.join();
  }

  plat::HWND Window() const { return m_window; }
  plat::DWORD ThreadId() const { return m_threadId; }

  // Read from outside, so that looking does not wake the thread.
  ThreadActivity Activity() {
    ThreadActivity activity;
    clockid_t clock{};
    timespec used{};
    if (pthread_getcpuclockid(m_thread.native_handle(), &clock) == 0 && clock_gettime(clock, &used) == 0)
      activity.cpuSeconds = static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
    std::ifstream status("/proc/self/task/" + std::to_string(m_hostThreadId) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        activity.contextSwitches += std::stol(line.substr(line.find(':') + 1));
    }
    return activity;
  }

  // The events of the first `count` socket messages, waiting up to `limit` for them.
  std::vector<plat::WORD> SocketEvents(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_events.size() >= count; });
    return m_events;
  }

  // How many connections it accepted, waiting up to `limit` for `count` of them.
  size_t Accepted(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_accepted >= count; });
    return m_accepted;
  }

 private:
  static constexpr plat::UINT kBusyMessage = 0x401;

  void Run(std::promise<plat::HWND>& made) {
    m_threadId = plat::GetCurrentThreadId();
    m_hostThreadId = gettid();
    plat::HWND window = plat::CreateWindowForTesting(nullptr, 0);
    if (m_keepBusy) plat::PostMessageA(window, kBusyMessage, 0, 0);
    made.set_value(window);
    plat::MSG message;
    while (plat::GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (message.message == kBusyMessage) plat::PostMessageA(window, kBusyMessage, 0, 0);
      if (message.message != kSocketMessage) continue;
      const plat::WORD event = plat::WSAGETSELECTEVENT(message.lParam);
      const bool accepted = m_accepts && event == plat::FD_ACCEPT &&
                            plat::accept(message.wParam, nullptr, nullptr) != plat::INVALID_SOCKET;
      std::lock_guard<std::mutex> lock(m_mutex);
      m_events.push_back(event);
      m_accepted += accepted ? 1 : 0;
      m_changed.notify_all();
    }
    plat::RemoveWindowForTesting(window);
  }

  const bool m_keepBusy;
  const bool m_accepts;
  std::thread m_thread;
  plat::HWND m_window = nullptr;
  plat::DWORD m_threadId = 0;
  pid_t m_hostThreadId = 0;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<plat::WORD> m_events;
  size_t m_accepted = 0;
};

TEST_F(WinsockTest, TheWindowsThreadHearsItsSocketsInItsMessageWait) {
  struct Case {
    const char* name;
    bool keepBusy;
  };
  for (const Case& test : {Case{"already waiting when the socket is attached", false},
                           Case{"a queue that never runs empty", true}}) {
    SCOPED_TRACE(test.name);
    MessageLoopThread loop(test.keepBusy);
    if (!test.keepBusy) {
      ASSERT_TRUE(plat::WaitForThreadIdleForTesting(loop.ThreadId(), 30000));
    }
    plat::SOCKET client = Connect();
    ASSERT_TRUE(WaitReadable(m_listener));
    plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
    ASSERT_EQ(0, plat::WSAAsyncSelect(server, loop.Window(), kSocketMessage, plat::FD_READ));
    SendText(client, "x");
    EXPECT_EQ(std::vector<plat::WORD>{plat::FD_READ}, loop.SocketEvents(1, kArrival));
    plat::closesocket(server);
    plat::closesocket(client);
  }
}

// Over a second the thread neither runs for half of it nor is switched in and out.
void ExpectRestsForASecond(MessageLoopThread& loop) {
  const ThreadActivity before = loop.Activity();
  std::this_thread::sleep_for(1s);
  const ThreadActivity after = loop.Activity();
  EXPECT_LT(after.cpuSeconds - before.cpuSeconds, 0.5);
  EXPECT_LT(after.contextSwitches - before.contextSwitches, 10);
}

TEST_F(WinsockTest, AnUnreadSocketLeavesItsThreadIdle) {
  MessageLoopThread loop(false);
  plat::SOCKET client = Connect();
  ASSERT_TRUE(WaitReadable(m_listener));
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_EQ(0, plat::WSAAsyncSelect(server, loop.Window(), kSocketMessage, plat::FD_READ | plat::FD_WRITE));
  SendText(client, "never read");
  ASSERT_EQ(2u, loop.SocketEvents(2, kArrival).size());
  ASSERT_TRUE(plat::WaitForThreadIdleForTesting(loop.ThreadId(), 30000));
  // Neither the waiting data nor the room to write may wake the thread again and again.
  ExpectRestsForASecond(loop);
  EXPECT_EQ(2u, loop.SocketEvents(3, kQuiet).size()) << "announced again without a recv or send";
  plat::closesocket(server);
  plat::closesocket(client);
}

// The system no longer sees what a peek took; the window's thread must hear of it all the same, from
// whichever thread peeked, and stop hearing of it once the socket is closed.
TEST_F(WinsockTest, WhatAPeekOfAnotherThreadTookReachesTheWindowsThreadUntilTheClose) {
  MessageLoopThread loop(false);
  plat::SOCKET client = Connect();
  ASSERT_TRUE(WaitReadable(m_listener));
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_EQ(0, plat::WSAAsyncSelect(server, loop.Window(), kSocketMessage, plat::FD_READ));
  SendText(client, "x");
  ASSERT_EQ(1u, loop.SocketEvents(1, kArrival).size());
  ASSERT_TRUE(plat::WaitForThreadIdleForTesting(loop.ThreadId(), 30000));
  char byte;
  ASSERT_EQ(1, plat::recv(server, &byte, 1, plat::MSG_PEEK));
  EXPECT_EQ((std::vector<plat::WORD>{plat::FD_READ, plat::FD_READ}), loop.SocketEvents(2, kArrival));

  // Closed while the peeked byte still waits and may still be announced: the thread rests afterwards.
  ASSERT_EQ(1, plat::recv(server, &byte, 1, plat::MSG_PEEK));
  plat::closesocket(server);
  ASSERT_TRUE(plat::WaitForThreadIdleForTesting(loop.ThreadId(), 30000));
  ExpectRestsForASecond(loop);
  plat::closesocket(client);
}

// ---- When the system refuses the wait ----

TEST_F(WinsockTest, ARequestWithoutDescriptorsForTheWaitFailsLeavesTheSocketAsItWasAndTheThreadIdle) {
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, plat::FD_ACCEPT));
  MessageLoopThread loop(false);  // its thread has no wait set yet
  testsupport::DescriptorsExhausted exhausted;
  ASSERT_TRUE(exhausted.exhausted());
  // None free, then one: enough for the set's epoll descriptor but not for its wake-up.
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    EXPECT_EQ(plat::SOCKET_ERROR,
              plat::WSAAsyncSelect(m_listener, loop.Window(), kSocketMessage, plat::FD_ACCEPT));
    EXPECT_EQ(10024, plat::WSAGetLastError());  // WSAEMFILE
    exhausted.Free(1);
  }
  // The thread waits for its messages alone, blocked: over a second it runs for a small part of it at
  // most, where a wait on a set it could not make would run for all of it.
  ASSERT_TRUE(plat::WaitForThreadIdleForTesting(loop.ThreadId(), 30000));
  const ThreadActivity before = loop.Activity();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(loop.Activity().cpuSeconds - before.cpuSeconds, 0.25);

  // The listener still reports to the test's window as before.
  exhausted.Free(1);
  plat::SOCKET client = Connect();
  ExpectEvent(m_listener, plat::FD_ACCEPT);
  EXPECT_TRUE(loop.SocketEvents(1, kQuiet).empty());
  plat::closesocket(client);
  // Two free are all a wait set takes, unless a failed one kept a descriptor. The connection that
  // waits is announced to the new window.
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, loop.Window(), kSocketMessage, plat::FD_ACCEPT))
      << plat::WSAGetLastError();
  EXPECT_EQ(std::vector<plat::WORD>{plat::FD_ACCEPT}, loop.SocketEvents(1, kArrival));
  ExpectQuiet();
}

// A program that ignores a notification carrying an error (as the service does) makes no re-enabling
// call: had the refusal been posted, it would never hear of these sockets again.
TEST_F(WinsockTest, ARefusedRegistrationIsTriedAgainByTheLayerUntilItHolds) {
  constexpr plat::WORD kNoBuffers = 10055;  // WSAENOBUFS
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, m_window, kSocketMessage, kListenerEvents));
  plat::SOCKET client = Connect();
  ExpectEvent(m_listener, plat::FD_ACCEPT);
  ExpectQuiet();  // meanwhile the waiting connection, no longer wanted, left the wait
  plat::FailWinsockCallForTesting(plat::WinsockCall::Watch, kNoBuffers);
  // Neither the listener nor the new socket can be watched: nothing is announced, nothing is lost.
  plat::SOCKET server = plat::accept(m_listener, nullptr, nullptr);
  ASSERT_NE(plat::INVALID_SOCKET, server);
  SendText(client, "x");
  plat::SOCKET second = Connect();
  ExpectQuiet();

  // Once the system lets them be watched, both are announced without any call of the program.
  plat::FailWinsockCallForTesting(plat::WinsockCall::Watch, 0);
  std::set<std::pair<plat::SOCKET, plat::WORD>> announced;
  for (int i = 0; i < 2; ++i) {
    std::optional<plat::MSG> message = NextMessage(kArrival);
    ASSERT_TRUE(message.has_value()) << "announced so far: " << announced.size();
    EXPECT_EQ(0, plat::WSAGETSELECTERROR(message->lParam));
    announced.emplace(message->wParam, plat::WSAGETSELECTEVENT(message->lParam));
  }
  const std::set<std::pair<plat::SOCKET, plat::WORD>> expected = {{m_listener, plat::FD_ACCEPT},
                                                                  {server, plat::FD_READ}};
  EXPECT_EQ(expected, announced);
  ExpectQuiet();
  plat::closesocket(second);
  plat::closesocket(server);
  plat::closesocket(client);
}

TEST_F(WinsockTest, AListenerThatFindsNoDescriptorLeftRestsAndAcceptsOnceOneIsBack) {
  MessageLoopThread loop(false, true);
  ASSERT_EQ(0, plat::WSAAsyncSelect(m_listener, loop.Window(), kSocketMessage, plat::FD_ACCEPT));
  plat::SOCKET client = plat::INVALID_SOCKET;
  {
    testsupport::DescriptorsExhausted exhausted;
    ASSERT_TRUE(exhausted.exhausted());
    exhausted.Free(1);
    client = Connect();  // takes the one left: the thread has none to accept with
    ASSERT_FALSE(loop.SocketEvents(1, kArrival).empty());
    // Announced again at once after each failed accept, the thread would run for all of a second.
    const ThreadActivity before = loop.Activity();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(loop.Activity().cpuSeconds - before.cpuSeconds, 0.25);
    EXPECT_EQ(0u, loop.Accepted(1, 0ms));
  }
  EXPECT_EQ(1u, loop.Accepted(1, kArrival));
  plat::closesocket(client);
}

}  // namespace
