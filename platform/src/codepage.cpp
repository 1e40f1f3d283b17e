// Conversions between the ANSI code page (Windows-1252) and UTF-16.
#include "plat/codepage.h"
