// Copies, appends and formats text into fixed character buffers without ever writing past them.
#include "plat/bounded_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace plat {

size_t BoundedCopy(char* buffer, size_t size, const char* text) {
  if (size == 0) return 0;
  buffer[0] = '\0';
  return BoundedAppend(buffer, size, text);
}

size_t BoundedAppend(char* buffer, size_t size, const char* text) {
  if (size == 0) return 0;
  const size_t length = strnlen(buffer, size);
  if (length + 1 >= size) return 0;
  if (text == nullptr) text = "";
  const size_t added = strnlen(text, size - 1 - length);
  std::memcpy(buffer + length, text, added);
  buffer[length + added] = '\0';
  return added;
}

size_t BoundedFormat(char* buffer, size_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const size_t written = BoundedFormatList(buffer, size, format, arguments);
  va_end(arguments);
  return written;
}

size_t BoundedFormatList(char* buffer, size_t size, const char* format, va_list arguments) {
  if (size == 0) return 0;
  const int wanted = std::vsnprintf(buffer, size, format, arguments);
  if (wanted < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return std::min(static_cast<size_t>(wanted), size - 1);
}

}  // namespace plat
