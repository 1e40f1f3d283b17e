// Tests of the systime area of the platform layer.
#include <gtest/gtest.h>
