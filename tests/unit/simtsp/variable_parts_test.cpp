// Tests of the variable parts behind a structure's fixed part and of the UTF-16 text placed there.
#include "variable_parts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(ToUtf16, ConvertsUtf8AndReplacesWhatIsNoText) {
  struct Case {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"Line 1", u"Line 1"},
      {"", u""},
      {"B\xC3\xBCro", u"B\u00FCro"},
      {"\xE2\x82\xAC 5", u"\u20AC 5"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"a\x80z", u"a\uFFFDz"},
      {"\xC3", u"\uFFFD"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate half
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
  };
  for (const Case& c : cases) EXPECT_EQ(c.utf16, simtsp::ToUtf16(c.utf8)) << c.utf8;
}

// A 16-byte fixed part in a buffer of `total` bytes, the rest marked so stray writes show.
struct Buffer {
  explicit Buffer(DWORD total) : bytes(64, 0xEE), totalSize(total) {}
  std::vector<unsigned char> bytes;
  DWORD totalSize;
};

TEST(VariableParts, PlacesTextsOneAfterAnotherBehindTheFixedPart) {
  Buffer buffer(64);
  simtsp::VariableParts parts(buffer.bytes.data(), buffer.totalSize, 16);
  DWORD size = 99, offset = 99;
  parts.AddText("ab", size, offset);
  EXPECT_EQ(6u, size);
  EXPECT_EQ(16u, offset);
  parts.AddText("", size, offset);
  EXPECT_EQ(2u, size);
  EXPECT_EQ(22u, offset);
  EXPECT_EQ(24u, parts.UsedSize());
  EXPECT_EQ(24u, parts.NeededSize());
  const unsigned char expected[] = {'a', 0, 'b', 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(expected, buffer.bytes.data() + 16, sizeof(expected)));
  EXPECT_EQ(0xEE, buffer.bytes[24]);
}

TEST(VariableParts, LeavesOutWhatDoesNotFitButCountsItAsNeeded) {
  struct Case {
    DWORD total;
    DWORD size;
    DWORD offset;
    DWORD used;
  } cases[] = {
      {22, 6, 16, 22},  // exactly fits
      {21, 0, 0, 16},
      {16, 0, 0, 16},
  };
  for (const Case& c : cases) {
    Buffer buffer(c.total);
    simtsp::VariableParts parts(buffer.bytes.data(), buffer.totalSize, 16);
    DWORD size = 99, offset = 99;
    parts.AddText("ab", size, offset);
    EXPECT_EQ(c.size, size) << c.total;
    EXPECT_EQ(c.offset, offset) << c.total;
    EXPECT_EQ(c.used, parts.UsedSize()) << c.total;
    EXPECT_EQ(22u, parts.NeededSize()) << c.total;
    EXPECT_EQ(0xEE, buffer.bytes[c.used]) << c.total;
  }
}

TEST(VariableParts, ASmallerPartStillFitsAfterALargerOneWasLeftOut) {
  Buffer buffer(20);
  simtsp::VariableParts parts(buffer.bytes.data(), buffer.totalSize, 16);
  DWORD size = 99, offset = 99;
  parts.AddText("abc", size, offset);
  EXPECT_EQ(0u, size);
  parts.AddText("x", size, offset);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(16u, offset);
  EXPECT_EQ(20u, parts.UsedSize());
  EXPECT_EQ(28u, parts.NeededSize());
}

}  // namespace
