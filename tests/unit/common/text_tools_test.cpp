// Tests of the extraction, number, replacement, decoding and bounded-copy text tools.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ToolFunktion.h"

using namespace TOOLFUNC_string;
using plat::DWORD;

namespace {

constexpr size_t kBufferSize = 48;
constexpr char kGuardByte = '\xCC';

std::string Guards(size_t count) { return std::string(count, kGuardByte); }

// The text followed by guard bytes up to kBufferSize, so a test sees every byte a tool wrote.
std::string Guarded(const std::string& text) {
  return text + std::string("\0", 1) + Guards(kBufferSize - text.size() - 1);
}

// A copy of the text in an allocation that ends right after its terminator; the sanitizer build
// reports any read or write past it.
std::unique_ptr<char[]> Exact(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

TEST(ClassifyNumberTest, FollowsTheCountryCodeTable) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"+1", 1},   {"+1234", 1}, {"+7", 1},  {"+79", 1},  {"+20", 2}, {"+27", 3},  {"+2", 3},
      {"+351", 3}, {"+37", 3},   {"+38", 3}, {"+33", 2},  {"+3", 2},  {"+420", 3}, {"+49", 2},
      {"+4", 2},   {"+50", 3},   {"+59", 3}, {"+55", 2},  {"+67", 3}, {"+68", 3},  {"+69", 3},
      {"+61", 2},  {"+80", 3},   {"+83", 3}, {"+852", 3}, {"+87", 3}, {"+88", 3},  {"+89", 3},
      {"+86", 2},  {"+81", 2},   {"+96", 3}, {"+97", 3},  {"+99", 3}, {"+91", 2},  {"+0", 3},
      {"+a1", 3},  {"+4a", 2},   {"+3-", 2}, {"0049", 3}, {"x1", 1},  {"+", 3},    {"", 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, ClassifyNumber(Exact(c.text).get())) << c.text;
  }
  EXPECT_EQ(3, ClassifyNumber(nullptr));
}

TEST(PackDigitPairsTest, SumsTheLowNibblesOfEachPairWithoutTerminator) {
  struct Case {
    std::string src;
    std::vector<unsigned char> expected;
  } cases[] = {
      {"1234", {3, 7}}, {"123", {3}}, {"9999", {18, 18}}, {"ab", {3}}, {"", {}},
  };
  for (const Case& c : cases) {
    std::vector<plat::BYTE> dst(8, 0xCC);
    PackDigitPairs(dst.data(), c.src.c_str());
    std::vector<unsigned char> expected = c.expected;
    expected.resize(8, 0xCC);
    EXPECT_EQ(expected, dst) << c.src;
  }
}

TEST(CutAtLineEndTest, EveryLineEndBecomesZero) {
  struct Case {
    std::string text;
    std::string bytes;  // the text's bytes with their terminator afterwards
  } cases[] = {
      {"ab\r\ncd", std::string("ab\0\0cd\0", 7)},
      {"x\ry\nz", std::string("x\0y\0z\0", 6)},
      {"\nx", std::string("\0x\0", 3)},
      {"abc", std::string("abc\0", 4)},
      {"", std::string("\0", 1)},
  };
  for (const Case& c : cases) {
    std::string buffer = Guarded(c.text);
    CutAtLineEnd(buffer.data());
    EXPECT_EQ(c.bytes + Guards(kBufferSize - c.bytes.size()), buffer);
  }
}

