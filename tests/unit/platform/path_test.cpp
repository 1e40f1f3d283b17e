// Tests of the path area of the platform layer.
#include <gtest/gtest.h>
