// service_tools
#include "ToolFunktion.h"
