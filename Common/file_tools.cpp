// file_tools
#include "ToolFunktion.h"
