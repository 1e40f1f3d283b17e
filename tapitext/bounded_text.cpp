// Writes into the module's fixed text buffers that keep at most the buffer's size less two characters.
#include "bounded_text.h"

#include <cstdarg>

#include "plat/bounded_text.h"

namespace tapitext {

// The module's limit is the buffer's size less one, counting the terminator: the shared writes are
// given that limit as their size.
void BoundedAppend(char* buffer, size_t size, const char* text) {
  if (size < 2) return;
  plat::BoundedAppend(buffer, size - 1, text);
}

void BoundedPrint(char* buffer, size_t size, const char* format, ...) {
  if (size < 2) return;
  va_list arguments;
  va_start(arguments, format);
  plat::BoundedFormatList(buffer, size - 1, format, arguments);
  va_end(arguments);
}

}  // namespace tapitext
