// logging_file
#include "ToolFunktion.h"
