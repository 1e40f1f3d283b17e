// tool_process
#pragma once

#include "plat/types.h"
