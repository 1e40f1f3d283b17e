// registry_tool
#include "ToolFunktion.h"
