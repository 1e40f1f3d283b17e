// C runtime file streams on Windows-form paths, with text-mode line ends.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
