// Tests of the text tools: bounded copies, conversions, number filters and the change checksum.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "ToolFunktion.h"

using namespace TOOLFUNC_string;
using plat::DWORD;

namespace {

constexpr DWORD kWholeText = 0xFFFFFFFF;
constexpr size_t kBufferSize = 48;
constexpr char kGuardByte = '\xCC';
constexpr char16_t kGuardUnit = 0xCCCC;

// A destination whose every byte a call does not write keeps the guard value, so the test can
// compare the whole buffer with the exact bytes the call had to write.
std::string GuardedBytes() { return std::string(kBufferSize, kGuardByte); }
std::u16string GuardedUnits() { return std::u16string(kBufferSize, kGuardUnit); }

// The whole buffer as it must look: `written` at its start, guard values after.
std::string ExpectedBytes(const std::string& written) {
  return written + std::string(kBufferSize - written.size(), kGuardByte);
}
std::u16string ExpectedUnits(const std::u16string& written) {
  return written + std::u16string(kBufferSize - written.size(), kGuardUnit);
}

std::string Guards(size_t count) { return std::string(count, kGuardByte); }

TEST(CopyBoundedTest, CopiesAtMostNMinusOneCharactersAndZeroesTheByteAfterThem) {
  using Copy = char* (*)(char*, const char*, DWORD);
  const std::string ten = "0123456789";
  struct Case {
    std::string src;
    DWORD n;
    std::string written;  // every byte the copy must write, in order
  } cases[] = {
      {ten, 0, std::string("\0", 1)},           {ten, 1, std::string("\0\0", 2)},
      {ten, 2, std::string("0\0\0", 3)},        {ten, 10, ten.substr(0, 9) + std::string("\0\0", 2)},
      {ten, 11, ten + std::string("\0\0", 2)},  {ten, 12, ten + std::string("\0\0", 2)},
      {ten, 100, ten + std::string("\0\0", 2)}, {ten, kWholeText, ten + std::string("\0\0", 2)},
      {"", 5, std::string("\0\0", 2)},
  };
  for (Copy copy : {Copy{CopyBounded}, Copy{CopyText}}) {
    for (const Case& c : cases) {
      std::string dst = GuardedBytes();
      EXPECT_EQ(dst.data(), copy(dst.data(), c.src.c_str(), c.n));
      EXPECT_EQ(ExpectedBytes(c.written), dst) << "n " << c.n;
    }
  }
}

TEST(WideToAnsiTest, ConvertsTheBoundedTextAndZeroesIndexN) {
  const std::u16string hello = u"Hello";
  struct Case {
    const char16_t* src;
    DWORD n;
    std::string written;
  } cases[] = {
      {nullptr, 3, std::string("\0", 1) + Guards(2) + std::string("\0", 1)},
      {nullptr, 0, std::string("\0", 1)},
      {nullptr, kWholeText, std::string("\0", 1)},
      {hello.c_str(), 3, std::string("Hel\0", 4)},
      {hello.c_str(), 5, std::string("Hello\0", 6)},
      {hello.c_str(), 6, std::string("Hello\0\0", 7)},
      {hello.c_str(), 9, std::string("Hello\0", 6) + Guards(3) + std::string("\0", 1)},
      {hello.c_str(), 0, std::string("\0", 1)},
      {hello.c_str(), kWholeText, std::string("Hello\0", 6)},
      {u"", 2, std::string("\0", 1) + Guards(1) + std::string("\0", 1)},
      {u"\u20ACx\u00E4", kWholeText, std::string("\x80x\xE4\0", 4)},
      {u"a\u0100b", kWholeText, std::string("a?b\0", 4)},
      // A surrogate pair gives one byte; the text ends right after it, not at a stale byte.
      {u"a\xD83D\xDE00z", 3, std::string("a?\0\0", 4)},
      {u"a\xD83D\xDE00z", kWholeText, std::string("a?z\0\0", 5)},
  };
  for (const Case& c : cases) {
    std::string dst = GuardedBytes();
    EXPECT_EQ(dst.data(), WideToAnsi(dst.data(), c.src, c.n));
    EXPECT_EQ(ExpectedBytes(c.written), dst) << "n " << c.n;
  }
}

TEST(AnsiToWideTest, ConvertsTheBoundedTextAndZeroesIndexN) {
  const std::string forty = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  struct Case {
    std::string src;
    DWORD n;
    std::u16string written;
  } cases[] = {
      {forty, 31, u"0123456789abcdefghijklmnopqrstu" + std::u16string(1, 0)},
      {"abc", 2, std::u16string(u"ab\0", 3)},
      {"abc", 3, std::u16string(u"abc\0", 4)},
      {"abc", 4, std::u16string(u"abc\0\0", 5)},
      {"abc", 6, std::u16string(u"abc\0", 4) + std::u16string(2, kGuardUnit) + std::u16string(1, 0)},
      {"abc", 0, std::u16string(1, 0)},
      {"abc", kWholeText, std::u16string(u"abc\0", 4)},
      {"\x80\xE4\x81", kWholeText, std::u16string(u"\u20AC\u00E4\u0081\0", 4)},
  };
  for (const Case& c : cases) {
    std::u16string dst = GuardedUnits();
    EXPECT_EQ(dst.data(), AnsiToWide(dst.data(), c.src.c_str(), c.n));
    EXPECT_EQ(ExpectedUnits(c.written), dst) << "n " << c.n;
  }
}

// Each source ends exactly at the end of its own allocation, without a terminator; the sanitizer
// build reports any read past it.
TEST(BoundedSourceTest, ASourceWithoutTerminatorIsNotReadPastN) {
  constexpr DWORD n = 5;
  std::unique_ptr<char[]> narrow(new char[n]);
  std::memcpy(narrow.get(), "abcde", n);
  std::unique_ptr<char16_t[]> wide(new char16_t[n]);
  std::memcpy(wide.get(), u"abcde", n * sizeof(char16_t));

  std::string bytes = GuardedBytes();
  CopyBounded(bytes.data(), narrow.get(), n);
  EXPECT_EQ(ExpectedBytes(std::string("abcd\0\0", 6)), bytes);

  bytes = GuardedBytes();
  WideToAnsi(bytes.data(), wide.get(), n);
  EXPECT_EQ(ExpectedBytes(std::string("abcde\0", 6)), bytes);

  std::u16string units = GuardedUnits();
  AnsiToWide(units.data(), narrow.get(), n);
  EXPECT_EQ(ExpectedUnits(std::u16string(u"abcde\0", 6)), units);
}

TEST(ParseTaggedNumberTest, UnwrapsTaggedNumbersAndLeavesOtherTextsAlone) {
  const std::string digits30 = "012345678901234567890123456789";
  const std::string tail40 = "T123456789012345678901234567890123456789";
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"N<0301234>", "0301234"},
      {"NAlex Example <0301234>", "0301234"},
      {"NExample <0301234> ext", "0301234"},
      {"N<12>34>", "12"},
      {"N<>", ""},
      {"T0301234", "0301234"},
      {"T", ""},
      {"N0301234", "N0301234"},
      {"NExample <0301234", "NExample <0301234"},
      {"N<" + digits30.substr(0, 29) + ">", digits30.substr(0, 29)},
      {"N<" + digits30 + ">", "N<" + digits30 + ">"},
      {tail40, tail40.substr(1, 30)},
      {"0301234", "0301234"},
      {"n<0301234>", "n<0301234>"},
      {"t0301234", "t0301234"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string buffer = GuardedBytes();
    std::memcpy(buffer.data(), c.text.c_str(), c.text.size() + 1);
    ParseTaggedNumber(buffer.data());
    EXPECT_STREQ(c.expected.c_str(), buffer.c_str()) << c.text;
    // Nothing is written past the text's own terminator.
    EXPECT_EQ(Guards(kBufferSize - c.text.size() - 1), buffer.substr(c.text.size() + 1)) << c.text;
  }
  ParseTaggedNumber(nullptr);
}

