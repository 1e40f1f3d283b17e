// Drives the service manager from a shell.
#include "plat/service.h"

int main() { return 0; }
