// Tests of the simulated provider (control).
#include <gtest/gtest.h>
