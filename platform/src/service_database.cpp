// Service entries and the status of running services.
#include "plat/service.h"
