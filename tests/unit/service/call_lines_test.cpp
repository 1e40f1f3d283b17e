// Tests of the call status, call information and new-call lines against fake provider queries.
#include <gtest/gtest.h>
