// The text commands of the control socket, which act on the simulated phone system from outside.
#pragma once

#include <string>

namespace simtsp {

class Provider;

// Carries out one command line and returns its answer line: "OK" with what the command tells, or
// "ERR " and why not. The commands are listed at the top of control.cpp.
std::string RunControlCommand(Provider& provider, const std::string& command);

}  // namespace simtsp
