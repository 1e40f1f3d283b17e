// Text-mode file streams.
#include "plat/stream.h"
