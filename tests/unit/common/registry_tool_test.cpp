// Tests of registry_tool.
#include <gtest/gtest.h>
