// Tests of process_tools.
#include <gtest/gtest.h>
