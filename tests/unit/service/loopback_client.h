// A loopback client for the service's tests: reads the protocol lines the service sends.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/winsock.h"
#include "service_window.h"

// A loopback connection whose server end is the service's client socket; the test reads the far end.
class LoopbackClient {
 public:
  void Connect() {
    plat::WSADATA data;
    ASSERT_EQ(0, plat::WSAStartup(plat::MAKEWORD(2, 0), &data));
    m_listener = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
    plat::sockaddr_in address = {};
    address.sin_family = plat::AF_INET;
    address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
    ASSERT_EQ(0, plat::bind(m_listener, Address(&address), sizeof(address)));
    ASSERT_EQ(0, plat::listen(m_listener, 1));
    int length = sizeof(address);
    ASSERT_EQ(0, plat::getsockname(m_listener, Address(&address), &length));
    m_client = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
    ASSERT_EQ(0, plat::connect(m_client, Address(&address), sizeof(address)));
    CServiceWindow::m_ClientSock = plat::accept(m_listener, nullptr, nullptr);
    ASSERT_NE(plat::INVALID_SOCKET, CServiceWindow::m_ClientSock);
  }

  void Close() {
    CServiceWindow::CloseClientSocket();
    plat::closesocket(m_client);
    plat::closesocket(m_listener);
    plat::WSACleanup();
  }

  // The next `count` lines without their CR LF; fewer when they do not come within 20 s.
  std::vector<std::string> Lines(size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
      size_t end = m_pending.find("\r\n");
      if (end != std::string::npos) {
        lines.push_back(m_pending.substr(0, end));
        m_pending.erase(0, end + 2);
        continue;
      }
      if (!Receive()) break;
    }
    return lines;
  }

  // True when nothing was sent beyond what was read: a line sent now is the next to arrive.
  bool Quiet() {
    CServiceWindow::SendBack("QUIET");
    return Lines(1) == std::vector<std::string>{"QUIET"};
  }

 private:
  static plat::sockaddr* Address(plat::sockaddr_in* address) {
    return reinterpret_cast<plat::sockaddr*>(address);
  }

  // Waits up to 20 s for more bytes.
  bool Receive() {
    plat::fd_set readable;
    plat::FdZero(&readable);
    plat::FdSet(m_client, &readable);
    plat::timeval limit = {20, 0};
    if (plat::select(0, &readable, nullptr, nullptr, &limit) != 1) return false;
    char buffer[4096];
    int read = plat::recv(m_client, buffer, sizeof(buffer), 0);
    if (read <= 0) return false;
    m_pending.append(buffer, static_cast<size_t>(read));
    return true;
  }

  plat::SOCKET m_listener = plat::INVALID_SOCKET;
  plat::SOCKET m_client = plat::INVALID_SOCKET;
  std::string m_pending;
};
