// tool_file
#pragma once

#include "plat/types.h"
