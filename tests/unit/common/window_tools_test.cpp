// Tests of window_tools.
#include <gtest/gtest.h>
