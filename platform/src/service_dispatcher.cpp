// The service process side: dispatcher, control handler and status reports.
#include "plat/service.h"
