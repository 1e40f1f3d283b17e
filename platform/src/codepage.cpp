// Conversions between the ANSI code page (Windows-1252) and UTF-16, and comparing its texts without case.
#include "plat/codepage.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "plat/error.h"

namespace plat {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. Windows maps the five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the control units of the same value, so every
// byte survives a round trip; we do the same.
constexpr WCHAR kBlock80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

WCHAR ByteToUnit(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kBlock80[byte - 0x80] : WCHAR{byte};
}

// The byte of `unit`, or -1 when the code page has none.
int UnitToByte(WCHAR unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
  const WCHAR* end = std::end(kBlock80);
  const WCHAR* found = std::find(std::begin(kBlock80), end, unit);
  return found == end ? -1 : 0x80 + static_cast<int>(found - std::begin(kBlock80));
}

bool IsHighSurrogate(WCHAR unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(WCHAR unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

bool ValidArguments(UINT codePage, const void* src, int srcCount, const void* dst, int dstCount) {
  return codePage == CP_ACP && src != nullptr && srcCount != 0 && srcCount >= -1 && dstCount >= 0 &&
         (dst != nullptr || dstCount == 0) && src != dst;
}

size_t WideLengthWithTerminator(LPCWSTR text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length + 1;
}

// Windows-1252 lower case: ASCII, the accented capitals from 0xC0 (the multiplication sign 0xD7 is no
// letter) and the four capitals the code page keeps between 0x80 and 0x9F.
unsigned char Folded(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) return byte + 0x20;
  switch (byte) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
      return byte + 0x10;
    case 0x9F:
      return 0xFF;
  }
  return byte;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR src, int srcBytes, LPWSTR dst, int dstUnits) {
  if (!ValidArguments(codePage, src, srcBytes, dst, dstUnits)) return Fail(ERROR_INVALID_PARAMETER);
  size_t count = srcBytes == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcBytes);
  if (dstUnits == 0) return static_cast<int>(count);
  size_t fitting = std::min(count, static_cast<size_t>(dstUnits));
  for (size_t i = 0; i < fitting; ++i) dst[i] = ByteToUnit(static_cast<unsigned char>(src[i]));
  if (fitting < count) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<int>(count);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR src, int srcUnits, LPSTR dst, int dstBytes,
                        LPCSTR defaultChar, BOOL* usedDefault) {
  if (!ValidArguments(codePage, src, srcUnits, dst, dstBytes)) return Fail(ERROR_INVALID_PARAMETER);
  size_t count = srcUnits == -1 ? WideLengthWithTerminator(src) : static_cast<size_t>(srcUnits);
  const char substitute = defaultChar != nullptr ? defaultChar[0] : '?';
  bool substituted = false;
  int produced = 0;
  for (size_t i = 0; i < count; ++i) {
    int byte = UnitToByte(src[i]);
    if (byte < 0) {
      byte = static_cast<unsigned char>(substitute);
      substituted = true;
      // A whole pair is one character beyond the code page, so it gives a single substitute.
      if (IsHighSurrogate(src[i]) && i + 1 < count && IsLowSurrogate(src[i + 1])) ++i;
    }
    if (dstBytes != 0) {
      if (produced == dstBytes) return Fail(ERROR_INSUFFICIENT_BUFFER);
      dst[produced] = static_cast<char>(byte);
    }
    ++produced;
  }
  if (usedDefault != nullptr) *usedDefault = substituted ? TRUE : FALSE;
  return produced;
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
  const char* left = a != nullptr ? a : "";
  const char* right = b != nullptr ? b : "";
  for (;; ++left, ++right) {
    const int difference = Folded(*left) - Folded(*right);
    if (difference != 0 || *left == '\0') return difference;
  }
}

}  // namespace plat
