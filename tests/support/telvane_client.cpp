// A Telvane client for end-to-end tests: a TCP connection to the service with bounded reads.
#include "support/telvane_client.h"

#include <thread>

namespace testsupport {

TelvaneClient::TelvaneClient(int port) {
  m_socket = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  plat::sockaddr_in address = {};
  address.sin_family = plat::AF_INET;
  address.sin_port = plat::htons(static_cast<plat::WORD>(port));
  address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  m_connected = plat::connect(m_socket, reinterpret_cast<plat::sockaddr*>(&address), sizeof(address)) == 0;
}

TelvaneClient::~TelvaneClient() { plat::closesocket(m_socket); }

void TelvaneClient::Send(const std::string& text) {
  plat::send(m_socket, text.data(), static_cast<int>(text.size()), 0);
}

// Waits up to `deadline` for more bytes; false when the connection has ended.
bool TelvaneClient::Fill(std::chrono::steady_clock::time_point deadline) {
  while (std::chrono::steady_clock::now() < deadline) {
    plat::fd_set readable;
    plat::FdZero(&readable);
    plat::FdSet(m_socket, &readable);
    plat::timeval wait = {0, 20000};
    if (plat::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    char buffer[4096];
    int got = plat::recv(m_socket, buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    m_pending.append(buffer, static_cast<size_t>(got));
    return true;
  }
  return true;
}

std::string TelvaneClient::Receive(int count, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  bool open = true;
  for (;;) {
    size_t end = 0;
    int lines = 0;
    while (lines < count && (end = m_pending.find('\n', end)) != std::string::npos) ++lines, ++end;
    if (lines == count) {
      std::string received = m_pending.substr(0, end);
      m_pending.erase(0, end);
      return received;
    }
    if (!open || std::chrono::steady_clock::now() >= deadline) {
      std::string received = m_pending + (open ? "" : "<closed>");
      m_pending.clear();
      return received;
    }
    open = Fill(deadline);
  }
}

std::string TelvaneClient::NextLine(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    size_t end = m_pending.find("\r\n");
    if (end != std::string::npos) {
      std::string line = m_pending.substr(0, end);
      m_pending.erase(0, end + 2);
      return line;
    }
    if (std::chrono::steady_clock::now() >= deadline) return "<none>";
    if (!Fill(deadline)) return "<closed>";
  }
}

std::vector<std::string> TelvaneClient::LinesUntil(const std::string& prefix,
                                                   std::chrono::milliseconds timeout) {
  std::vector<std::string> lines;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    lines.push_back(NextLine(left.count() > 0 ? left : std::chrono::milliseconds(0)));
    const std::string& line = lines.back();
    if (line.compare(0, prefix.size(), prefix) == 0 || line == "<none>" || line == "<closed>") return lines;
  }
}

std::unique_ptr<TelvaneClient> ConnectGreeted(int port, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    auto client = std::make_unique<TelvaneClient>(port);
    client->SendLine("Telvane;version=2");
    if (client->connected() && client->NextLine(timeout) == "LOGIN_REPLY 0 0") return client;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  } while (std::chrono::steady_clock::now() < deadline);
  return nullptr;
}

}  // namespace testsupport
