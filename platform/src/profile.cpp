// The profile (INI file) functions.
#include "plat/profile.h"
