// Tests of the simulated provider's configuration file: lines, delays, faults and the fallback to defaults.
#include "config.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

Lines LinesOf(const simtsp::Config& config) {
  Lines lines;
  for (const simtsp::LineSetting& line : config.lines) lines.emplace_back(line.name, line.address);
  return lines;
}

const Lines kDefaultLines = {{"Line 1", "201"}, {"Line 2", "202"}, {"Line 3", "203"}, {"Line 4", "204"}};

TEST(ParseConfig, ReadsLinesInTheirOrder) {
  struct Case {
    const char* text;
    Lines lines;
  } cases[] = {
      {"line Line 1 201\nline Line 2 202\n", {{"Line 1", "201"}, {"Line 2", "202"}}},
      {"# the lobby\n\n   # indented comment\nline Lobby 250", {{"Lobby", "250"}}},
      {"line\tFront   Desk\t301\r\n", {{"Front Desk", "301"}}},
      {"line \"\" 205\nline \"Two  Blanks\" \"\"\n", {{"", "205"}, {"Two  Blanks", ""}}},
      {"line B\xC3\xBCro 7\n", {{"B\xC3\xBCro", "7"}}},
      {"", {}},
      {"delay completion 5\n", {}},
  };
  for (const Case& c : cases) {
    simtsp::Config config;
    std::string error;
    ASSERT_TRUE(simtsp::ParseConfig(c.text, config, error)) << c.text << ": " << error;
    EXPECT_EQ(c.lines, LinesOf(config)) << c.text;
  }
}

TEST(ParseConfig, SetsTheNamedDelaysAndKeepsTheOthers) {
  simtsp::Config config;
  std::string error;
  ASSERT_TRUE(
      simtsp::ParseConfig("delay completion 0\ndelay dialtone 5\ndelay dialing 6\n"
                          "delay proceeding 7\ndelay ringback 8\ndelay connected 3600000\n",
                          config, error))
      << error;
  EXPECT_EQ(0, config.delays.completion.count());
  EXPECT_EQ(5, config.delays.dialtone.count());
  EXPECT_EQ(6, config.delays.dialing.count());
  EXPECT_EQ(7, config.delays.proceeding.count());
  EXPECT_EQ(8, config.delays.ringback.count());
  EXPECT_EQ(3600000, config.delays.connected.count());

  ASSERT_TRUE(simtsp::ParseConfig("delay ringback 1\n", config, error)) << error;
  EXPECT_EQ(1, config.delays.ringback.count());
  EXPECT_EQ(10, config.delays.completion.count());
  EXPECT_EQ(300, config.delays.connected.count());
}

TEST(ParseConfig, RejectsTheWholeFileAtItsFirstFault) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"line 201\n", "line 1: a line needs a name and an address"},
      {"line A 1\nphone X 2\n", "line 2: unknown statement \"phone\""},
      {"line \"Line 1 201\n", "line 1: unclosed quote"},
      {"\n\ndelay completion\n", "line 3: a delay needs a step and milliseconds"},
      {"delay answer 5\n", "line 1: unknown delay step \"answer\""},
      {"delay completion -5\n", "line 1: delay \"-5\" is not 0 to 3600000 milliseconds"},
      {"delay completion 3600001\n", "line 1: delay \"3600001\" is not 0 to 3600000 milliseconds"},
      {"delay completion 99999999999\n", "line 1: delay \"99999999999\" is not 0 to 3600000 milliseconds"},
      {"delay completion 12ms\n", "line 1: delay \"12ms\" is not 0 to 3600000 milliseconds"},
  };
  for (const Case& c : cases) {
    simtsp::Config config;
    config.lines = {{"kept", "1"}};
    std::string error;
    EXPECT_FALSE(simtsp::ParseConfig(c.text, config, error)) << c.text;
    EXPECT_EQ(c.error, error) << c.text;
    EXPECT_EQ((Lines{{"kept", "1"}}), LinesOf(config)) << c.text;
  }
}

TEST(LoadConfig, WithoutAFileGivesTheDefaultsSilently) {
  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    std::ostringstream warnings;
    simtsp::Config config = simtsp::LoadConfig(path, warnings);
    EXPECT_EQ(kDefaultLines, LinesOf(config));
    EXPECT_EQ(10, config.delays.completion.count());
    EXPECT_EQ("", warnings.str());
  }
}

TEST(LoadConfig, ReadsTheNamedFile) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "sim.conf", "line Lobby 250\ndelay completion 1\n");
  std::ostringstream warnings;
  simtsp::Config config = simtsp::LoadConfig((dir / "sim.conf").c_str(), warnings);
  EXPECT_EQ((Lines{{"Lobby", "250"}}), LinesOf(config));
  EXPECT_EQ(1, config.delays.completion.count());
  EXPECT_EQ("", warnings.str());
}

TEST(LoadConfig, AFileItCannotUseGivesTheDefaultsAndOneWarning) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "bad.conf", "line Lobby 250\nlines Hall 251\n");
  struct Case {
    std::string path;
    std::string warning;
  } cases[] = {
      {dir / "missing.conf", "SIMTSP: cannot read " + (dir / "missing.conf") + "; using the default lines\n"},
      {dir.path(), "SIMTSP: cannot read " + dir.path() + "; using the default lines\n"},
      {dir / "bad.conf",
       "SIMTSP: " + (dir / "bad.conf") + ": line 2: unknown statement \"lines\"; using the default lines\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream warnings;
    simtsp::Config config = simtsp::LoadConfig(c.path.c_str(), warnings);
    EXPECT_EQ(kDefaultLines, LinesOf(config)) << c.path;
    EXPECT_EQ(c.warning, warnings.str());
  }
}

}  // namespace
