// Shell start of programs.
#include "plat/shell.h"
