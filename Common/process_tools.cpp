// process_tools
#include "ToolFunktion.h"
