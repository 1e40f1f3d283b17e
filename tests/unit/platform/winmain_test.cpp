// Tests of the start-up shim: command text, show state and exit code of the program's WinMain.
#include "plat/winmain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "support/temp_dir.h"

namespace {

TEST(BuildCommandText, QuotesOnlyWhatNeedsQuotes) {
  struct Case {
    std::vector<const char*> arguments;
    std::string text;
  } cases[] = {
      {{}, ""},
      {{"-D"}, "-D"},
      {{"-c", "C:\\tel\\VELCORA.INI", "-l", "log.xml"}, "-c C:\\tel\\VELCORA.INI -l log.xml"},
      {{"-l", "C:\\Program Files\\log.xml"}, "-l \"C:\\Program Files\\log.xml\""},
      {{""}, "\"\""},
      {{"say \"hi\""}, "\"say \\\"hi\\\"\""},
      {{"dir with\\"}, "\"dir with\\\\\""},
      {{"a\\b"}, "a\\b"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"PROGRAM"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(c.text, plat::BuildCommandText(static_cast<int>(argv.size()), argv.data()));
  }
}

TEST(ShowState, ComesFromTheEnvironmentWithTenAsDefault) {
  struct Case {
    const char* value;
    int state;
  } cases[] = {{nullptr, 10}, {"", 10}, {"1", 1}, {"0", 0}, {"7", 7}, {"x", 10}, {"5x", 10}, {"-1", 10}};
  for (const Case& c : cases) {
    if (c.value)
      setenv("VELCORA_SHOW_STATE", c.value, 1);
    else
      unsetenv("VELCORA_SHOW_STATE");
    EXPECT_EQ(c.state, plat::ShowStateFromEnvironment()) << (c.value ? c.value : "unset");
  }
  unsetenv("VELCORA_SHOW_STATE");
}

TEST(StartUpShim, CallsWinMainAndExitsWithItsResult) {
  testsupport::TempDir dir;
  std::string output = dir / "out.txt";
  std::string command = std::string("VELCORA_SHOW_STATE=1 '") + WINMAIN_PROBE +
                        "' -l 'C:\\Program Files\\log.xml' -D > '" + output + "'";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(7, WEXITSTATUS(status));
  EXPECT_EQ("instance=1 previous=0 show=1 text=[-l \"C:\\Program Files\\log.xml\" -D]\n",
            testsupport::ReadFile(output));

  command = std::string("env -u VELCORA_SHOW_STATE '") + WINMAIN_PROBE + "' > '" + output + "'";
  std::system(command.c_str());
  EXPECT_EQ("instance=1 previous=0 show=10 text=[]\n", testsupport::ReadFile(output));
}

TEST(StartUpShim, GetsTheCommandTextAsTheLayersStarterWroteIt) {
  testsupport::TempDir dir;
  std::string output = dir / "out.txt";
  setenv("WINMAIN_PROBE_OUT", output.c_str(), 1);
  // Windows' own splitting would read the last backslash as escaping the quote; the program must see
  // the text as written.
  std::string commandLine =
      "\"" + plat::ToWindowsPath(WINMAIN_PROBE) + "\"  -D -cwd \"D:\\tel\\\" -l \"a b.xml\"";
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  plat::PROCESS_INFORMATION started = {};
  ASSERT_TRUE(plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr,
                                   nullptr, &startup, &started));
  EXPECT_EQ(0u, plat::WaitForSingleObject(started.hProcess, 30000));
  plat::DWORD code = 0;
  plat::GetExitCodeProcess(started.hProcess, &code);
  EXPECT_EQ(7u, code);
  plat::CloseHandle(started.hProcess);
  plat::CloseHandle(started.hThread);
  unsetenv("WINMAIN_PROBE_OUT");
  EXPECT_EQ("instance=1 previous=0 show=10 text=[-D -cwd \"D:\\tel\\\" -l \"a b.xml\"]\n",
            testsupport::ReadFile(output));
}

TEST(StartUpShim, IgnoresAnInheritedCommandLineThatIsNotItsOwn) {
  testsupport::TempDir dir;
  std::string output = dir / "out.txt";
  std::string command =
      std::string("VELCORA_COMMAND_LINE='other.exe -x \"y\"' '") + WINMAIN_PROBE + "' -D > '" + output + "'";
  std::system(command.c_str());
  EXPECT_EQ("instance=1 previous=0 show=10 text=[-D]\n", testsupport::ReadFile(output));
}

}  // namespace
