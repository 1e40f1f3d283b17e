// Loading shared objects by name and finding the program's own file.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
