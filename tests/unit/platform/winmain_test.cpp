// Tests of the winmain area of the platform layer.
#include <gtest/gtest.h>
