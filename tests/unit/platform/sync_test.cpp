// Tests of the sync area of the platform layer.
#include <gtest/gtest.h>
