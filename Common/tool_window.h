// tool_window
#pragma once

#include "plat/types.h"
