// The registry store file of the machine directory.
#include "plat/registry.h"
