// The removal tool's prefix of its debugger messages.
#include "tool_debug.h"
