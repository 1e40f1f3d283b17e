// Tests of file_tools.
#include <gtest/gtest.h>
