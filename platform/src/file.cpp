// File calls on Windows-form paths.
#include "plat/file.h"
