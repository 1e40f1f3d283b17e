// Text tools of the tool library: bounded copies, ANSI/UTF-16 conversion, number filters, checksum.
#pragma once

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

}  // namespace TOOLFUNC_string
