// Test seam of the local time: a fixed time in place of the clock.
#pragma once

#include "plat/systime.h"

namespace plat {

// Makes GetLocalTime give `fixed` (a copy) from now on; null goes back to the clock.
void SetLocalTimeForTesting(const SYSTEMTIME* fixed);

}  // namespace plat
