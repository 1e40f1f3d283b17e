// Writing the variable parts of a telephony structure behind its fixed part, and the UTF-16 text they hold.
#pragma once

#include <string>

#include "tapi.h"

namespace simtsp {

// UTF-8 text as UTF-16; each byte that starts no valid sequence becomes U+FFFD.
std::u16string ToUtf16(const std::string& utf8);
// The NUL-terminated UTF-16 text as UTF-8, empty for a null pointer; a surrogate half without its
// partner becomes U+FFFD.
std::string ToUtf8(LPCWSTR utf16);

// Lays out the variable parts of one structure from the end of its fixed part on, within the
// dwTotalSize the caller gave. A part that does not fit any more is left out (its size and offset 0)
// but still counts towards the needed size, so the caller learns how much room to give next time.
class VariableParts {
 public:
  // `structure` is the caller's buffer, `totalSize` its dwTotalSize, `fixedSize` what comes before the
  // variable parts (at most totalSize).
  VariableParts(void* structure, DWORD totalSize, DWORD fixedSize);

  // Places `utf8` as UTF-16 with its terminating NUL and writes its size in bytes and its offset.
  void AddText(const std::string& utf8, DWORD& size, DWORD& offset);

  DWORD NeededSize() const { return m_needed; }
  DWORD UsedSize() const { return m_used; }

 private:
  unsigned char* m_base;
  DWORD m_total;
  DWORD m_used;
  DWORD m_needed;
};

}  // namespace simtsp
