// Mapping between Windows-form paths and host paths, and the C runtime's path splitting.
#include "plat/path.h"
