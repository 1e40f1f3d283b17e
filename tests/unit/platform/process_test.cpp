// Tests of the process area of the platform layer.
#include <gtest/gtest.h>
