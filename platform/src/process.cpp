// Starting processes, process ids and the priority class.
#include "plat/process.h"
