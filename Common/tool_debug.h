// tool_debug
#pragma once

#include "plat/types.h"
