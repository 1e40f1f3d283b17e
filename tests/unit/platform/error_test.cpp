// Tests of the error area of the platform layer.
#include <gtest/gtest.h>
