// Loading shared objects by name and finding the program's own file.
#include "plat/module.h"
