// Tests of Windows Sockets calls on sockets: start and end, TCP over 127.0.0.1, errors and select.
#include "plat/winsock.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/testing/time.h"
#include "plat/testing/window.h"
#include "plat/testing/winsock.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "winsock_fixture.h"

namespace {

using namespace winsocktest;
using Clock = std::chrono::steady_clock;

// ---- Start and end ----

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
  ASSERT_TRUE(testsupport::Eventually([client] { return SendText(client, "line\r\n") == -1; }));
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

}  // namespace
