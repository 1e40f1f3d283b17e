// Handles of kernel objects: closing and waiting.
#include "plat/handle.h"
