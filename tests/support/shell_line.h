// Runs a shell line as another process through the layer, as a user's shell would.
#pragma once

#include <chrono>
#include <string>

#include "plat/types.h"

namespace testsupport {

// Runs `line` with /bin/sh -c, started by the layer's CreateProcessA, and waits at most `bound` for it to
// end. Its exit code; STILL_ACTIVE (259) when it is still running then, 0xFFFFFFFF when it cannot start.
plat::DWORD RunShellLine(const std::string& line, std::chrono::milliseconds bound = std::chrono::seconds(60));

}  // namespace testsupport
