// Tests of ShellExecuteA: the program really runs, with its parameters, directory and show state.
#include "plat/shell.h"

#include <gtest/gtest.h>

#include <string>

#include "plat/machine.h"
#include "plat/path.h"
#include "support/recording_program.h"
#include "support/temp_dir.h"

namespace {

TEST(ShellExecute, StartsAProgramOfTheSystemDirectoryWithItsParameters) {
  testsupport::ScopedMachine machine;
  testsupport::TempDir dir;
  std::string record = dir / "record.txt";
  testsupport::WriteRecordingProgram(plat::SystemDirectoryHost() + "/RUNDLL32.EXE", record);
  char system[260];
  plat::GetSystemDirectoryA(system, sizeof(system));
  plat::TakeShellExecutions();

  plat::HINSTANCE result = plat::ShellExecuteA(nullptr, nullptr, "RUNDLL32.EXE",
                                               "SHELL32.DLL,Control_RunDLL VELCORA.CPL", system, 1);
  EXPECT_GT(reinterpret_cast<intptr_t>(result), 32);
  EXPECT_EQ(plat::SystemDirectoryHost() + "|1|SHELL32.DLL,Control_RunDLL|VELCORA.CPL\n",
            testsupport::WaitForRecord(record));

  std::vector<plat::ShellExecution> calls = plat::TakeShellExecutions();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ("RUNDLL32.EXE", calls[0].file);
  EXPECT_EQ("SHELL32.DLL,Control_RunDLL VELCORA.CPL", calls[0].parameters);
  EXPECT_EQ(system, calls[0].directory);
  EXPECT_EQ(1, calls[0].showCommand);
}

TEST(ShellExecute, ReportsWhatCannotBeStarted) {
  testsupport::ScopedMachine machine;
  struct Case {
    const char* verb;
    const char* file;
    intptr_t result;
  } cases[] = {
      {nullptr, "NOSUCH.EXE", 2},
      {"open", "", 2},
      {"print", "NOTEPAD.EXE", 31},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.result,
              reinterpret_cast<intptr_t>(plat::ShellExecuteA(nullptr, c.verb, c.file, nullptr, nullptr, 5)))
        << c.file;
}

}  // namespace
