// Tests of the codepage area of the platform layer.
#include <gtest/gtest.h>
