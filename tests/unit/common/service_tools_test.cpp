// Tests of service_tools.
#include <gtest/gtest.h>
