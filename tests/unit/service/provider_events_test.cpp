// Tests of the provider's callbacks and the handling of posted events on the main thread.
#include <gtest/gtest.h>
