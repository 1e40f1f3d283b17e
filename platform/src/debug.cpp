// Debugger output and message boxes, both captured so that tests can read them.
#include "plat/debug.h"
