// Tests of the registry area of the platform layer.
#include <gtest/gtest.h>
