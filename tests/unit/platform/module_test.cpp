// Tests of the module area of the platform layer.
#include <gtest/gtest.h>
