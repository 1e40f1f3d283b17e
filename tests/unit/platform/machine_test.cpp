// Tests of the machine area of the platform layer.
#include <gtest/gtest.h>
