// Text tools of the tool library: bounded copies, conversions, filters, extraction, number tools, checksum.
#pragma once

#include <cstdint>

#include "plat/types.h"

// Every tool reads a source at most up to its bound n, so a source without a terminator within n is
// safe. The copies and conversions write at most up to index n: dst must hold n + 1 elements.
namespace TOOLFUNC_string {

// Unwraps a party number in place: "N...<number>..." becomes the number when a ">" follows within
// 30 characters of the "<", "Tnumber" loses its "T" (both keep at most 30 characters); any other
// text, and a null text, stays as it is. Nothing is written past the text's own terminator.
void ParseTaggedNumber(char* text);

// Copies the first min(length(src), n - 1) characters of src and a terminator into dst (empty text
// for n 0), and zeroes dst[min(length(src) + 1, n)] as well. Returns dst.
char* CopyBounded(char* dst, const char* src, plat::DWORD n);
// The same as CopyBounded.
char* CopyText(char* dst, const char* src, plat::DWORD n);

// Converts the first min(length(src) + 1, n) units of src into ANSI bytes in dst ("?" for a
// character the code page lacks); a null src gives empty text. Unless n is 0xFFFFFFFF, dst[n] is
// zeroed too; with 0xFFFFFFFF the converted terminator ends the text. Returns dst.
char* WideToMultiByteText(char* dst, const plat::WCHAR* src, plat::DWORD n);
inline char* WideToAnsi(char* dst, const plat::WCHAR* src, plat::DWORD n) {
  return WideToMultiByteText(dst, src, n);
}

// Converts the first min(length(src) + 1, n) bytes of src (not null) into UTF-16 units in dst.
// Unless n is 0xFFFFFFFF, dst[n] is zeroed too; with 0xFFFFFFFF the converted terminator ends the
// text. Returns dst.
plat::WCHAR* MultiByteToWideText(plat::WCHAR* dst, const char* src, plat::DWORD n);
inline plat::WCHAR* AnsiToWide(plat::WCHAR* dst, const char* src, plat::DWORD n) {
  return MultiByteToWideText(dst, src, n);
}

// An ASCII decimal digit, whatever the locale says.
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The destination-number filters work in place on a terminated, writable text.
// Keeps "#", "*", "+", "-" and the digits.
void KeepDialCharacters(char* text);
// Keeps "#", "(", ")", "*", the digits and the first "+"; every later "+" becomes a blank.
void CleanPhoneNumber(char* text);
// Drops every double quote.
void RemoveQuotes(char* text);

// A 16-bit checksum of count bytes (0xFFFF for none), only meant to notice that data has changed
// since a checksum of it was taken in this process. Two inputs of the same length that differ in a
// single byte never get the same checksum.
plat::DWORD Checksum16(const void* data, plat::DWORD count);

// base + offset bytes.
void* AddOffset(void* base, plat::DWORD offset);
const void* AddOffset(const void* base, plat::DWORD offset);

// ---- Tools no program calls but the SQL table selector (ReplaceChar) ----
// Unless said otherwise they work in place on a terminated, writable text.

// The length (1, 2 or 3) of the international country code that starts at the text's second
// character, decided by the second and third characters only; a text of fewer than two characters
// and a null text give 3, as a second character that is no digit does.
int ClassifyNumber(const char* text);

// Writes length(src) / 2 bytes (an odd last character is ignored), each the sum of the low four bits
// of two characters of src; no terminator.
void PackDigitPairs(plat::BYTE* dst, const char* src);

// Every CR and LF of the text becomes a zero byte, so the text ends at its first line end.
void CutAtLineEnd(char* text);

// Each returns the library's own buffer for its tool, rewritten by that tool's next call from any
// thread: the text between the first "<tag>" and the next "</" (at most 126 characters), between the
// first "<name=" and the next "/>" (at most 126), or between the first <calldata keyword="keyword">
// and the next "</calldata>" (at most 1022). A missing start or end, and a null argument, give empty
// text. A tag or name beyond 28 characters, or a keyword beyond 105, is cut in the search pattern.
const char* GetTagValue(const char* text, const char* tag);
const char* GetAttributeValue(const char* text, const char* name);
const char* GetCallDataValue(const char* text, const char* keyword);

// An optional sign and decimal digits up to the first other character (no digit gives 0); a value
// beyond the 32-bit range stops at 2147483647 or -2147483648.
plat::LONG ReadSignedDecimal(const char* text);
// The same read in 64 bits, as the runtime's 64-bit read: beyond the range it stops at
// 9223372036854775807 or -9223372036854775808.
int64_t ReadSignedDecimal64(const char* text);
// The text read the way the 32-bit runtime's atoi reads it: optional white space, then as
// ReadSignedDecimal.
plat::LONG ReadDecimal(const char* text);

// A text whose second character is "x" read as hexadecimal (an optional "0x", the low 32 bits kept,
// 0 when no digit follows); any other read as a decimal number after optional white space and a
// sign, up to the first non-digit, clamped to the 32-bit range.
plat::LONG ParseNumber(const char* text);

// From the second character on, a blank between single quotes becomes `c` and each single quote a
// blank, so a quoted phrase becomes one word. The first character is never changed.
void ReplaceQuotedBlanks(char* text, char c);
// Every blank becomes `c`.
void ReplaceBlanks(char* text, char c);
// Every `c` becomes a blank.
void CharToBlank(char* text, char c);
// Every `c` becomes `replacement`.
void ReplaceChar(char* text, char c, char replacement);
// Removes trailing blanks (0x20 only).
void TrimRight(char* text);
// Keeps only the characters that occur in `set`; a null text or set leaves the text unchanged.
void KeepCharacters(char* text, const char* set);

// Replaces every occurrence of `find` by `replacement`; the result keeps at most 1023 characters and
// at most size - 1 of them, and nothing is written at or beyond index size of the text. An empty or
// null search text, or size 0, leaves the text unchanged.
void ReplaceAll(char* text, plat::DWORD size, const char* find, const char* replacement);

// Decodes "&#ddd;", "&amp;", "&apos;", "&lt;", "&gt;" and "&quot;", each by its fixed length (the
// character that would end the name is consumed unread), drops TAB, LF and CR, and copies any other
// "&". A number is written as its low byte. An entity cut off by the end of the text ends there.
void DecodeXmlEntities(char* text);

// Source first: copies at most size - 1 characters of src and a terminator into dst, and zeroes
// dst[size] as well (dst must hold size + 1 bytes); src is read at most up to that bound.
void CopyAndTerminate(const char* src, char* dst, plat::DWORD size);

// Converts the first min(n, length(src)) units of src into at most n ANSI bytes in dst ("?" for a
// character the code page lacks) and terminates them there; dst must hold n + 1 bytes. A null src
// gives empty text.
void WideToAnsiBounded(const plat::WCHAR* src, char* dst, plat::DWORD n);

// 1 when the value is neither 0 nor 0xFFFFFFFF, else 0.
plat::BOOL IsValidHandle(plat::DWORD value);

// b - a, modulo 2 to the 32nd.
plat::DWORD Difference(plat::DWORD a, plat::DWORD b);

}  // namespace TOOLFUNC_string
