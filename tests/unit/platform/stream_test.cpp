// Tests of the stream area of the platform layer.
#include <gtest/gtest.h>
