// Tests of provider_lookup.
#include <gtest/gtest.h>
