// Temporary files as writers that were killed mid-write leave them beside a file the layer replaces.
#pragma once

#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

struct LeftTemporary {
  std::string writer;  // who made it, for the failure message
  std::string path;
  bool isRemovedByTheNextWrite;
};

// The temporary file a writer in process `writer` makes beside the host file `target`.
inline std::string WriterTemporary(const std::string& target, long writer, unsigned serial = 1) {
  const size_t slash = target.rfind('/');
  return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + "." + std::to_string(writer) + "." +
         std::to_string(serial) + ".tmp";
}

// Leaves half-written temporary files beside `target` as writers of several processes would: one of a
// process that no longer runs goes with the next write; those of processes that run (this one, its
// parent, process 1) may be under way and stay, as does a dead writer's file of another target.
inline std::vector<LeftTemporary> LeaveTemporaries(const std::string& target) {
  // The kernel gives out process ids below pid_max, which is never above 4194304.
  constexpr long kNoProcess = 4194304;
  std::vector<LeftTemporary> left = {
      {"a dead writer", WriterTemporary(target, kNoProcess, 7), true},
      {"this process", WriterTemporary(target, getpid()), false},
      {"the parent process", WriterTemporary(target, getppid()), false},
      {"process 1", WriterTemporary(target, 1), false},
      {"a dead writer of another file", WriterTemporary(target + ".other", kNoProcess), false},
  };
  for (const LeftTemporary& temporary : left) WriteFile(temporary.path, "half of a fi");
  return left;
}

}  // namespace testsupport
