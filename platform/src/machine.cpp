// The machine directory that holds what Windows keeps machine-wide.
#include "plat/machine.h"
