// Registry calls on keys of the shared store.
#include "plat/registry.h"
