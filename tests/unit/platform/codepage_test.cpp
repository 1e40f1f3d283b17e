// Tests of the conversions between the ANSI code page and UTF-16.
#include "plat/codepage.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

#include "plat/error.h"

using namespace plat;

namespace {

constexpr char kGuardByte = static_cast<char>(0xCC);
constexpr WCHAR kGuardUnit = 0xCCCC;

class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLastError(0);
    bytes.fill(kGuardByte);
    units.fill(kGuardUnit);
  }
  std::array<char, 16> bytes;
  std::array<WCHAR, 16> units;
};

struct Pair {
  unsigned char byte;
  WCHAR unit;
};

// Both ends of the 0x80-0x9F block, the undefined bytes and Latin-1 on either side of it.
const Pair kPairs[] = {
    {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x8A, 0x0160},
    {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x93, 0x201C}, {0x99, 0x2122}, {0x9D, 0x009D},
    {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xE4, 0x00E4}, {0xFF, 0x00FF},
};

TEST_F(CodePageTest, BytesBecomeTheirWindows1252Units) {
  for (const Pair& p : kPairs) {
    const char src = static_cast<char>(p.byte);
    units.fill(kGuardUnit);
    EXPECT_EQ(1, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, &src, 1, units.data(), 4)) << +p.byte;
    EXPECT_EQ(p.unit, units[0]) << +p.byte;
    EXPECT_EQ(kGuardUnit, units[1]) << +p.byte;
  }
}

TEST_F(CodePageTest, UnitsBecomeTheirWindows1252BytesWithoutDefault) {
  for (const Pair& p : kPairs) {
    BOOL usedDefault = TRUE;
    bytes.fill(kGuardByte);
    EXPECT_EQ(1, WideCharToMultiByte(CP_ACP, 0, &p.unit, 1, bytes.data(), 4, nullptr, &usedDefault))
        << p.unit;
    EXPECT_EQ(p.byte, static_cast<unsigned char>(bytes[0])) << p.unit;
    EXPECT_EQ(kGuardByte, bytes[1]) << p.unit;
    EXPECT_EQ(FALSE, usedDefault) << p.unit;
  }
}

TEST_F(CodePageTest, EveryByteSurvivesTheRoundTripThroughDistinctUnits) {
  std::set<WCHAR> seen;
  for (int value = 1; value < 256; ++value) {
    const char src = static_cast<char>(value);
    WCHAR unit = 0;
    ASSERT_EQ(1, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, &src, 1, &unit, 1)) << value;
    EXPECT_TRUE(seen.insert(unit).second) << value;
    char back = 0;
    ASSERT_EQ(1, WideCharToMultiByte(CP_ACP, 0, &unit, 1, &back, 1, nullptr, nullptr)) << value;
    EXPECT_EQ(src, back) << value;
  }
}

TEST_F(CodePageTest, AsciiTextRoundTripsWithItsTerminator) {
  const char text[] = "Dial 0301234 #*+";
  std::array<WCHAR, 32> wide;
  wide.fill(kGuardUnit);
  ASSERT_EQ(17, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide.data(), 32));
  EXPECT_EQ(std::u16string(u"Dial 0301234 #*+"), std::u16string(wide.data()));
  EXPECT_EQ(kGuardUnit, wide[17]);

  std::array<char, 32> narrow;
  narrow.fill(kGuardByte);
  ASSERT_EQ(17, WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, narrow.data(), 32, nullptr, nullptr));
  EXPECT_STREQ(text, narrow.data());
  EXPECT_EQ(kGuardByte, narrow[17]);
}

TEST_F(CodePageTest, UnitsWithoutAByteBecomeTheDefaultCharacter) {
  struct Case {
    std::u16string src;
    const char* defaultChar;
    std::string expected;
  } cases[] = {
      {u"a\u0100b", nullptr, "a?b"},  // Latin Extended-A
      {u"\u0080", nullptr, "?"},      // a C1 control that 0x80 does not stand for
      {u"x\u4E2D\uFFFD", nullptr, "x??"},
      {u"\u0100\u20AC", "*", "*\x80"},  // only the first byte of the default is used
      {u"\u0100", "#?", "#"},
      {u"\xD83D\xDE00", nullptr, "?"},   // a surrogate pair is one character
      {u"a\xD800-", nullptr, "a?-"},     // high surrogate without its low one
      {u"\xDC00\xD800", nullptr, "??"},  // low before high is no pair
      {u"\xD800\xD800\xDC00", nullptr, "??"},
  };
  for (const Case& c : cases) {
    bytes.fill(kGuardByte);
    BOOL usedDefault = FALSE;
    const int count = static_cast<int>(c.src.size());
    const int written =
        WideCharToMultiByte(CP_ACP, 0, c.src.data(), count, bytes.data(), 16, c.defaultChar, &usedDefault);
    ASSERT_EQ(static_cast<int>(c.expected.size()), written) << c.expected;
    EXPECT_EQ(c.expected, std::string(bytes.data(), written));
    EXPECT_EQ(kGuardByte, bytes[written]) << c.expected;
    EXPECT_EQ(TRUE, usedDefault) << c.expected;
  }
}

TEST_F(CodePageTest, APairCutByTheCountIsALoneSurrogate) {
  const WCHAR src[] = {u'a', 0xD83D, 0xDE00};
  ASSERT_EQ(2, WideCharToMultiByte(CP_ACP, 0, src, 2, bytes.data(), 16, nullptr, nullptr));
  EXPECT_EQ("a?", std::string(bytes.data(), 2));
  EXPECT_EQ(kGuardByte, bytes[2]);
}

