// Tests of the debugger and message-box tools, built once per program prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/testing/debug.h"

using namespace TOOLFUNC_debug;

namespace {

const std::string kPrefix = EXPECTED_PREFIX;

class DebugToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::TakeDebugOutput();
    plat::TakeMessageBoxes();
    plat::SetLastError(0);
  }
  static std::vector<std::string> Output() { return plat::TakeDebugOutput(); }
};

TEST_F(DebugToolsTest, DebugTraceWritesPrefixTextAndOneLineFeedWhateverTheLevel) {
  struct Case {
    int level;
    std::string text;
    std::string sent;
  } cases[] = {
      {99, "abc\r\n", kPrefix + "abc\n"}, {1, "abc\n", kPrefix + "abc\n\n"}, {-3, "", kPrefix + "\n"},
      {0, "50%", kPrefix + "50%\n"},      {5, "a\rb", kPrefix + "a\rb\n"},
  };
  for (const Case& c : cases) {
    DebugTrace(c.level, "%s", c.text.c_str());
    EXPECT_EQ(std::vector<std::string>{c.sent}, Output()) << c.text;
  }
}

TEST_F(DebugToolsTest, LongTextsAreCutAndGetNoLineFeedPast1021Characters) {
  const size_t room = 1024 - kPrefix.size() - 1;  // what fits behind the prefix
  struct Case {
    size_t length;
    std::string sent;
  } cases[] = {
      {2000, kPrefix + std::string(room, 'x')},
      {1021 - kPrefix.size(), kPrefix + std::string(1021 - kPrefix.size(), 'x') + "\n"},
      {1022 - kPrefix.size(), kPrefix + std::string(1022 - kPrefix.size(), 'x')},
  };
  for (const Case& c : cases) {
    DebugTrace(1, "%s", std::string(c.length, 'x').c_str());
    std::vector<std::string> sent = Output();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(c.sent, sent[0]) << "length " << c.length;
  }
  DebugTrace(1, "%s", std::string(2000, 'x').c_str());
  EXPECT_EQ(1023u, Output()[0].size());
}

TEST_F(DebugToolsTest, DebugOutputHasNoPrefixAndAtMost1023Characters) {
  DebugOutput("plain %d\r\n", 7);
  EXPECT_EQ(std::vector<std::string>{"plain 7\n"}, Output());
  DebugOutput("%s", std::string(3000, 'y').c_str());
  EXPECT_EQ(std::vector<std::string>{std::string(1023, 'y')}, Output());
}

TEST_F(DebugToolsTest, DebugBoxShowsOnlyBelowLevelOne) {
  DebugBox(1, "not shown");
  DebugBox(7, "not shown");
  EXPECT_TRUE(plat::TakeMessageBoxes().empty());
  DebugBox(0, "zero");
  DebugBox(-5, "negative %d", -5);
  std::vector<plat::MessageBoxRecord> boxes = plat::TakeMessageBoxes();
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(kPrefix + "zero\n", boxes[0].text);
  EXPECT_EQ(kPrefix + "negative -5\n", boxes[1].text);
  for (const plat::MessageBoxRecord& box : boxes) {
    EXPECT_EQ("DebugBox", box.caption);
    EXPECT_EQ(0x40u, box.type);
    EXPECT_EQ(nullptr, box.owner);
  }
  EXPECT_TRUE(Output().empty());
}

TEST_F(DebugToolsTest, LastErrorZeroGivesEmptyTextAndNothingElse) {
  EXPECT_STREQ("", GetLastErrorText());
  TraceLastError();
  ShowLastError();
  EXPECT_TRUE(Output().empty());
  EXPECT_TRUE(plat::TakeMessageBoxes().empty());
}

TEST_F(DebugToolsTest, LastErrorTextsComeFromTheSystem) {
  plat::SetLastError(1073);
  char* first = GetLastErrorText();
  EXPECT_STREQ("The specified service already exists.\r\n", first);
  plat::SetLastError(2);
  EXPECT_EQ(first, GetLastErrorText()) << "one buffer, overwritten by the next call";
  EXPECT_STREQ("The system cannot find the file specified.\r\n", first);

  plat::SetLastError(1073);
  TraceLastError();
  EXPECT_EQ(std::vector<std::string>{"The specified service already exists.\n"}, Output());

  plat::SetLastError(1062);
  ShowLastError();
  std::vector<plat::MessageBoxRecord> boxes = plat::TakeMessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("The service has not been started.\r\n", boxes[0].text);
  EXPECT_EQ("Fehler aufgetreten", boxes[0].caption);
  EXPECT_EQ(0x40030u, boxes[0].type);
}

TEST_F(DebugToolsTest, PrefixLengthMatchesThePrefix) {
  EXPECT_EQ(kPrefix, LogPrefix);
  EXPECT_EQ(kPrefix.size(), LogPrefixLength);
}

}  // namespace
