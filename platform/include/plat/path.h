// Mapping between Windows-form paths and host paths, and the C runtime's path splitting.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
