// Synthetic keyboard and mouse input, recorded for tests: nothing reaches a real desktop.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr DWORD INPUT_MOUSE = 0;
constexpr DWORD INPUT_KEYBOARD = 1;
constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
constexpr DWORD MOUSEEVENTF_MOVE = 0x0001;
constexpr DWORD MOUSEEVENTF_LEFTDOWN = 0x0002;
constexpr DWORD MOUSEEVENTF_LEFTUP = 0x0004;
constexpr DWORD MOUSEEVENTF_RIGHTDOWN = 0x0008;
constexpr DWORD MOUSEEVENTF_RIGHTUP = 0x0010;
constexpr DWORD MOUSEEVENTF_MIDDLEDOWN = 0x0020;
constexpr DWORD MOUSEEVENTF_MIDDLEUP = 0x0040;
constexpr DWORD MOUSEEVENTF_ABSOLUTE = 0x8000;

struct MOUSEINPUT {
  LONG dx;
  LONG dy;
  DWORD mouseData;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};
struct KEYBDINPUT {
  WORD wVk;
  WORD wScan;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};
struct INPUT {
  DWORD type;
  union {
    MOUSEINPUT mi;
    KEYBDINPUT ki;
  };
};

// Records the inputs in order and returns how many it took; 0 with ERROR_INVALID_PARAMETER when the
// list is missing or `size` is not the size of INPUT.
UINT SendInput(UINT count, INPUT* inputs, int size);

// The extra information of the last input message; synthetic input carries none here, so 0.
LPARAM GetMessageExtraInfo();

}  // namespace plat
