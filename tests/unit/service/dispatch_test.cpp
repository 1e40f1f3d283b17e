// Tests of the dispatcher's field reader and number rule, and of the CSTA entry that only logs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "service_window.h"
#include "support/service_log.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> Read(const std::string& line, int count, size_t width,
                              bool overflowEmpties = false) {
  char fields[12][256];
  size_t widths[12];
  widths[0] = 254;
  for (int i = 1; i < 12; ++i) widths[i] = width;
  CServiceWindow::ReadFields(line.c_str(), fields, widths, count, overflowEmpties);
  return std::vector<std::string>(fields, fields + count);
}

TEST(ReadFields, SplitsCutsAndDropsQuotes) {
  struct Case {
    std::string line;
    int count;
    std::vector<std::string> fields;
  } cases[] = {
      {"WORD 1 two", 3, {"WORD", "1", "two"}},
      {"WORD", 3, {"WORD", "", ""}},
      {"WORD\t 1\v\f2", 3, {"WORD", "1", "2"}},
      {"WORD \"abc\" \"x y\"", 4, {"WORD", "abc", "x", "y"}},  // a quote does not group
      {"WO\"RD 1", 2, {"WO\"RD", "1"}},                        // the word keeps its quotes
      {"WORD 1 2 3 4", 3, {"WORD", "1", "2"}},
      {"WORD " + std::string(40, 'a'), 3, {"WORD", std::string(31, 'a'), std::string(9, 'a')}},
      {std::string(255, 'W') + " 1", 2, {"", ""}},
      {std::string(254, 'W') + " 1", 2, {std::string(254, 'W'), "1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.fields, Read(c.line, c.count, 31)) << c.line;
}

TEST(ReadFields, ALongTokenInAWideCommandEmptiesItAndTheRest) {
  EXPECT_EQ((std::vector<std::string>{"TSPI_lineMakeCall", "7", "7", "0", "12", ""}),
            Read("TSPI_lineMakeCall 7 7 0 12 " + std::string(70, '2'), 6, 62, true));
  EXPECT_EQ((std::vector<std::string>{"TSPI_lineMakeCall", "", "", "", "", ""}),
            Read("TSPI_lineMakeCall " + std::string(70, '1') + " 7 0 12 200", 6, 62, true));
  EXPECT_EQ(std::string(62, '2'), Read("TSPI_lineMakeCall 7 7 0 12 " + std::string(62, '2'), 6, 62, true)[5]);
}

TEST(ReadNumber, ReadsSignedDecimalClampedTo32Bits) {
  struct Case {
    const char* text;
    plat::LONG value;
  } cases[] = {
      {"42", 42},
      {"-1", -1},
      {"+7", 7},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999", -2147483647 - 1},
      {" 5", 0},  // fields have no blanks; a blank is no digit
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, CServiceWindow::ReadNumber(c.text)) << c.text;
}

TEST(DispatchDataCSTA, LogsItsNameAtTheDebugLevelAndNothingElse) {
  testsupport::TempDir dir;
  testsupport::WriteLogConfiguration(dir / "log4cxx.xml", dir / "velcora.log");
  std::snprintf(g_szLogConfigFile, sizeof(g_szLogConfigFile), "%s", (dir / "log4cxx.xml").c_str());
  ASSERT_EQ(0, TOOLFUNC_debug::ConfigureLogging());
  CServiceWindow::DispatchDataCSTA("TSPI_lineOpen 1 x x 7 x 201");
  EXPECT_EQ("DEBUG Velcora: CServiceWindow::DispatchDataCSTA\n", testsupport::ReadFile(dir / "velcora.log"));
}

}  // namespace
