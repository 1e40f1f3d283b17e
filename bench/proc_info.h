// What the bench reads from /proc: a process's memory figures and listening port, and the machine.
#pragma once

#include <string>

namespace bench {

// The figure of `field` ("VmHWM", "VmRSS", ...) in /proc/<pid>/status in kB; -1 when it is not there.
long StatusKilobytes(unsigned pid, const std::string& field);

// The IPv4 TCP port the process listens on; 0 while it listens on none.
int ListeningPort(unsigned pid);

struct Machine {
  std::string cpu;     // the model name of the first processor
  unsigned cores = 0;  // logical processors
  std::string kernel;  // as uname -srv gives it
  std::string load;    // the load averages over 1, 5 and 15 minutes
};
Machine DescribeMachine();

}  // namespace bench
