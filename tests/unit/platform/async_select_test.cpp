// Tests of WSAAsyncSelect: the notification messages with their re-enabling rules, the message wait of
// the window's thread, and what happens when the system refuses that wait.
#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/testing/window.h"
#include "plat/testing/winsock.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "plat/winsock.h"
#include "support/descriptor_limit.h"
#include "winsock_fixture.h"

namespace {

using namespace winsocktest;

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
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (static_cast<size_t>(std::count(received.begin(), received.end(), '\n')) < expectedLines &&
         std::chrono::steady_clock::now() < deadline) {
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
  // None free, then one: enough for the set's epoll descriptor but not for its wake-up. The attempt is
  // named only in a failure message: a trace streams at once, and the sanitizer's first check of a stream
  // type needs a descriptor of its own.
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(plat::SOCKET_ERROR,
              plat::WSAAsyncSelect(m_listener, loop.Window(), kSocketMessage, plat::FD_ACCEPT))
        << "attempt " << attempt;
    EXPECT_EQ(10024, plat::WSAGetLastError()) << "attempt " << attempt;  // WSAEMFILE
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
