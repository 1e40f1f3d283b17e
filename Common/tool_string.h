// tool_string
#pragma once

#include "plat/types.h"
