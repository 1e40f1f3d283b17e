// Sleeping through one time-scaled sleeper, and the tick count.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
