// Debugger output and message boxes, both captured so that tests can read them.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
