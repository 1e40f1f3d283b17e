// Reading a process's memory figures, its listening port and the machine description from /proc.
#include "proc_info.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace bench {
namespace {

std::string ProcessDir(unsigned pid) { return "/proc/" + std::to_string(pid); }

std::string FirstLine(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The inode numbers of the sockets the process holds open, from its "socket:[inode]" descriptors.
std::set<std::string> SocketInodes(unsigned pid) {
  std::set<std::string> inodes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ProcessDir(pid) + "/fd", error)) {
    std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    const std::string prefix = "socket:[";
    if (!error && target.compare(0, prefix.size(), prefix) == 0 && target.back() == ']')
      inodes.insert(target.substr(prefix.size(), target.size() - prefix.size() - 1));
  }
  return inodes;
}

}  // namespace

long StatusKilobytes(unsigned pid, const std::string& field) {
  std::ifstream status(ProcessDir(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, field.size() + 1, field + ":") != 0) continue;
    std::istringstream value(line.substr(field.size() + 1));
    long kilobytes = -1;
    value >> kilobytes;
    return kilobytes;
  }
  return -1;
}

int ListeningPort(unsigned pid) {
  const std::set<std::string> inodes = SocketInodes(pid);
  if (inodes.empty()) return 0;
  // The socket table of the process's network namespace: "sl local rem st queues tr retrnsmt uid timeout
  // inode ...", addresses as hex "ADDR:PORT", state 0A for listening.
  std::ifstream table(ProcessDir(pid) + "/net/tcp");
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
    size_t colon = local.find(':');
    if (state == "0A" && colon != std::string::npos && inodes.count(inode) != 0)
      return std::stoi(local.substr(colon + 1), nullptr, 16);
  }
  return 0;
}

Machine DescribeMachine() {
  Machine machine;
  std::ifstream cpuinfo("/proc/cpuinfo");
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.compare(0, 9, "processor") == 0) ++machine.cores;
    size_t colon = line.find(": ");
    if (machine.cpu.empty() && line.compare(0, 10, "model name") == 0 && colon != std::string::npos)
      machine.cpu = line.substr(colon + 2);
  }
  machine.kernel = FirstLine("/proc/sys/kernel/ostype") + " " + FirstLine("/proc/sys/kernel/osrelease") +
                   " " + FirstLine("/proc/sys/kernel/version");
  std::istringstream load(FirstLine("/proc/loadavg"));
  std::string one, five, fifteen;
  load >> one >> five >> fifteen;
  machine.load = one + " " + five + " " + fifteen;
  return machine;
}

}  // namespace bench
