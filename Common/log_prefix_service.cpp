// The service program's prefix of its debugger messages.
#include "tool_debug.h"
