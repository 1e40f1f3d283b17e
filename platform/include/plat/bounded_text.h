// Copies, appends and formats text into fixed character buffers without ever writing past them.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace plat {

// One convention for all of them: `size` is the whole buffer in bytes, its terminator included, so a
// buffer of `size` keeps at most size - 1 characters and is always terminated when size is above 0
// (an append needs a buffer that was terminated within size before).
// A size of 0 writes nothing (the buffer may then be null). A null text counts as empty. Each returns
// the number of characters it wrote, the terminator not counted; a text that does not fit is cut.

// Replaces the buffer's text by `text`; reads `text` at most up to size - 1 characters, so a source
// without a terminator within that bound is safe.
size_t BoundedCopy(char* buffer, size_t size, const char* text);

// Adds `text` behind the buffer's terminated text. A buffer that already holds size - 1 characters, or
// has no terminator within size, is left as it is and takes nothing.
size_t BoundedAppend(char* buffer, size_t size, const char* text);

// Replaces the buffer's text by the formatted text. A format the C library cannot convert leaves
// empty text.
size_t BoundedFormat(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
size_t BoundedFormatList(char* buffer, size_t size, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

}  // namespace plat
