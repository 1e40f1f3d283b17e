// Tests of debug_log.
#include <gtest/gtest.h>
