// The one structure buffer of the provider queries, and the variable parts of structures as text.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "service_window.h"

alignas(8) unsigned char CServiceWindow::m_StructBuffer[kStructBufferSize];
char CServiceWindow::m_szStructText[4096 + 1];
char CServiceWindow::m_szStructForward[1024];

namespace {

constexpr plat::DWORD kTextCharacters = 4095;

// Provider text must never break the line framing of the protocol.
void BlankLineBreaks(char* text) {
  for (char* c = text; *c != '\0'; ++c)
    if (*c == '\r' || *c == '\n') *c = ' ';
}

}  // namespace

void* CServiceWindow::PrepareStructBuffer() {
  std::memset(m_StructBuffer, 0, sizeof(m_StructBuffer));
  plat::DWORD totalSize = kStructBufferSize;
  std::memcpy(m_StructBuffer, &totalSize, sizeof(totalSize));
  return m_StructBuffer;
}

char* CServiceWindow::GetStructText(const void* structure, plat::DWORD offset, plat::DWORD size) {
  m_szStructText[0] = '\0';
  if (size == 0 || offset == 0) return m_szStructText;
  // Offsets and sizes come from the provider: the part is kept within the structure buffer.
  if (offset >= kStructBufferSize) return m_szStructText;
  size = std::min(size, kStructBufferSize - offset);
  const char* part = static_cast<const char*>(TOOLFUNC_string::AddOffset(structure, offset));
  if (size >= 2 && part[1] == '\0') {
    plat::DWORD characters = std::min(size / 2, kTextCharacters);
    // The part may start at an odd offset: read the units from an aligned copy.
    std::vector<plat::WCHAR> units(characters + 1, 0);
    std::memcpy(units.data(), part, characters * sizeof(plat::WCHAR));
    TOOLFUNC_string::WideToAnsi(m_szStructText, units.data(), characters);
  } else {
    TOOLFUNC_string::CopyBounded(m_szStructText, part, std::min(size, kTextCharacters + 1));
  }
  BlankLineBreaks(m_szStructText);
  return m_szStructText;
}

char* CServiceWindow::GetStructForward(const void* structure, plat::DWORD index, plat::DWORD listOffset) {
  m_szStructForward[0] = '\0';
  if (listOffset == 0 || listOffset >= 0xFFFF) return m_szStructForward;
  uint64_t entry = static_cast<uint64_t>(listOffset) + static_cast<uint64_t>(index) * sizeof(LINEFORWARD);
  if (entry + sizeof(LINEFORWARD) > kStructBufferSize) return m_szStructForward;
  const char* fields =
      static_cast<const char*>(TOOLFUNC_string::AddOffset(structure, static_cast<plat::DWORD>(entry)));
  plat::DWORD destSize = 0;
  plat::DWORD destOffset = 0;
  std::memcpy(&destSize, fields + offsetof(LINEFORWARD, dwDestAddressSize), sizeof(destSize));
  std::memcpy(&destOffset, fields + offsetof(LINEFORWARD, dwDestAddressOffset), sizeof(destOffset));
  plat::BoundedCopy(m_szStructForward, 1023, GetStructText(structure, destOffset, destSize));
  return m_szStructForward;
}
