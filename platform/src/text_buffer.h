// Copying a layer-held text into a caller's buffer, as the window and control calls that return text do.
#pragma once

#include <string>

#include "plat/bounded_text.h"
#include "plat/types.h"

namespace plat::detail {

// Copies at most size - 1 characters of `text` and a terminator; the characters copied, 0 with nothing
// written for a null buffer or a size below 1.
inline int CopyToBuffer(const std::string& text, LPSTR buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  return static_cast<int>(BoundedCopy(buffer, static_cast<size_t>(size), text.c_str()));
}

}  // namespace plat::detail
