// The local time and file times.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
