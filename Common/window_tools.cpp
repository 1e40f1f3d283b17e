// window_tools
#include "ToolFunktion.h"
