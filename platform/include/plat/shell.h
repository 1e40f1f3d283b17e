// Starting programs and documents through the shell.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
