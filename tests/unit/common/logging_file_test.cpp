// Tests of logging_file.
#include <gtest/gtest.h>
