// The service control manager: service entries, their control and the service process side.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
