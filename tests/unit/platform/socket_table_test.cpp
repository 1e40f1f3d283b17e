// Tests of the socket table and the calls on values alone: socket values, injected failures, byte
// order, dotted text and socket sets.
#include <gtest/gtest.h>

#include <set>

#include "plat/testing/window.h"
#include "plat/testing/winsock.h"
#include "plat/winsock.h"
#include "winsock_fixture.h"

namespace {

using namespace winsocktest;

// ---- Socket values and injected failures ----

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

}  // namespace
