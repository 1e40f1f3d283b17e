// Starting the separate-process echo floor, reading the port it reports, and ending it.
#include "echo_floor_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace bench {
namespace {

// The first line `fd` gives within `timeoutMs`, without its line end; empty when none came.
std::string FirstLine(int fd, int timeoutMs) {
  std::string line;
  pollfd readable = {fd, POLLIN, 0};
  char c = 0;
  while (poll(&readable, 1, timeoutMs) == 1 && read(fd, &c, 1) == 1 && c != '\n') line += c;
  return c == '\n' ? line : std::string();
}

}  // namespace

EchoFloorProcess::EchoFloorProcess(const std::string& program, const std::string& answer) {
  int input[2], output[2];
  if (pipe2(input, O_CLOEXEC) != 0) return;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(input[0]);
    close(input[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const int error = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(input[0]);
  close(output[1]);
  if (error != 0) {
    m_pid = 0;
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
  } else {
    // The answer is far smaller than a pipe's buffer: it is written whole before the floor reads it.
    if (write(input[1], answer.data(), answer.size()) != static_cast<ssize_t>(answer.size()))
      std::fprintf(stderr, "%s did not take its answer\n", program.c_str());
  }
  close(input[1]);
  if (m_pid != 0) {
    m_port = std::atoi(FirstLine(output[0], 20000).c_str());
    if (m_port == 0) std::fprintf(stderr, "%s reported no port\n", program.c_str());
  }
  close(output[0]);
}

EchoFloorProcess::~EchoFloorProcess() {
  if (m_pid == 0) return;
  kill(m_pid, SIGKILL);
  while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace bench
