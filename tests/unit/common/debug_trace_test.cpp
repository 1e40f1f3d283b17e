// Tests of debug_trace.
#include <gtest/gtest.h>
