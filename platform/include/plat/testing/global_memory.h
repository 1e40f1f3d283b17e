// Test seams of global memory: a failing allocation and the blocks not yet freed.
#pragma once

#include <cstddef>

#include "plat/global_memory.h"

namespace plat {

// The next GlobalAlloc fails as if memory were exhausted.
void FailNextGlobalAllocForTesting();
// How many blocks are allocated and not yet freed.
size_t GlobalBlockCountForTesting();

}  // namespace plat
