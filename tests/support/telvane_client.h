// A Telvane client for end-to-end tests: a TCP connection to the service with bounded reads.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "plat/winsock.h"

namespace testsupport {

class TelvaneClient {
 public:
  explicit TelvaneClient(int port);
  ~TelvaneClient();
  TelvaneClient(const TelvaneClient&) = delete;
  TelvaneClient& operator=(const TelvaneClient&) = delete;

  plat::SOCKET socket() const { return m_socket; }
  bool connected() const { return m_connected; }
  void Send(const std::string& text);
  // Sends `line` with CR LF.
  void SendLine(const std::string& line) { Send(line + "\r\n"); }
  // What arrives within `timeout`, up to and including `count` CR LF line ends; "<closed>" appended when
  // the service closed the connection.
  std::string Receive(int count = 1, std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // The next line without its CR LF; "<closed>" or "<none>" when the connection ended or nothing came.
  std::string NextLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Lines up to and including the first that starts with `prefix`; the last is "<none>" or "<closed>"
  // when it does not come.
  std::vector<std::string> LinesUntil(const std::string& prefix,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);

  plat::SOCKET m_socket;
  bool m_connected = false;
  std::string m_pending;  // received, not yet handed out by NextLine
};

// A client the service took, greeted with "LOGIN_REPLY 0 0": connects and greets again while the service
// refuses it, which it does until it has seen the last client go. Null when none was taken within
// `timeout`.
std::unique_ptr<TelvaneClient> ConnectGreeted(int port,
                                              std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace testsupport
