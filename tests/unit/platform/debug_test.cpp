// Tests of the debug area of the platform layer.
#include <gtest/gtest.h>
