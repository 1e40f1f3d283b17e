// Critical sections.
#include "plat/sync.h"
