// Tests of the thread area of the platform layer.
#include <gtest/gtest.h>
