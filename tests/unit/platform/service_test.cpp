// Tests of the service area of the platform layer.
#include <gtest/gtest.h>
