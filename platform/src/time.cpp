// Sleeping through one time-scaled sleeper, and the tick count.
#include "plat/time.h"
