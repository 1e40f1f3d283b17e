// Variable parts of telephony structures, and the conversions between UTF-8 and the UTF-16 of their texts.
#include "variable_parts.h"

#include <cstring>

namespace simtsp {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// The code point of the sequence at `pos` and its length; length 0 when no valid sequence starts there.
char32_t DecodeSequence(const std::string& text, size_t pos, size_t& length) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  length = 0;
  if (lead < 0x80) {
    length = 1;
    return lead;
  }
  // The lead byte tells the length and carries the top bits; `smallest` rules out overlong forms.
  size_t count = 0;
  char32_t value = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    count = 2;
    value = lead & 0x1F;
    smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    count = 3;
    value = lead & 0x0F;
    smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    count = 4;
    value = lead & 0x07;
    smallest = 0x10000;
  } else {
    return 0;
  }
  if (pos + count > text.size()) return 0;
  for (size_t i = 1; i < count; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  // Overlong forms, surrogate halves and values beyond Unicode are no text.
  if (value < smallest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  length = count;
  return value;
}

}  // namespace

std::u16string ToUtf16(const std::string& utf8) {
  std::u16string result;
  size_t pos = 0;
  while (pos < utf8.size()) {
    size_t length;
    char32_t value = DecodeSequence(utf8, pos, length);
    if (length == 0) {
      result += kReplacement;
      ++pos;
      continue;
    }
    pos += length;
    if (value < 0x10000) {
      result += static_cast<char16_t>(value);
    } else {
      value -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (value >> 10));
      result += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    }
  }
  return result;
}

std::string ToUtf8(LPCWSTR utf16) {
  std::string result;
  if (utf16 == nullptr) return result;
  for (size_t i = 0; utf16[i] != u'\0'; ++i) {
    char32_t value = utf16[i];
    bool high = value >= 0xD800 && value <= 0xDBFF;
    bool low = value >= 0xDC00 && value <= 0xDFFF;
    if (high && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (high || low) {
      value = kReplacement;
    }
    if (value < 0x80) {
      result += static_cast<char>(value);
    } else if (value < 0x800) {
      result += static_cast<char>(0xC0 | (value >> 6));
      result += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
      result += static_cast<char>(0xE0 | (value >> 12));
      result += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      result += static_cast<char>(0xF0 | (value >> 18));
      result += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
      result += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return result;
}

VariableParts::VariableParts(void* structure, DWORD totalSize, DWORD fixedSize)
    : m_base(static_cast<unsigned char*>(structure)),
      m_total(totalSize),
      m_used(fixedSize),
      m_needed(fixedSize) {}

void VariableParts::AddText(const std::string& utf8, DWORD& size, DWORD& offset) {
  std::u16string text = ToUtf16(utf8);
  DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
  m_needed += bytes;
  if (bytes > m_total - m_used) {
    size = 0;
    offset = 0;
    return;
  }
  std::memcpy(m_base + m_used, text.c_str(), bytes);
  size = bytes;
  offset = m_used;
  m_used += bytes;
}

}  // namespace simtsp
