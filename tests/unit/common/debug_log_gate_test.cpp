// Tests of debug_log_gate.
#include <gtest/gtest.h>
