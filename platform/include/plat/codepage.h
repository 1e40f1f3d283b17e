// Conversions between the ANSI code page (Windows-1252) and UTF-16.
#pragma once

#include "plat/types.h"

namespace plat {}  // namespace plat
