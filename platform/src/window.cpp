// The window tree.
#include "plat/window.h"
