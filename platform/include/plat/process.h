// Starting processes, process ids and the priority class.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
