// Tests of the cutting of a client's bytes into protocol lines.
#include "line_framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The lines the framer hands out for the bytes fed to it piece by piece.
std::vector<std::string> LinesOf(LineFramer& framer, const std::vector<std::string>& pieces) {
  std::vector<std::string> lines;
  for (const std::string& piece : pieces)
    framer.Feed(piece.data(), piece.size(), [&lines](const char* line) { lines.emplace_back(line); });
  return lines;
}

std::string Repeated(char c, size_t count) { return std::string(count, c); }

struct FramingCase {
  const char* name;
  std::vector<std::string> pieces;
  std::vector<std::string> lines;
};

const FramingCase kFramingCases[] = {
    {"CrLfEndsALine", {"INIT 201\r\n"}, {"INIT 201"}},
    {"CrLfAndNulEachEndALine", {std::string("A\rB\nC\0D", 7), "\n"}, {"A", "B", "C", "D"}},
    {"EmptyLinesAreNoLines", {"\r\n\r\n\n", std::string("\0\0X\r\n", 5)}, {"X"}},
    {"ALineGoesOnAcrossPieces", {"MAKE", "CALL 2", "01\r", "\n"}, {"MAKECALL 201"}},
    {"AnUnendedLineIsKept", {"BYE"}, {}},
    {"ALineOf1023IsWhole", {Repeated('a', 1023) + "\r\nNEXT\r\n"}, {Repeated('a', 1023), "NEXT"}},
    {"ALongerLineIsCutOnceAndItsRestDropped",
     {Repeated('b', 1024) + "\r\nNEXT\r\n"},
     {Repeated('b', 1023), "NEXT"}},
    {"TheCutHoldsAcrossPieces",
     {Repeated('c', 1000), Repeated('d', 1000), Repeated('e', 1000), "\nNEXT\n"},
     {Repeated('c', 1000) + Repeated('d', 23), "NEXT"}},
    {"TheCutComesWithTheFirstCharacterPastTheLimit", {Repeated('f', 1023), "X"}, {Repeated('f', 1023)}},
};

class LineFramingTest : public ::testing::TestWithParam<FramingCase> {};

TEST_P(LineFramingTest, HandsOutTheLines) {
  LineFramer framer;
  EXPECT_EQ(GetParam().lines, LinesOf(framer, GetParam().pieces));
}

INSTANTIATE_TEST_SUITE_P(Framing, LineFramingTest, ::testing::ValuesIn(kFramingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A new client starts afresh: neither the unfinished line nor the dropping of a cut line's rest
// carries over.
TEST(LineFramerReset, ForgetsTheUnfinishedLineAndTheCut) {
  LineFramer framer;
  EXPECT_TRUE(LinesOf(framer, {"HALF"}).empty());
  framer.Reset();
  EXPECT_EQ(std::vector<std::string>{"NEW"}, LinesOf(framer, {"NEW\r\n"}));

  EXPECT_EQ(std::vector<std::string>{Repeated('g', 1023)}, LinesOf(framer, {Repeated('g', 1100)}));
  framer.Reset();
  EXPECT_EQ(std::vector<std::string>{"AFTER"}, LinesOf(framer, {"AFTER\r\n"}));
}

}  // namespace
