// Tests of the simulated provider (calls).
#include <gtest/gtest.h>
