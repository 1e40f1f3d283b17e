// End to end: a first start as scripts/run.sh makes it, with the bundled settings and a provider entered by
// the telephony setup stand-in.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/velcora_process.h"

namespace {

// What `command` prints on its standard output.
std::string Output(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  return output;
}

std::vector<std::string> LinesAtError(const std::string& log) {
  std::istringstream in(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("ERROR ", 0) == 0) lines.push_back(line);
  return lines;
}

TEST(FirstRun, TheBundledStartFindsItsProviderAndLogsNothingAtErrorButItsStart) {
  testsupport::ScopedMachine machine;
  testsupport::TempDir dir;
  EXPECT_EQ("SIMTSP.TSP added as provider 1\n", Output(std::string(TSPCTL) + " add SIMTSP.TSP"));
  EXPECT_EQ("SIMTSP.TSP is in the provider list already\n", Output(std::string(TSPCTL) + " add SIMTSP.TSP"))
      << "a second run of the setup changes nothing";
  testsupport::PrepareServiceTest();
  std::string settings = testsupport::SettingsWithoutPort(BUNDLED_SETTINGS);
  ASSERT_NE(std::string::npos, settings.find("Driver=SIMTSP.TSP\r\n")) << settings;

  testsupport::VelcoraProcess service(VELCORA_EXE, dir);
  ASSERT_TRUE(service.Start(settings));
  const std::string log = service.Log();
  EXPECT_NE(std::string::npos, log.find("INFO Velcora: g_dwPermanentProviderID 1\n"));
  // The start itself is announced at the error level on every start, so that any log shows it.
  EXPECT_EQ(std::vector<std::string>{"ERROR Velcora: CServiceWindow::StartSystem"}, LinesAtError(log));
  if (HasFailure()) service.PrintLog();
}

}  // namespace
