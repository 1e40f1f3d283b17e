// The in-process floor of a round trip: a loopback thread that answers each request line with fixed bytes.
#pragma once

#include <string>
#include <thread>

#include "plat/winsock.h"

namespace bench {

// Serves one connection on a blocking thread: every received line end is answered with `answer` in one
// send, TCP_NODELAY set. The work is what the kernel and the layer's sockets cost and nothing else.
class EchoServer {
 public:
  explicit EchoServer(std::string answer);
  ~EchoServer();
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;

  // The loopback port it listens on; 0 when it could not listen.
  int port() const { return m_port; }

 private:
  void Serve();

  std::string m_answer;
  plat::SOCKET m_listener;
  int m_port = 0;
  std::thread m_thread;
};

}  // namespace bench
