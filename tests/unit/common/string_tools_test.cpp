// Tests of string_tools.
#include <gtest/gtest.h>
