// The remaining text and number tools: extraction from tagged text, number parsing, replacements,
// entity decoding and bounded copies.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include "plat/bounded_text.h"
#include "plat/codepage.h"
#include "string_tools.h"

namespace {

using plat::DWORD;
using plat::LONG;
using plat::WCHAR;
using TOOLFUNC_string::IsDigit;

constexpr size_t kWorkSize = 1024;

char g_tagValue[128];
char g_attributeValue[128];
char g_callDataValue[1024];

// The runtime's white space, as its number readers skip it.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A sign and decimal digits. Beyond the range of `Integer` the value stops at its limit, as the 32-bit
// runtime's atoi and its 64-bit read do; the library's atoi here would go through a 64-bit `long` and
// wrap a long digit run instead.
template <typename Integer>
Integer ReadSaturated(const char* text) {
  using Magnitude = std::make_unsigned_t<Integer>;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  const Magnitude limit = static_cast<Magnitude>(std::numeric_limits<Integer>::max()) + (negative ? 1 : 0);
  Magnitude value = 0;
  for (; IsDigit(*text); ++text) {
    const Magnitude digit = static_cast<Magnitude>(*text - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return static_cast<Integer>(negative ? 0 - value : value);
}

// Reads like "%X": white space, a sign, an optional "0x", hexadecimal digits; only the low 32 bits
// are kept. No digit at all is a text that does not scan.
LONG ReadHexadecimal(const char* text) {
  while (IsSpace(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && HexDigit(text[2]) >= 0) text += 2;
  uint32_t value = 0;
  for (int digit; (digit = HexDigit(*text)) >= 0; ++text) value = (value << 4) | static_cast<uint32_t>(digit);
  return static_cast<LONG>(negative ? 0u - value : value);
}

// Clears `buffer` and fills it with what stands between the first `pattern` in `text` and the next
// `end` after it, at most capacity - 1 characters.
const char* Extract(char* buffer, size_t capacity, const char* text, const char* pattern, const char* end) {
  buffer[0] = '\0';
  const char* start = std::strstr(text, pattern);
  if (start == nullptr) return buffer;
  start += std::strlen(pattern);
  const char* stop = std::strstr(start, end);
  if (stop == nullptr) return buffer;
  const size_t count = std::min<size_t>(stop - start, capacity - 1);
  std::memcpy(buffer, start, count);
  buffer[count] = '\0';
  return buffer;
}

// An entity of the decoder: its name as it starts the text, and how many characters it takes.
struct Entity {
  const char* name;
  size_t consumed;
  char value;
};
constexpr Entity kEntities[] = {
    {"&amp", 5, '&'}, {"&apos", 6, '\''}, {"&lt", 4, '<'}, {"&gt", 4, '>'}, {"&quot", 6, '"'},
};

}  // namespace

namespace TOOLFUNC_string {

int ClassifyNumber(const char* text) {
  // The second character is read only when the text has one, the third only when the second is no
  // terminator, so a short text never reads past its end.
  if (text == nullptr || text[0] == '\0') return 3;
  const char third = text[1] == '\0' ? '\0' : text[2];
  auto thirdIn = [third](const char* set) { return third != '\0' && std::strchr(set, third) != nullptr; };
  switch (text[1]) {
    case '1':
    case '7':
      return 1;
    case '2':
      return third == '0' ? 2 : 3;
    case '3':
      return thirdIn("578") ? 3 : 2;
    case '4':
      return third == '2' ? 3 : 2;
    case '5':
      return thirdIn("09") ? 3 : 2;
    case '6':
      return thirdIn("789") ? 3 : 2;
    case '8':
      return thirdIn("035789") ? 3 : 2;
    case '9':
      return thirdIn("679") ? 3 : 2;
    default:
      return 3;
  }
}

void PackDigitPairs(plat::BYTE* dst, const char* src) {
  const size_t pairs = std::strlen(src) / 2;
  for (size_t i = 0; i < pairs; ++i) {
    dst[i] = static_cast<plat::BYTE>((src[2 * i] & 0x0F) + (src[2 * i + 1] & 0x0F));
  }
}

void CutAtLineEnd(char* text) {
  char* const end = text + std::strlen(text);
  std::replace_if(
      text, end, [](char c) { return c == '\r' || c == '\n'; }, '\0');
}

const char* GetTagValue(const char* text, const char* tag) {
  if (text == nullptr || tag == nullptr) {
    g_tagValue[0] = '\0';
    return g_tagValue;
  }
  char pattern[31];
  std::snprintf(pattern, sizeof pattern, "<%s>", tag);
  return Extract(g_tagValue, 127, text, pattern, "</");
}

const char* GetAttributeValue(const char* text, const char* name) {
  if (text == nullptr || name == nullptr) {
    g_attributeValue[0] = '\0';
    return g_attributeValue;
  }
  char pattern[31];
  std::snprintf(pattern, sizeof pattern, "<%s=", name);
  return Extract(g_attributeValue, 127, text, pattern, "/>");
}

const char* GetCallDataValue(const char* text, const char* keyword) {
  if (text == nullptr || keyword == nullptr) {
    g_callDataValue[0] = '\0';
    return g_callDataValue;
  }
  char pattern[127];
  std::snprintf(pattern, sizeof pattern, "<calldata keyword=\"%s\">", keyword);
  return Extract(g_callDataValue, 1023, text, pattern, "</calldata>");
}

LONG ReadSignedDecimal(const char* text) { return ReadSaturated<LONG>(text); }

int64_t ReadSignedDecimal64(const char* text) { return ReadSaturated<int64_t>(text); }

LONG ReadDecimal(const char* text) {
  while (IsSpace(*text)) ++text;
  return ReadSignedDecimal(text);
}

LONG ParseNumber(const char* text) {
  if (text[0] != '\0' && text[1] == 'x') return ReadHexadecimal(text);
  return ReadDecimal(text);
}

void ReplaceQuotedBlanks(char* text, char c) {
  // An empty text has no second character to start from.
  if (text[0] == '\0') return;
  bool quoted = false;
  for (char* p = text + 1; *p != '\0'; ++p) {
    if (*p == '\'') quoted = !quoted;
    if (*p == ' ' && quoted) *p = c;
    if (*p == '\'') *p = ' ';
  }
}

void ReplaceBlanks(char* text, char c) { ReplaceChar(text, ' ', c); }

void CharToBlank(char* text, char c) { ReplaceChar(text, c, ' '); }

void ReplaceChar(char* text, char c, char replacement) {
  // The end is taken first, so a zero replacement cuts the text without ending the walk early.
  char* const end = text + std::strlen(text);
  std::replace(text, end, c, replacement);
}

void TrimRight(char* text) {
  size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == ' ') --length;
  text[length] = '\0';
}

void KeepCharacters(char* text, const char* set) {
  if (text == nullptr || set == nullptr) return;
  char* out = text;
  for (const char* in = text; *in != '\0'; ++in) {
    if (std::strchr(set, *in) != nullptr) *out++ = *in;
  }
  *out = '\0';
}

void ReplaceAll(char* text, DWORD size, const char* find, const char* replacement) {
  // An empty search text would match everywhere without moving on.
  if (size == 0 || find == nullptr || find[0] == '\0') return;
  if (replacement == nullptr) replacement = "";
  const size_t findLength = std::strlen(find);
  char work[kWorkSize] = {};
  size_t used = 0;  // stays below kWorkSize, so the terminator always fits
  const char* in = text;
  while (*in != '\0' && used < kWorkSize - 1) {
    if (std::strncmp(in, find, findLength) == 0) {
      // A replacement is appended with one byte less room than a copied character has.
      used += plat::BoundedAppend(work, kWorkSize - 1, replacement);
      in += findLength;
    } else {
      work[used++] = *in++;
    }
  }
  work[used] = '\0';
  const size_t kept = std::min<size_t>(used, size - 1);
  std::memcpy(text, work, kept);
  text[kept] = '\0';
}

void DecodeXmlEntities(char* text) {
  const char* in = text;
  const char* const end = text + std::strlen(text);
  char* out = text;
  // Never more than what is left: an entity cut off by the end of the text ends the decoding there.
  auto consume = [&in, end](size_t count) { in += std::min<size_t>(count, end - in); };
  while (in < end) {
    const char c = *in;
    if (c == '\t' || c == '\n' || c == '\r') {
      ++in;
      continue;
    }
    if (c != '&') {
      *out++ = *in++;
      continue;
    }
    if (in[1] == '#') {
      uint32_t number = 0;
      for (const char* digit = in + 2; IsDigit(*digit); ++digit) number = number * 10 + (*digit - '0');
      *out++ = static_cast<char>(number & 0xFF);
      consume(6);
      continue;
    }
    const Entity* match = nullptr;
    for (const Entity& entity : kEntities) {
      if (std::strncmp(in, entity.name, std::strlen(entity.name)) == 0) {
        match = &entity;
        break;
      }
    }
    if (match != nullptr) {
      *out++ = match->value;
      consume(match->consumed);
    } else {
      *out++ = *in++;
    }
  }
  *out = '\0';
}

void CopyAndTerminate(const char* src, char* dst, DWORD size) {
  plat::BoundedCopy(dst, size, src);
  dst[size] = '\0';
}

void WideToAnsiBounded(const WCHAR* src, char* dst, DWORD n) {
  int written = 0;
  if (src != nullptr) {
    size_t length = 0;
    while (length < n && src[length] != 0) ++length;
    const int count = static_cast<int>(std::min<size_t>(length, INT_MAX));
    // An empty source is a conversion the converter refuses; it gives nothing either way.
    if (count > 0) {
      written =
          std::max(0, plat::WideCharToMultiByte(plat::CP_ACP, 0, src, count, dst, count, nullptr, nullptr));
    }
  }
  dst[written] = '\0';
}

plat::BOOL IsValidHandle(DWORD value) { return value != 0 && value != 0xFFFFFFFF ? 1 : 0; }

DWORD Difference(DWORD a, DWORD b) { return b - a; }

}  // namespace TOOLFUNC_string
