// The start of a program that lives apart from whoever started it: what the service manager needs.
#pragma once

#include <string>

#include "plat/process.h"

namespace plat::detail {

// As CreateProcessA with `commandLine` and the environment block `environment` (null: ours), except that
// the new process has a session of its own, reads from /dev/null and appends its standard output and
// error to `outputFile` (made for the owner alone when missing), so it holds nothing of its starter's.
BOOL CreateDetachedProcessA(LPSTR commandLine, LPVOID environment, const std::string& outputFile,
                            PROCESS_INFORMATION* processInformation);

}  // namespace plat::detail
