// Writes into the module's fixed text buffers that keep at most the buffer's size less two characters.
#pragma once

#include <cstddef>

namespace tapitext {

// Every write is given the buffer's size less one as its limit, and that limit counts the terminator:
// a 1024-byte buffer keeps at most 1022 characters. Both calls always leave the text terminated.

// Appends as much of `text` as fits; once the buffer is full, appends nothing.
void BoundedAppend(char* buffer, size_t size, const char* text);
// Replaces the buffer's text by the formatted text, cut where it does not fit.
void BoundedPrint(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace tapitext
