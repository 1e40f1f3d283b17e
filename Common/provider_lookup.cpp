// provider_lookup
#include "ToolFunktion.h"
