// Tests of the splitting of the service program's command text.
#include "winmain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const char* text) {
  int count = -1;
  char** arguments = SplitCommandLine(text, &count);
  std::vector<std::string> split;
  for (int i = 0; i < count; ++i) split.emplace_back(arguments[i]);
  EXPECT_EQ(nullptr, arguments[count]) << "the vector ends with a null pointer";
  std::free(arguments);  // the program keeps its one vector; a test makes many
  return split;
}

TEST(SplitCommandLine, FollowsTheQuoteAndSeparatorRules) {
  struct Case {
    const char* text;
    std::vector<std::string> arguments;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"-D", {"-D"}},
      {"-c  a.ini\t-l b.xml", {"-c", "a.ini", "-l", "b.xml"}},
      {"x\r\ny", {"x", "y"}},
      {"-l \"C:\\Program Files\\log4j-config.xml\"", {"-l", "C:\\Program Files\\log4j-config.xml"}},
      {"ab\"c d\"ef", {"abc def"}},
      {"\"\"", {""}},
      {"a \"\" b", {"a", "", "b"}},
      {"\"unclosed text", {"unclosed text"}},
      {"a\vb\fc", {"a\vb\fc"}},
      {"-cwd \"D:\\tel\\\"", {"-cwd", "D:\\tel\\"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.arguments, Split(c.text)) << c.text;
}

}  // namespace