TEST(ExtractTest, ReturnsTheTextBetweenPatternAndEndMarker) {
  using Extractor = const char* (*)(const char*, const char*);
  const std::string name28(28, 'n');
  const std::string name29(29, 'n');
  const std::string keyword105(105, 'k');
  const std::string keyword106(106, 'k');
  const std::string value200(200, 'v');
  const std::string value1500(1500, 'w');
  struct Case {
    const char* tool;
    Extractor extract;
    std::string text;
    std::string name;
    std::string expected;
  } cases[] = {
      {"tag", GetTagValue, "<a>1</a><a>2</a>", "a", "1"},
      {"tag", GetTagValue, "pre <num>0301234</num> post", "num", "0301234"},
      {"tag", GetTagValue, "<a>open", "a", ""},
      {"tag", GetTagValue, "<b>x</b>", "a", ""},
      {"tag", GetTagValue, "<A>x</A>", "a", ""},
      {"tag", GetTagValue, "<a></a>", "a", ""},
      {"tag", GetTagValue, "<a>x</b>", "a", "x"},
      {"tag", GetTagValue, "</<a>v</a>", "a", "v"},
      {"tag", GetTagValue, "<a>" + value200 + "</a>", "a", value200.substr(0, 126)},
      {"tag", GetTagValue, "<a>" + value200.substr(0, 126) + "</a>", "a", value200.substr(0, 126)},
      {"tag", GetTagValue, "<" + name28 + ">v</" + name28 + ">", name28, "v"},
      // The pattern has room for 30 characters: a longer name loses the ">".
      {"tag", GetTagValue, "<" + name29 + ">v</" + name29 + ">", name29, ">v"},
      {"attribute", GetAttributeValue, "<id=42/>", "id", "42"},
      {"attribute", GetAttributeValue, "<item id=42/>", "id", ""},
      {"attribute", GetAttributeValue, "<id=4/2/>", "id", "4/2"},
      {"attribute", GetAttributeValue, "<id=42>", "id", ""},
      {"attribute", GetAttributeValue, "<id=" + value200 + "/>", "id", value200.substr(0, 126)},
      {"calldata", GetCallDataValue, "<calldata keyword=\"caller\">Alex</calldata>", "caller", "Alex"},
      {"calldata", GetCallDataValue, "<calldata keyword=\"caller\">Alex</call>", "caller", ""},
      {"calldata", GetCallDataValue, "<calldata keyword=\"Caller\">Alex</calldata>", "caller", ""},
      {"calldata", GetCallDataValue, "<calldata keyword=\"a\">x</y></calldata>", "a", "x</y>"},
      {"calldata", GetCallDataValue, "<calldata keyword=\"" + keyword105 + "\">v</calldata>", keyword105,
       "v"},
      {"calldata", GetCallDataValue, "<calldata keyword=\"" + keyword106 + "\">v</calldata>", keyword106,
       ">v"},
      {"calldata", GetCallDataValue, "<calldata keyword=\"a\">" + value1500 + "</calldata>", "a",
       value1500.substr(0, 1022)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, std::string(c.extract(c.text.c_str(), c.name.c_str()))) << c.tool << " " << c.text;
  }
}

TEST(ExtractTest, EachToolRewritesOnlyItsOwnBuffer) {
  const char* tag = GetTagValue("<a>first</a>", "a");
  const char* attribute = GetAttributeValue("<id=7/>", "id");
  const char* callData = GetCallDataValue("<calldata keyword=\"k\">data</calldata>", "k");
  EXPECT_STREQ("first", tag);
  EXPECT_STREQ("7", attribute);
  EXPECT_STREQ("data", callData);

  EXPECT_EQ(tag, GetTagValue("<a>second</a>", "a"));
  EXPECT_STREQ("second", tag);
  EXPECT_EQ(tag, GetTagValue("no tag here", "a"));
  EXPECT_STREQ("", tag);
  EXPECT_STREQ("7", attribute);
  EXPECT_STREQ("data", callData);

  EXPECT_STREQ("", GetTagValue(nullptr, "a"));
  EXPECT_STREQ("", GetAttributeValue("<id=7/>", nullptr));
  EXPECT_STREQ("", GetCallDataValue(nullptr, nullptr));
}

TEST(ParseNumberTest, ReadsHexadecimalAfterAnXElseDecimal) {
  struct Case {
    const char* text;
    plat::LONG expected;
  } cases[] = {
      {"0x1F", 31},
      {"0X1F", 0},
      {"123abc", 123},
      {"7", 7},
      {"0xff", 255},
      {"0xFFFFFFFF", -1},
      {"0x123456789", 0x23456789},  // only the low 32 bits
      {"0xZZ", 0},
      {"0x", 0},
      {"1x5", 1},
      {"  -42", -42},
      {"\t+5", 5},
      {"- 5", 0},
      {"2147483647", 2147483647},
      {"99999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999", -2147483647 - 1},
      {"x", 0},
      {"abc", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, ParseNumber(Exact(c.text).get())) << c.text;
  }
}

