// debug_trace
#include "ToolFunktion.h"
