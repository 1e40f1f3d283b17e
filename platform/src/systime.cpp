// Local time and file times.
#include "plat/systime.h"
