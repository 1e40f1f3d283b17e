// The machine directory that holds what Windows keeps machine-wide.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