// The readers follow the runtime's atoi family: a value beyond the range stops at its limit, it never
// wraps through a wider type. Only atoi's read skips white space.
TEST(ReadDecimalTest, SaturatesAtTheLimitsOfItsWidth) {
  constexpr int64_t kMax64 = 9223372036854775807;
  constexpr int64_t kMin64 = -kMax64 - 1;
  struct Case {
    const char* text;
    plat::LONG expected32;
    int64_t expected64;
    plat::LONG expectedAtoi;
  } cases[] = {
      {"0", 0, 0, 0},
      {"-0", 0, 0, 0},
      {"+17", 17, 17, 17},
      {" \t\n\v\f\r-42", 0, 0, -42},
      {"2147483647", 2147483647, 2147483647, 2147483647},
      {"2147483648", 2147483647, 2147483648, 2147483647},
      {"-2147483648", -2147483647 - 1, -2147483648LL, -2147483647 - 1},
      {"-2147483649", -2147483647 - 1, -2147483649LL, -2147483647 - 1},
      {"4294967297", 2147483647, 4294967297LL, 2147483647},
      {"-4294967297", -2147483647 - 1, -4294967297LL, -2147483647 - 1},
      {"9223372036854775807", 2147483647, kMax64, 2147483647},
      {"9223372036854775808", 2147483647, kMax64, 2147483647},
      {"-9223372036854775808", -2147483647 - 1, kMin64, -2147483647 - 1},
      {"-9223372036854775809", -2147483647 - 1, kMin64, -2147483647 - 1},
      {"18446744073709551623", 2147483647, kMax64, 2147483647},
      {"-18446744073709551623", -2147483647 - 1, kMin64, -2147483647 - 1},
      {"000000000000000000000000000012", 12, 12, 12},
      {"3000000000", 2147483647, 3000000000LL, 2147483647},
      {"123abc", 123, 123, 123},
      {"99999999999999999999999x", 2147483647, kMax64, 2147483647},
      {"12 34", 12, 12, 12},
      {"- 5", 0, 0, 0},
      {"+-5", 0, 0, 0},
      {"0x10", 0, 0, 0},
      {"abc", 0, 0, 0},
      {"-", 0, 0, 0},
      {"", 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected32, ReadSignedDecimal(Exact(c.text).get())) << c.text;
    EXPECT_EQ(c.expected64, ReadSignedDecimal64(Exact(c.text).get())) << c.text;
    EXPECT_EQ(c.expectedAtoi, ReadDecimal(Exact(c.text).get())) << c.text;
  }
}

TEST(ReplacerTest, ChangeCharactersInPlace) {
  struct Case {
    const char* tool;
    void (*run)(char*);
    std::string text;
    std::string bytes;  // the text's bytes after the call, with the terminator
  } cases[] = {
      {"ReplaceQuotedBlanks", [](char* t) { ReplaceQuotedBlanks(t, '_'); }, "X 'a b'",
       std::string("X  a_b \0", 8)},
      {"ReplaceQuotedBlanks", [](char* t) { ReplaceQuotedBlanks(t, '_'); }, "'a b'",
       std::string("'a b \0", 6)},
      {"ReplaceQuotedBlanks", [](char* t) { ReplaceQuotedBlanks(t, '_'); }, "a 'b c d",
       std::string("a  b_c_d\0", 9)},
      {"ReplaceQuotedBlanks", [](char* t) { ReplaceQuotedBlanks(t, '_'); }, "a 'b' c 'd e'",
       std::string("a  b  c  d_e \0", 14)},
      {"ReplaceQuotedBlanks", [](char* t) { ReplaceQuotedBlanks(t, '_'); }, "'", std::string("'\0", 2)},
      {"ReplaceBlanks", [](char* t) { ReplaceBlanks(t, '_'); }, "a b  c ", std::string("a_b__c_\0", 8)},
      {"CharToBlank", [](char* t) { CharToBlank(t, ','); }, "a,b,,c", std::string("a b  c\0", 7)},
      {"ReplaceChar", [](char* t) { ReplaceChar(t, '.', '-'); }, "a.b.c", std::string("a-b-c\0", 6)},
      {"ReplaceChar", [](char* t) { ReplaceChar(t, '.', '\0'); }, "a.b.c", std::string("a\0b\0c\0", 6)},
      {"TrimRight", TrimRight, "   ", std::string("\0  \0", 4)},
      {"TrimRight", TrimRight, "ab  ", std::string("ab\0 \0", 5)},
      {"TrimRight", TrimRight, " a b\t", std::string(" a b\t\0", 6)},
      {"KeepCharacters", [](char* t) { KeepCharacters(t, "123"); }, "a1b2c3",
       std::string("123\0"
                   "c3\0",
                   7)},
      {"KeepCharacters", [](char* t) { KeepCharacters(t, ""); }, "ab", std::string("\0b\0", 3)},
      {"KeepCharacters", [](char* t) { KeepCharacters(t, nullptr); }, "ab", std::string("ab\0", 3)},
  };
  for (const Case& c : cases) {
    std::string buffer = Guarded(c.text);
    c.run(buffer.data());
    EXPECT_EQ(c.bytes + Guards(kBufferSize - c.bytes.size()), buffer) << c.tool << " " << c.text;
  }
  // Empty texts, each in an allocation of exactly one byte.
  for (void (*run)(char*) :
       {+[](char* t) { ReplaceQuotedBlanks(t, '_'); }, +[](char* t) { ReplaceBlanks(t, '_'); },
        +[](char* t) { ReplaceChar(t, 'a', 'b'); }, TrimRight, +[](char* t) { KeepCharacters(t, "a"); }}) {
    std::unique_ptr<char[]> empty = Exact("");
    run(empty.get());
    EXPECT_EQ('\0', empty[0]);
  }
  KeepCharacters(nullptr, "a");
}