TEST(DialFilterTest, KeepOnlyTheirCharactersInOrder) {
  using Filter = void (*)(char*);
  struct Case {
    const char* name;
    Filter filter;
    std::string text;
    std::string expected;
  } cases[] = {
      {"KeepDial", KeepDialCharacters, "+49 (30) 123-456", "+4930123-456"},
      {"KeepDial", KeepDialCharacters, "*31#0a9b+8-", "*31#09+8-"},
      {"KeepDial", KeepDialCharacters, "1+2+3", "1+2+3"},
      {"KeepDial", KeepDialCharacters, "1\xE4\x80#\xFF*", "1#*"},
      {"KeepDial", KeepDialCharacters, "\"x\"", ""},
      {"KeepDial", KeepDialCharacters, "", ""},
      {"CleanPhone", CleanPhoneNumber, "+49 (30) 123-456", "+49(30)123456"},
      {"CleanPhone", CleanPhoneNumber, "+49 30 123+77", "+4930123 77"},
      {"CleanPhone", CleanPhoneNumber, "++1+*#", "+ 1 *#"},
      {"CleanPhone", CleanPhoneNumber, "0.30/12,3", "030123"},
      {"CleanPhone", CleanPhoneNumber, "1\xE4\x80#\xFF*", "1#*"},
      {"CleanPhone", CleanPhoneNumber, "", ""},
      {"RemoveQuotes", RemoveQuotes, "\"+49 30 123\"", "+49 30 123"},
      {"RemoveQuotes", RemoveQuotes, "a'b\"c\"\"", "a'bc"},
      {"RemoveQuotes", RemoveQuotes, "\"\xE4\x80\xFF\"", "\xE4\x80\xFF"},
      {"RemoveQuotes", RemoveQuotes, "\"\"", ""},
      {"RemoveQuotes", RemoveQuotes, "", ""},
  };
  for (const Case& c : cases) {
    std::string buffer = GuardedBytes();
    std::memcpy(buffer.data(), c.text.c_str(), c.text.size() + 1);
    c.filter(buffer.data());
    EXPECT_STREQ(c.expected.c_str(), buffer.c_str()) << c.name << " " << c.text;
    EXPECT_EQ(Guards(kBufferSize - c.text.size() - 1), buffer.substr(c.text.size() + 1)) << c.text;
  }
}

