// debug_log
#include "ToolFunktion.h"
