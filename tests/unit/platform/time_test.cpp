// Tests of the time area of the platform layer.
#include <gtest/gtest.h>
