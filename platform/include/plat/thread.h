// Threads: creation, identity and ending.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
