// Tests of the shell area of the platform layer.
#include <gtest/gtest.h>