TEST(ReplaceAllTest, ReplacesEveryOccurrenceWithinTheBuffer) {
  struct Case {
    std::string text;
    DWORD size;
    const char* find;
    const char* replacement;
    std::string expected;
  } cases[] = {
      {"a-b-c", 40, "-", "+", "a+b+c"},
      {"aaa", 40, "a", "bb", "bbbbbb"},
      {"aaaa", 40, "aa", "b", "bb"},
      {"abcabc", 40, "abc", "", ""},
      {"hello", 40, "xyz", "q", "hello"},
      {"ab", 40, "abc", "q", "ab"},
      {"one two", 40, "two", "three", "one three"},
      {"one two", 6, "two", "three", "one t"},
      {"one two", 1, "two", "three", ""},
      {"one two", 0, "two", "three", "one two"},
      {"one two", 40, "", "x", "one two"},
      {"one two", 40, nullptr, "x", "one two"},
  };
  for (const Case& c : cases) {
    std::string buffer = Guarded(c.text);
    const std::string before = buffer;
    ReplaceAll(buffer.data(), c.size, c.find, c.replacement);
    EXPECT_STREQ(c.expected.c_str(), buffer.c_str()) << c.text << " size " << c.size;
    // Nothing at or beyond index size is written.
    EXPECT_EQ(before.substr(c.size), buffer.substr(c.size)) << c.text << " size " << c.size;
  }
}

// Replacements are appended with a capacity of 1023 (1022 characters); copied characters fill up to 1023.
TEST(ReplaceAllTest, KeepsAtMost1022CharactersOfReplacementsAnd1023Copied) {
  struct Case {
    std::string text;
    const char* find;
    const char* replacement;
    std::string expected;
  } cases[] = {
      {std::string(600, 'a'), "a", "bb", std::string(1022, 'b')},
      {std::string(1021, 'x') + "a", "a", "yz", std::string(1021, 'x') + "y"},
      {std::string(1022, 'x') + "a", "a", "yz", std::string(1022, 'x')},
      {std::string(1022, 'x') + "ab", "a", "yz", std::string(1022, 'x') + "b"},
      {std::string(1500, 'x'), "a", "b", std::string(1023, 'x')},
  };
  for (const Case& c : cases) {
    std::vector<char> buffer(2048, kGuardByte);
    std::memcpy(buffer.data(), c.text.c_str(), c.text.size() + 1);
    ReplaceAll(buffer.data(), 2048, c.find, c.replacement);
    EXPECT_EQ(c.expected, std::string(buffer.data()));
  }
}

TEST(DecodeXmlEntitiesTest, DecodesByFixedLengthsAndDropsLineCharacters) {
  struct Case {
    std::string text;
    std::string bytes;  // the decoded bytes, up to and including the terminator written
  } cases[] = {
      {"&lt;a&gt;", std::string("<a>\0", 4)},
      {"&#065;", std::string("A\0", 2)},
      {"& ", std::string("& \0", 3)},
      {"a\r\nb\tc", std::string("abc\0", 4)},
      {"&amp;&apos;&quot;", std::string("&'\"\0", 4)},
      {"&#65;B", std::string("A\0", 2)},  // the fixed length eats the character after a short number
      {"&#321;", std::string("A\0", 2)},  // a number is written as its low byte
      {"&ampX", std::string("&\0", 2)},   // the character after the name is consumed unread
      {"&foo;", std::string("&foo;\0", 6)},
      {"&&lt;", std::string("&<\0", 3)},
      {"&#000;x", std::string("\0x\0", 3)},
      {"x &lt;\r\n&gt;", std::string("x <>\0", 5)},
  };
  for (const Case& c : cases) {
    std::string buffer = Guarded(c.text);
    DecodeXmlEntities(buffer.data());
    EXPECT_EQ(c.bytes, buffer.substr(0, c.bytes.size())) << c.text;
    EXPECT_EQ(Guards(kBufferSize - c.text.size() - 1), buffer.substr(c.text.size() + 1)) << c.text;
  }
}

