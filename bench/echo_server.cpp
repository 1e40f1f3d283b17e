// The loopback answer server that gives the round trip's floor.
#include "echo_server.h"

#include "echo_answer.h"
#include "service_run.h"

namespace bench {

EchoServer::EchoServer(std::string answer) : m_answer(std::move(answer)) {
  m_listener = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  plat::sockaddr_in address = {};
  address.sin_family = plat::AF_INET;
  address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  int length = sizeof(address);
  auto* generic = reinterpret_cast<plat::sockaddr*>(&address);
  if (plat::bind(m_listener, generic, length) != 0 || plat::listen(m_listener, 1) != 0 ||
      plat::getsockname(m_listener, generic, &length) != 0)
    return;
  m_port = plat::ntohs(address.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

EchoServer::~EchoServer() {
  // Closing the listener ends an accept still waiting; a served connection ends with the client's close.
  plat::closesocket(m_listener);
  if (m_thread.joinable()) m_thread.join();
}

void EchoServer::Serve() {
  plat::SOCKET connection = plat::accept(m_listener, nullptr, nullptr);
  if (connection == plat::INVALID_SOCKET) return;
  SetNoDelay(connection);
  AnswerEachLine(
      [connection](char* buffer, int size) { return plat::recv(connection, buffer, size, 0); },
      [this, connection] { plat::send(connection, m_answer.data(), static_cast<int>(m_answer.size()), 0); });
  plat::closesocket(connection);
}

}  // namespace bench
