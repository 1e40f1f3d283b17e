// Windows: the tree below the desktop, user data, show state and the foreground window.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
