// Tests of the file area of the platform layer.
#include <gtest/gtest.h>