TEST(Checksum16Test, GivesTheEstablishedValues) {
  struct Case {
    std::string bytes;
    DWORD expected;
  } cases[] = {
      {"", 0xFFFF},
      {"abc", 0x85F5},
      {std::string(1, '\0'), 0xB6C1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, Checksum16(c.bytes.data(), static_cast<DWORD>(c.bytes.size()))) << c.bytes;
  }
  EXPECT_EQ(0xFFFFu, Checksum16(nullptr, 0));
}

// From the start value, the bytes {0xD1 ^ k, 0x44, 0x00} lead the third step to the state k << 8,
// so their checksum is table entry k itself.
DWORD TableEntry(int k) {
  const unsigned char bytes[] = {static_cast<unsigned char>(0xD1 ^ k), 0x44, 0x00};
  return Checksum16(bytes, 3);
}

TEST(Checksum16Test, UsesTheEstablishedTableEntries) {
  struct Case {
    int index;
    DWORD entry;
  } cases[] = {
      {0x00, 0x0000}, {0x01, 0x9967}, {0x02, 0x9AF4}, {0x03, 0x5E57},
      {0xB0, 0xA396}, {0xB6, 0x1044}, {0xFF, 0x49C1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.entry, TableEntry(c.index)) << c.index;
}

TEST(Checksum16Test, TheLowBytesOfTheTableAreAPermutation) {
  std::set<DWORD> lowBytes;
  for (int k = 0; k < 256; ++k) lowBytes.insert(TableEntry(k) & 0xFF);
  EXPECT_EQ(256u, lowBytes.size());
}

TEST(Checksum16Test, AnySingleChangedByteChangesTheChecksum) {
  std::string sample = "CALLSTATE 3 CONNECTED 0301234 \"Alex Example\" 00:01:17 \xE4\x80\x01";
  sample.resize(64, '\0');
  const DWORD original = Checksum16(sample.data(), 64);
  for (size_t position = 0; position < sample.size(); ++position) {
    std::string changed = sample;
    for (int delta = 1; delta < 256; ++delta) {
      changed[position] = static_cast<char>(sample[position] ^ delta);
      ASSERT_NE(original, Checksum16(changed.data(), 64)) << position << " " << delta;
    }
  }
}

}  // namespace
