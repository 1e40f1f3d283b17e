// Test seam of synthetic input: the inputs SendInput took.
#pragma once

#include <vector>

#include "plat/input.h"

namespace plat {

// Every input SendInput took since the last call, in order.
std::vector<INPUT> TakeSentInputsForTesting();

}  // namespace plat
