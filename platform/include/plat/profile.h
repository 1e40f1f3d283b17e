// The profile (INI file) functions.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
