// Tests of the profile area of the platform layer.
#include <gtest/gtest.h>
