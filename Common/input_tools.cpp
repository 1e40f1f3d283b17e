// Keyboard and mouse input through SendInput, and the message pump the click tools share.
#include "input_tools.h"

#include <cstring>

#include "plat/input.h"
#include "plat/time.h"
#include "plat/window.h"

namespace TOOLFUNC_input {
namespace {

// The records are shared by all threads, as the callers expect no state of their own.
plat::INPUT g_keyRecord;
plat::INPUT g_typeRecord;

void Click(int x, int y, plat::BOOL restore, plat::DWORD downFlags, plat::DWORD upFlags) {
  plat::POINT before = {};
  if (restore) plat::GetCursorPos(&before);
  plat::SetCursorPos(x, y);
  // No MOUSEEVENTF_MOVE: the buttons act where SetCursorPos put the cursor.
  plat::INPUT inputs[2];
  std::memset(inputs, 0, sizeof(inputs));
  for (plat::INPUT& input : inputs) {
    input.type = plat::INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
  }
  inputs[0].mi.dwFlags = plat::MOUSEEVENTF_ABSOLUTE | downFlags;
  inputs[1].mi.dwFlags = plat::MOUSEEVENTF_ABSOLUTE | upFlags;
  plat::SendInput(2, inputs, sizeof(plat::INPUT));
  if (restore) plat::SetCursorPos(before.x, before.y);
}

}  // namespace

void PumpMessages() {
  plat::MSG message;
  while (plat::PeekMessageA(&message, nullptr, 0, 0, plat::PM_REMOVE)) {
    plat::TranslateMessage(&message);
    plat::DispatchMessageA(&message);
  }
}

void NudgeCursor() {
  plat::POINT position = {};
  plat::GetCursorPos(&position);
  plat::SetCursorPos(position.x + 1, position.y + 1);
  plat::SetCursorPos(position.x, position.y);
}

void SendKey(char keyCode, int direction) {
  std::memset(&g_keyRecord, 0, sizeof(g_keyRecord));
  g_keyRecord.type = plat::INPUT_KEYBOARD;
  g_keyRecord.ki.wVk = static_cast<plat::WORD>(static_cast<int>(keyCode));
  g_keyRecord.ki.dwFlags = direction < 0 ? plat::KEYEVENTF_KEYUP : 0;
  plat::SendInput(1, &g_keyRecord, sizeof(plat::INPUT));
}

void TypeKeys(const char* text, plat::DWORD pause) {
  for (; *text; ++text) {
    g_typeRecord.type = plat::INPUT_KEYBOARD;
    g_typeRecord.ki.wVk = static_cast<plat::WORD>(static_cast<int>(*text));
    g_typeRecord.ki.wScan = 0;
    g_typeRecord.ki.dwFlags = 0;
    g_typeRecord.ki.time = 0;
    g_typeRecord.ki.dwExtraInfo = static_cast<plat::ULONG_PTR>(plat::GetMessageExtraInfo());
    plat::SendInput(1, &g_typeRecord, sizeof(plat::INPUT));
    g_typeRecord.ki.dwFlags = plat::KEYEVENTF_KEYUP;
    plat::SendInput(1, &g_typeRecord, sizeof(plat::INPUT));
    plat::Sleep(pause);
  }
}

void ClickAt(int x, int y, plat::BOOL restore) {
  Click(x, y, restore, plat::MOUSEEVENTF_LEFTDOWN, plat::MOUSEEVENTF_LEFTUP);
}

void MiddleClickAt(int x, int y, plat::BOOL restore) {
  Click(x, y, restore, plat::MOUSEEVENTF_MIDDLEDOWN, plat::MOUSEEVENTF_MIDDLEUP);
}

void RightClickAt(int x, int y, plat::BOOL restore) {
  Click(x, y, restore, plat::MOUSEEVENTF_RIGHTDOWN, plat::MOUSEEVENTF_RIGHTUP);
}

void ClientToScreenPoint(plat::HWND window, int x, int y, plat::BOOL restore) {
  plat::POINT point = {x, y};
  plat::ClientToScreen(window, &point);
  ClickAt(point.x, point.y, restore);
}

namespace {

plat::HWND SendClick(int x, int y, plat::UINT down, plat::UINT up) {
  plat::POINT point = {x, y};
  plat::HWND window = plat::WindowFromPoint(point);
  if (window == nullptr) return nullptr;
  plat::ScreenToClient(window, &point);
  const plat::LPARAM position = static_cast<plat::LPARAM>((point.x & 0xFFFF) | ((point.y & 0xFFFF) << 16));
  plat::SendMessageA(window, down, plat::MK_LBUTTON, position);
  plat::SendMessageA(window, up, plat::MK_LBUTTON, position);
  PumpMessages();
  return window;
}

}  // namespace

plat::HWND PostClickAt(int x, int y) { return SendClick(x, y, plat::WM_LBUTTONDOWN, plat::WM_LBUTTONUP); }

plat::HWND PostRightClickAt(int x, int y) {
  return SendClick(x, y, plat::WM_RBUTTONDOWN, plat::WM_RBUTTONUP);
}

}  // namespace TOOLFUNC_input
