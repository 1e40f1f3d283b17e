// Handles of kernel objects: closing and waiting.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