TEST_F(CodePageTest, AnExplicitCountConvertsExactlyThatManyIncludingNuls) {
  const char narrow[] = {'a', '\0', 'b', 'c'};
  ASSERT_EQ(3, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, narrow, 3, units.data(), 16));
  EXPECT_EQ(std::u16string(u"a\0b", 3), std::u16string(units.data(), 3));
  EXPECT_EQ(kGuardUnit, units[3]);

  const WCHAR wide[] = {u'a', 0, u'b', u'c'};
  ASSERT_EQ(3, WideCharToMultiByte(CP_ACP, 0, wide, 3, bytes.data(), 16, nullptr, nullptr));
  EXPECT_EQ(std::string("a\0b", 3), std::string(bytes.data(), 3));
  EXPECT_EQ(kGuardByte, bytes[3]);
}

TEST_F(CodePageTest, ADestinationSizeOfZeroReportsTheSizeAndWritesNothing) {
  EXPECT_EQ(6, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "\x80uro!", -1, nullptr, 0));
  EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abcdef", 3, units.data(), 0));
  EXPECT_EQ(kGuardUnit, units[0]);
  // The pair needs one byte only.
  EXPECT_EQ(4, WideCharToMultiByte(CP_ACP, 0, u"a\xD83D\xDE00-", -1, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(2, WideCharToMultiByte(CP_ACP, 0, u"\u20ACx", 2, bytes.data(), 0, nullptr, nullptr));
  EXPECT_EQ(kGuardByte, bytes[0]);
  EXPECT_EQ(0u, GetLastError());
}

TEST_F(CodePageTest, ATooSmallDestinationGetsWhatFitsAndTheCallFails) {
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "abcdef", -1, units.data(), 3));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(std::u16string(u"abc"), std::u16string(units.data(), 3));
  EXPECT_EQ(kGuardUnit, units[3]);

  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, u"abcdef", 6, bytes.data(), 5, nullptr, nullptr));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ("abcde", std::string(bytes.data(), 5));
  EXPECT_EQ(kGuardByte, bytes[5]);

  // The terminator is part of what must fit.
  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, u"abc", -1, bytes.data(), 3, nullptr, nullptr));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
}

TEST_F(CodePageTest, BadArgumentsFailWithInvalidParameter) {
  char narrowSrc[4] = "abc";
  WCHAR wideSrc[4] = u"abc";
  enum class Destination { kOwn, kNull, kTheSource };
  struct Case {
    const char* what;
    UINT codePage;
    bool nullSource;
    int srcCount;
    int dstCount;
    Destination destination;
  } cases[] = {
      {"OEM code page", 437, false, 3, 8, Destination::kOwn},
      {"UTF-8", 65001, false, 3, 8, Destination::kOwn},
      {"CP_OEMCP", 1, false, 3, 8, Destination::kOwn},
      {"null source", CP_ACP, true, 3, 8, Destination::kOwn},
      {"null source, size query", CP_ACP, true, -1, 0, Destination::kNull},
      {"empty source", CP_ACP, false, 0, 8, Destination::kOwn},
      {"source count below -1", CP_ACP, false, -2, 8, Destination::kOwn},
      {"negative destination size", CP_ACP, false, 3, -1, Destination::kOwn},
      {"null destination with a size", CP_ACP, false, 3, 8, Destination::kNull},
      {"source is destination", CP_ACP, false, 3, 4, Destination::kTheSource},
  };
  for (const Case& c : cases) {
    const char* narrow = c.nullSource ? nullptr : narrowSrc;
    const WCHAR* wide = c.nullSource ? nullptr : wideSrc;
    WCHAR* wideDst = units.data();
    char* narrowDst = bytes.data();
    if (c.destination == Destination::kNull) {
      wideDst = nullptr;
      narrowDst = nullptr;
    } else if (c.destination == Destination::kTheSource) {
      wideDst = reinterpret_cast<WCHAR*>(narrowSrc);
      narrowDst = reinterpret_cast<char*>(wideSrc);
    }

    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(c.codePage, MB_PRECOMPOSED, narrow, c.srcCount, wideDst, c.dstCount))
        << c.what;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError()) << c.what;
    SetLastError(0);
    EXPECT_EQ(0,
              WideCharToMultiByte(c.codePage, 0, wide, c.srcCount, narrowDst, c.dstCount, nullptr, nullptr))
        << c.what;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError()) << c.what;
  }
  EXPECT_EQ(kGuardByte, bytes[0]);
  EXPECT_EQ(kGuardUnit, units[0]);
  EXPECT_STREQ("abc", narrowSrc);
  EXPECT_EQ(std::u16string(u"abc"), std::u16string(wideSrc));
}

TEST(Codepage, CompareTextsWithoutCase) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"customers", "CUSTOMERS", 0},
      {"", "", 0},
      {"\xC4pfel", "\xE4PFEL", 0},  // capital and small a with diaeresis
      {"\x8A", "\x9A", 0},          // s with caron
      {"\x9F", "\xFF", 0},          // y with diaeresis
      {"\xD7", "\xF7", -1},         // multiplication and division signs are no letters
      {"abc", "abd", -1},
      {"abc", "ab", 1},
      {"a", "B", -1},  // ordered without case, unlike the bytes
      {"Zeta", "alpha", 1},
      {nullptr, "", 0},
  };
  for (const Case& c : cases) {
    const int result = plat::lstrcmpiA(c.a, c.b);
    EXPECT_EQ(c.sign, (result > 0) - (result < 0)) << (c.a ? c.a : "(null)") << " / " << c.b;
  }
}

}  // namespace
