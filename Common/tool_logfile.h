// tool_logfile
#pragma once

#include "plat/types.h"
