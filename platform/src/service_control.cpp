// Service manager calls of a controlling program.
#include "plat/service.h"
