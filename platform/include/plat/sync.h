// Critical sections.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
