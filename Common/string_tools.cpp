// string_tools
#include "ToolFunktion.h"
