// velcora_echo_floor: the round trip's floor as a process of its own, on plain POSIX sockets.
//
// usage: velcora_echo_floor < ANSWER
// Reads the answer bytes from standard input, listens on a free loopback port, writes that port as one
// line to standard output, then serves one connection: blocking, TCP_NODELAY, every received line end
// answered at once with the answer in one send. Ends when the client closes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "echo_answer.h"

namespace {

std::string ReadAll(int fd) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof(buffer))) > 0;) bytes.append(buffer, got);
  return bytes;
}

// A socket listening on a free port of 127.0.0.1, its port in `port`; -1 when none could be had.
int ListenOnLoopback(int* port) {
  int listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  if (listener < 0 || bind(listener, generic, length) != 0 || listen(listener, 1) != 0 ||
      getsockname(listener, generic, &length) != 0)
    return -1;
  *port = ntohs(address.sin_port);
  return listener;
}

}  // namespace

int main() {
  const std::string answer = ReadAll(STDIN_FILENO);
  int port = 0;
  int listener = ListenOnLoopback(&port);
  if (answer.empty() || listener < 0) {
    std::fputs("velcora_echo_floor: no answer on standard input, or no loopback port\n", stderr);
    return 1;
  }
  std::printf("%d\n", port);
  std::fflush(stdout);

  int connection = accept(listener, nullptr, nullptr);
  if (connection < 0) return 1;
  int on = 1;
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  bench::AnswerEachLine(
      [connection](char* buffer, int size) { return static_cast<int>(recv(connection, buffer, size, 0)); },
      [connection, &answer] { send(connection, answer.data(), answer.size(), MSG_NOSIGNAL); });
  close(connection);
  close(listener);
  return 0;
}
