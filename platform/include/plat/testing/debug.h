// Test seams of the debugger channel and message boxes: what reached them, in order.
#pragma once

#include <string>
#include <vector>

#include "plat/debug.h"

namespace plat {

// What reached the debugger channel (the last 1000 texts) and the boxes shown, in order.
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
std::vector<std::string> TakeDebugOutput();
std::vector<MessageBoxRecord> TakeMessageBoxes();

}  // namespace plat
