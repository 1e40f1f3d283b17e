// End to end: calls between the simulated provider's lines and outside parties, as a Telvane client sees them.
#include <gtest/gtest.h>
