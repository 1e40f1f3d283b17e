// tool_service
#pragma once

#include "plat/types.h"
