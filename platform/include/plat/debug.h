// Debugger output and message boxes, both captured so that tests can read them.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_TOPMOST = 0x00040000;
constexpr int IDOK = 1;

// Hands the text to the debugger channel; sets no error. With VELCORA_DEBUG_OUTPUT naming a host file,
// the text is also appended there as it stands, as a debugger attached to the process would show it.
void OutputDebugStringA(LPCSTR text);

// Shows nothing (there is no desktop): records the box, writes "caption: text" to standard error and
// returns IDOK at once, as if the user had pressed OK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

}  // namespace plat
