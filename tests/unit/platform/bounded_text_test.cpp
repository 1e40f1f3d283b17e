// Tests of the bounded text writes: every byte each call writes, and none past the size it is given.
#include "plat/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using plat::BoundedAppend;
using plat::BoundedCopy;
using plat::BoundedFormat;

constexpr size_t kBufferSize = 8;

enum class Write { kCopy, kAppend, kFormat };

struct Case {
  const char* name;
  Write write;
  std::string before;  // the buffer's bytes before the call, "#" beyond them
  size_t size;
  const char* text;   // the text copied or appended, or the argument of the format "<%s>"
  std::string after;  // all eight bytes of the buffer after the call
  size_t written;
};

std::string Bytes(const char* text, size_t count) { return std::string(text, count); }

TEST(BoundedTextTest, WritesAtMostSizeLessOneCharactersAndTheTerminator) {
  const Case cases[] = {
      {"copy fits", Write::kCopy, "", 8, "abc", Bytes("abc\0####", 8), 3},
      {"copy fills the buffer exactly", Write::kCopy, "", 4, "abc", Bytes("abc\0####", 8), 3},
      {"copy cut at the boundary", Write::kCopy, "", 3, "abc", Bytes("ab\0#####", 8), 2},
      {"copy into size 1", Write::kCopy, "", 1, "abc", Bytes("\0#######", 8), 0},
      {"copy into size 0", Write::kCopy, "", 0, "abc", "########", 0},
      {"copy of a null text", Write::kCopy, Bytes("xyz\0", 4), 8, nullptr, Bytes("\0yz\0####", 8), 0},
      {"copy replaces the text", Write::kCopy, Bytes("xyzw\0", 5), 8, "ab", Bytes("ab\0w\0###", 8), 2},
      {"append fits", Write::kAppend, Bytes("ab\0", 3), 8, "cd", Bytes("abcd\0###", 8), 2},
      {"append cut at the boundary", Write::kAppend, Bytes("ab\0", 3), 5, "cdef", Bytes("abcd\0###", 8), 2},
      {"append to a full buffer", Write::kAppend, Bytes("abcd\0", 5), 5, "e", Bytes("abcd\0###", 8), 0},
      {"append without a terminator within size", Write::kAppend, Bytes("abcd\0", 5), 3, "e",
       Bytes("abcd\0###", 8), 0},
      {"append into size 1", Write::kAppend, Bytes("\0", 1), 1, "a", Bytes("\0#######", 8), 0},
      {"append into size 0", Write::kAppend, Bytes("\0", 1), 0, "a", Bytes("\0#######", 8), 0},
      {"append of a null text", Write::kAppend, Bytes("ab\0", 3), 8, nullptr, Bytes("ab\0#####", 8), 0},
      {"format fits", Write::kFormat, "", 8, "ab", Bytes("<ab>\0###", 8), 4},
      {"format fills the buffer exactly", Write::kFormat, "", 5, "ab", Bytes("<ab>\0###", 8), 4},
      {"format cut at the boundary", Write::kFormat, "", 4, "ab", Bytes("<ab\0####", 8), 3},
      {"format into size 1", Write::kFormat, "", 1, "ab", Bytes("\0#######", 8), 0},
      {"format into size 0", Write::kFormat, "", 0, "ab", "########", 0},
  };
  for (const Case& c : cases) {
    std::string buffer = c.before + std::string(kBufferSize - c.before.size(), '#');
    size_t written = 0;
    switch (c.write) {
      case Write::kCopy:
        written = BoundedCopy(buffer.data(), c.size, c.text);
        break;
      case Write::kAppend:
        written = BoundedAppend(buffer.data(), c.size, c.text);
        break;
      case Write::kFormat:
        written = BoundedFormat(buffer.data(), c.size, "<%s>", c.text);
        break;
    }
    EXPECT_EQ(c.after, buffer) << c.name;
    EXPECT_EQ(c.written, written) << c.name;
  }
}

TEST(BoundedTextTest, SizeZeroTakesANullBuffer) {
  EXPECT_EQ(0u, BoundedCopy(nullptr, 0, "abc"));
  EXPECT_EQ(0u, BoundedAppend(nullptr, 0, "abc"));
  EXPECT_EQ(0u, BoundedFormat(nullptr, 0, "%s", "abc"));
}

// The source ends exactly at the end of its allocation; the sanitizer build reports any read past it.
TEST(BoundedTextTest, ASourceWithoutTerminatorIsReadOnlyUpToTheBound) {
  std::unique_ptr<char[]> source(new char[3]);
  std::memcpy(source.get(), "abc", 3);
  char buffer[kBufferSize];
  EXPECT_EQ(3u, BoundedCopy(buffer, 4, source.get()));
  EXPECT_STREQ("abc", buffer);
  EXPECT_EQ(0u, BoundedAppend(buffer, 4, source.get()));
  EXPECT_STREQ("abc", buffer);
}

}  // namespace
