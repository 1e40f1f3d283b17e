// Test seams of the clipboard: another program holding it or writing to it, a failing write, and a reset.
#pragma once

#include <string>

#include "plat/clipboard.h"

namespace plat {

// While `held`, another program has the clipboard open and every OpenClipboard fails.
void HoldClipboardOpenForTesting(bool held);
// Another program put exactly `bytes` (no terminator added) as `format`, in place of a block already
// there.
void PutClipboardDataForTesting(UINT format, const std::string& bytes);
// The next SetClipboardData fails (ERROR_NOT_ENOUGH_MEMORY) and leaves the block the caller's.
void FailNextSetClipboardDataForTesting();
// Closed, not held, and empty with every block freed.
void ResetClipboardForTesting();

}  // namespace plat
