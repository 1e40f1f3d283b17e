// The text tools: bounded copies, ANSI/UTF-16 conversion, number filters and the change checksum.
#include "string_tools.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "plat/bounded_text.h"
#include "plat/codepage.h"

namespace TOOLFUNC_string {
namespace {

using plat::DWORD;
using plat::WCHAR;

constexpr DWORD kWholeText = 0xFFFFFFFF;

// Indexed by the high byte of the running checksum. The entries at 0x00, 0x01, 0x02, 0x03, 0xB0,
// 0xB6 and 0xFF are the established ones; the others are arbitrary constants, chosen so that the
// low bytes of all 256 entries are each of 0..255 exactly once. That makes every step a one-to-one
// map of the 16-bit state, so a single changed byte always changes the checksum and a changed call
// line is never mistaken for the one sent before. A table with repeated low bytes would let such
// changes through unnoticed.
const uint16_t kChecksumTable[256] = {
    0x0000, 0x9967, 0x9AF4, 0x5E57, 0x6160, 0xC1E5, 0x7ED1, 0xC954,  // 0x00
    0xE4E6, 0x5945, 0xFDB3, 0x5717, 0xE22F, 0xA9FC, 0x2FE9, 0xAE02,  // 0x08
    0x97A0, 0xF78C, 0x16AE, 0x127F, 0xB82A, 0x508E, 0xED6E, 0x1CF7,  // 0x10
    0x3C5B, 0x13F1, 0x80A5, 0xD0E2, 0xC1E1, 0x2377, 0x21DD, 0x9693,  // 0x18
    0x11BC, 0x1D35, 0x5539, 0x29C2, 0x18EE, 0xB6D2, 0x6479, 0xBCEF,  // 0x20
    0xA6A7, 0xAF62, 0x4D4C, 0x8499, 0xB252, 0xED8B, 0x780D, 0xAEE4,  // 0x28
    0xA57B, 0xC7DF, 0x0E9D, 0xAF98, 0x750C, 0xE6CD, 0xC072, 0x19F6,  // 0x30
    0x9514, 0x4E1A, 0xD010, 0x6404, 0x1FAC, 0xAC5F, 0xFE05, 0x9E1D,  // 0x38
    0x67A8, 0x0E08, 0x3DF8, 0xF69C, 0xA75D, 0x4E4A, 0x0727, 0x5A12,  // 0x40
    0x13BF, 0xA468, 0x3594, 0x6C32, 0xF822, 0xBC82, 0xB838, 0x8909,  // 0x48
    0x19BB, 0x9416, 0xF73F, 0xED5A, 0xC623, 0x0492, 0x2820, 0xCC2B,  // 0x50
    0x8D76, 0x28BA, 0x7B9F, 0xDB19, 0x6024, 0xED6B, 0x50D3, 0xE2D4,  // 0x58
    0x75D9, 0xDDE0, 0x780B, 0xE253, 0x149E, 0x4ABD, 0x7663, 0x6507,  // 0x60
    0x0A26, 0x74CA, 0x933D, 0x4A61, 0x021F, 0x58DB, 0x47F3, 0x767E,  // 0x68
    0x3130, 0xA1A4, 0xF4CB, 0x3378, 0x1781, 0xA5CC, 0x69E3, 0x2CC3,  // 0x70
    0xF3F0, 0xE671, 0xEA6D, 0x117A, 0x04FA, 0x7E0E, 0x1A34, 0xE7F9,  // 0x78
    0x383B, 0xECEA, 0x2774, 0xD764, 0xC32E, 0xD769, 0x6583, 0x7642,  // 0x80
    0x5070, 0xA51E, 0x346F, 0xA450, 0x996A, 0x3DA1, 0x3C0F, 0xCDB7,  // 0x88
    0xE3B9, 0xD6C4, 0xE8AD, 0xD4C0, 0x008F, 0x21C5, 0xEA91, 0xC603,  // 0x90
    0x35E8, 0x0BB5, 0x47AF, 0x51B4, 0xAE47, 0xA82C, 0xEA1C, 0x4F41,  // 0x98
    0xB13A, 0xAE75, 0x19B2, 0x1137, 0x05F2, 0x292D, 0x5B0A, 0xD1C6,  // 0xA0
    0xFBC7, 0x27EC, 0xA684, 0x0E51, 0x4A88, 0xC58D, 0x26B1, 0xD3A6,  // 0xA8
    0xA396, 0xE786, 0x5813, 0xF015, 0x27A9, 0xF043, 0x1044, 0x50A2,  // 0xB0
    0x0266, 0x4501, 0x554F, 0x2C58, 0xFECF, 0xE7C8, 0xDD7C, 0xF5F5,  // 0xB8
    0xB929, 0x2EEB, 0x3B25, 0x2256, 0x70DC, 0xE37D, 0x0989, 0x6D5E,  // 0xC0
    0x12D5, 0xA280, 0xD5DA, 0x5BB8, 0x514B, 0x5A9A, 0xC095, 0x2721,  // 0xC8
    0x2C49, 0x6DFF, 0x6031, 0x66FB, 0x0D11, 0x8B3E, 0x2987, 0x82FE,  // 0xD0
    0xA08A, 0x883C, 0x9406, 0x5097, 0x25D7, 0x911B, 0xFEFD, 0xFD33,  // 0xD8
    0x52E7, 0xF765, 0xAF18, 0xEAC9, 0xB085, 0x12CE, 0x0C48, 0x7AED,  // 0xE0
    0x1F90, 0x8AD0, 0xF5A3, 0x6840, 0x5D4D, 0x7173, 0x21D8, 0xDAB6,  // 0xE8
    0xC455, 0x5CAA, 0xE146, 0x02D6, 0x7F59, 0x8036, 0x7528, 0x7E6C,  // 0xF0
    0x40BE, 0xC99B, 0x315C, 0x5CDE, 0xBF4E, 0x03B0, 0x14AB, 0x49C1,  // 0xF8
};

size_t WideLength(const WCHAR* text, size_t bound) {
  size_t length = 0;
  while (length < bound && text[length] != 0) ++length;
  return length;
}

// How many elements of a source of `length` a conversion bounded by n takes: the text with its
// terminator, or the first n elements. Sources beyond INT_MAX are out of the converters' reach.
int ConversionCount(size_t length, DWORD n) {
  return static_cast<int>(std::min<size_t>({length + 1, n, INT_MAX}));
}

// A conversion may give fewer elements than it took (a surrogate pair is one byte) or none at all;
// the text then ends after what it gave rather than at stale contents.
template <typename Unit>
void EndConvertedText(Unit* dst, int written, int count, DWORD n) {
  if (written < count) dst[written] = 0;
  if (n != kWholeText) dst[n] = 0;
}

// Writes back from the start of the text what `keep` returns for each character, dropping those it
// returns 0 for, and ends the text there.
template <typename Keep>
void FilterInPlace(char* text, Keep keep) {
  char* out = text;
  for (const char* in = text; *in != '\0'; ++in) {
    if (char kept = keep(*in)) *out++ = kept;
  }
  *out = '\0';
}

}  // namespace

void ParseTaggedNumber(char* text) {
  // A null check stands in for a writability probe, which has no dependable form here; every write
  // below ends at or before the text's own terminator.
  if (text == nullptr) return;
  constexpr DWORD kCapacity = 31;
  char work[32] = {};
  if (text[0] == 'N') {
    const char* open = std::strchr(text, '<');
    if (open == nullptr) return;
    CopyBounded(work, open + 1, kCapacity);
    char* close = std::strchr(work, '>');
    if (close == nullptr) return;
    *close = '\0';
  } else if (text[0] == 'T') {
    CopyBounded(work, text + 1, kCapacity);
  } else {
    return;
  }
  CopyBounded(text, work, kCapacity);
}

char* CopyBounded(char* dst, const char* src, DWORD n) {
  const size_t copied = plat::BoundedCopy(dst, n, src);
  // The byte behind the terminator is zeroed as well; with n 0 that is the first one.
  dst[n == 0 ? 0 : copied + 1] = '\0';
  return dst;
}

char* CopyText(char* dst, const char* src, DWORD n) { return CopyBounded(dst, src, n); }

char* WideToMultiByteText(char* dst, const WCHAR* src, DWORD n) {
  if (src == nullptr) {
    EndConvertedText(dst, 0, 1, n);  // as a conversion that gave nothing: empty text
    return dst;
  }
  const int count = ConversionCount(WideLength(src, n), n);
  const int written = plat::WideCharToMultiByte(plat::CP_ACP, 0, src, count, dst, count, nullptr, nullptr);
  EndConvertedText(dst, written, count, n);
  return dst;
}

WCHAR* MultiByteToWideText(WCHAR* dst, const char* src, DWORD n) {
  const int count = ConversionCount(strnlen(src, n), n);
  const int written = plat::MultiByteToWideChar(plat::CP_ACP, plat::MB_PRECOMPOSED, src, count, dst, count);
  EndConvertedText(dst, written, count, n);
  return dst;
}

void KeepDialCharacters(char* text) {
  FilterInPlace(text,
                [](char c) { return IsDigit(c) || c == '#' || c == '*' || c == '+' || c == '-' ? c : '\0'; });
}

void CleanPhoneNumber(char* text) {
  bool plusKept = false;
  FilterInPlace(text, [&plusKept](char c) {
    if (c == '+') {
      if (plusKept) return ' ';
      plusKept = true;
      return '+';
    }
    return IsDigit(c) || c == '#' || c == '(' || c == ')' || c == '*' ? c : '\0';
  });
}

void RemoveQuotes(char* text) {
  FilterInPlace(text, [](char c) { return c == '"' ? '\0' : c; });
}

DWORD Checksum16(const void* data, DWORD count) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  uint16_t sum = 0xFFFF;
  for (DWORD i = 0; i < count; ++i) {
    sum = static_cast<uint16_t>((sum << 8) ^ kChecksumTable[sum >> 8] ^ bytes[i]);
  }
  return sum;
}

void* AddOffset(void* base, DWORD offset) { return static_cast<char*>(base) + offset; }

const void* AddOffset(const void* base, DWORD offset) { return static_cast<const char*>(base) + offset; }

}  // namespace TOOLFUNC_string
