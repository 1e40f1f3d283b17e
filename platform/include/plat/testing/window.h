// Test seams of the windows: windows made and removed without messages, a window of another process,
// the screen size, and what a thread's queue holds.
#pragma once

#include <cstddef>

#include "plat/window.h"

namespace plat {

// A window below `parent` (null: the desktop) on top of its siblings, visible, not minimised, with the
// given user data, owned by the calling thread, without class; its procedure is DefWindowProcA. And its
// removal with all its descendants, without any message.
HWND CreateWindowForTesting(HWND parent, LONG_PTR userData);
void RemoveWindowForTesting(HWND window);

// Makes the window count as one of process `processId` (GetWindowThreadProcessId); 0 gives it back to
// this process.
void SetWindowProcessForTesting(HWND window, DWORD processId);
// The desktop's rectangle, 0, 0, width, height (1920 by 1080 at first).
void SetScreenSizeForTesting(int width, int height);

// The messages waiting for thread `threadId`: posted ones not yet taken and sent ones not yet handled;
// zeros when it has no queue.
struct QueueLength {
  size_t posted;
  size_t sent;
};
QueueLength QueueLengthForTesting(DWORD threadId);

// True once thread `threadId` waits inside GetMessageA with nothing posted or sent for it; false when
// that does not happen within `milliseconds` of real time (not scaled).
bool WaitForThreadIdleForTesting(DWORD threadId, DWORD milliseconds);

}  // namespace plat
