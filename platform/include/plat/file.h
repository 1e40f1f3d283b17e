// File calls on Windows-form paths.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
