// Keyboard and mouse input simulation and draining the calling thread's message queue.
#pragma once

#include "plat/types.h"
#include "plat/window.h"

namespace TOOLFUNC_input {

// Removes and dispatches every message waiting for the calling thread.
void PumpMessages();

// Moves the cursor one pixel right and down and back.
void NudgeCursor();

// One key down, or key up when `direction` is negative; the code is widened with its sign.
void SendKey(char keyCode, int direction);

// Presses and releases the key whose code each character has, pausing `pause` ms after each.
void TypeKeys(const char* text, plat::DWORD pause);

// Puts the cursor on the screen point and clicks there; with `restore` the cursor goes back after.
void ClickAt(int x, int y, plat::BOOL restore);
void MiddleClickAt(int x, int y, plat::BOOL restore);
void RightClickAt(int x, int y, plat::BOOL restore);
// ClickAt on the screen point of the window's client point.
void ClientToScreenPoint(plat::HWND window, int x, int y, plat::BOOL restore);

// Sends the window under the screen point a button down and up at the point (in its client coordinates),
// then pumps the calling thread's messages. Returns that window, or null when there is none.
plat::HWND PostClickAt(int x, int y);
// The same with the right button's messages; the key state still names the left button.
plat::HWND PostRightClickAt(int x, int y);

}  // namespace TOOLFUNC_input
