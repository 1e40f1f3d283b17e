// Threads: creation, identity and ending.
#include "plat/thread.h"
