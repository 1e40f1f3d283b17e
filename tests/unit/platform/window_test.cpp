// Tests of the window area of the platform layer.
#include <gtest/gtest.h>
