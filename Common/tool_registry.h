// tool_registry
#pragma once

#include "plat/types.h"
