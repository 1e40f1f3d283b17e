// Writes into the module's fixed text buffers that keep at most the buffer's size less two characters.
#include "bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tapitext {

void BoundedAppend(char* buffer, size_t size, const char* text) {
  if (size < 2) return;
  const size_t limit = size - 1;  // counts the terminator
  size_t length = std::strlen(buffer);
  while (*text != '\0' && length + 1 < limit) buffer[length++] = *text++;
  buffer[length] = '\0';
}

void BoundedPrint(char* buffer, size_t size, const char* format, ...) {
  if (size < 2) return;
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, size - 1, format, arguments);
  va_end(arguments);
}

}  // namespace tapitext