// Each text ends in the middle of an entity, in an allocation that ends at its terminator.
TEST(DecodeXmlEntitiesTest, AnEntityCutOffByTheEndEndsTheText) {
  struct Case {
    const char* text;
    std::string expected;
  } cases[] = {
      {"x&amp", "x&"},   {"x&apos", "x'"},  {"&lt", "<"}, {"&gt", ">"},
      {"a&quot", "a\""}, {"x&#6", "x\x06"}, {"x&", "x&"}, {"&#", ""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<char[]> text = Exact(c.text);
    DecodeXmlEntities(text.get());
    EXPECT_EQ(c.expected, std::string(text.get())) << c.text;
  }
}

TEST(CopyAndTerminateTest, TakesTheSourceFirstAndZeroesIndexSize) {
  const std::string ten = "0123456789";
  struct Case {
    DWORD size;
    std::string written;  // every byte the copy must write, from index 0 to index size
  } cases[] = {
      {0, std::string("\0", 1)},          {1, std::string("\0\0", 2)},
      {5, std::string("0123\0\0", 6)},    {10, ten.substr(0, 9) + std::string("\0\0", 2)},
      {11, ten + std::string("\0\0", 2)}, {20, ten + std::string("\0", 1) + Guards(9) + std::string("\0", 1)},
  };
  for (const Case& c : cases) {
    std::string dst(kBufferSize, kGuardByte);
    CopyAndTerminate(ten.c_str(), dst.data(), c.size);
    EXPECT_EQ(c.written + Guards(kBufferSize - c.written.size()), dst) << "size " << c.size;
  }
  // A source without a terminator is read only up to size - 1 characters.
  std::unique_ptr<char[]> unterminated(new char[4]);
  std::memcpy(unterminated.get(), "abcd", 4);
  std::string dst(kBufferSize, kGuardByte);
  CopyAndTerminate(unterminated.get(), dst.data(), 5);
  EXPECT_EQ(std::string("abcd\0\0", 6) + Guards(kBufferSize - 6), dst);
}

TEST(WideToAnsiBoundedTest, ConvertsAtMostNCharactersAndTerminatesThem) {
  struct Case {
    const char16_t* src;
    DWORD n;
    std::string written;
  } cases[] = {
      {u"Hello", 3, std::string("Hel\0", 4)},
      {u"Hello", 5, std::string("Hello\0", 6)},
      {u"Hello", 9, std::string("Hello\0", 6)},  // nothing at index n when the source is shorter
      {u"Hello", 0, std::string("\0", 1)},
      {u"", 4, std::string("\0", 1)},
      {nullptr, 4, std::string("\0", 1)},
      {u"\u20ACx\u00E4", 8, std::string("\x80x\xE4\0", 4)},
      {u"a\u0100b", 8, std::string("a?b\0", 4)},
      {u"a\xD83D\xDE00z", 8, std::string("a?z\0", 4)},  // a surrogate pair is one character
  };
  for (const Case& c : cases) {
    std::string dst(kBufferSize, kGuardByte);
    WideToAnsiBounded(c.src, dst.data(), c.n);
    EXPECT_EQ(c.written + Guards(kBufferSize - c.written.size()), dst) << "n " << c.n;
  }
  std::unique_ptr<char16_t[]> unterminated(new char16_t[5]);
  std::memcpy(unterminated.get(), u"abcde", 5 * sizeof(char16_t));
  std::string dst(kBufferSize, kGuardByte);
  WideToAnsiBounded(unterminated.get(), dst.data(), 5);
  EXPECT_EQ(std::string("abcde\0", 6) + Guards(kBufferSize - 6), dst);
}

TEST(NumberToolsTest, IsValidHandleAndDifference) {
  struct HandleCase {
    DWORD value;
    plat::BOOL expected;
  } handles[] = {{0, 0}, {0xFFFFFFFF, 0}, {1, 1}, {0xFFFFFFFE, 1}, {0x80000000, 1}};
  for (const HandleCase& c : handles) EXPECT_EQ(c.expected, IsValidHandle(c.value)) << c.value;

  struct DifferenceCase {
    DWORD a;
    DWORD b;
    DWORD expected;
  } differences[] = {
      {5, 3, 0xFFFFFFFE}, {3, 5, 2}, {0xFFFFFFFF, 0, 1}, {7, 7, 0}, {0, 0xFFFFFFFF, 0xFFFFFFFF}};
  for (const DifferenceCase& c : differences)
    EXPECT_EQ(c.expected, Difference(c.a, c.b)) << c.a << " " << c.b;
}

}  // namespace
