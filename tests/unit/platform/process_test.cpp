// Tests of process start, exit codes, show state hand-over and the priority class.
#include "plat/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "support/temp_dir.h"

namespace {

// Runs `commandLine`, waits for it and returns its exit code.
plat::DWORD RunAndWait(std::string commandLine, plat::STARTUPINFOA* startup = nullptr,
                       const char* environment = nullptr) {
  plat::STARTUPINFOA defaults = {};
  defaults.cb = sizeof(defaults);
  plat::PROCESS_INFORMATION started = {};
  EXPECT_TRUE(plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0,
                                   const_cast<char*>(environment), nullptr, startup ? startup : &defaults,
                                   &started))
      << commandLine;
  EXPECT_NE(0u, started.dwProcessId);
  EXPECT_EQ(0u, plat::WaitForSingleObject(started.hProcess, 10000));
  plat::DWORD code = 0;
  EXPECT_TRUE(plat::GetExitCodeProcess(started.hProcess, &code));
  plat::CloseHandle(started.hProcess);
  plat::CloseHandle(started.hThread);
  return code;
}

TEST(CreateProcess, SplitsTheCommandLineByTheWindowsRules) {
  testsupport::TempDir dir;
  std::string out = plat::ToWindowsPath(dir / "args.txt");
  // The shell writes one argument a line, so the split is visible field by field.
  std::string command = "/bin/sh -c \"printf '%s\\n' \\\"$@\\\" > '" + dir / "args.txt" +
                        "'\" sh plain \"with blank\" a\\\\\\\"b \"\"";
  EXPECT_EQ(0u, RunAndWait(command));
  EXPECT_EQ("plain\nwith blank\na\\\"b\n\n", testsupport::ReadFile(dir / "args.txt"));
}

TEST(CreateProcess, ReportsExitCodesAndAMissingProgram) {
  EXPECT_EQ(3u, RunAndWait("/bin/sh -c \"exit 3\""));
  plat::STARTUPINFOA startup = {};
  plat::PROCESS_INFORMATION started = {};
  char missing[] = "C:\\no\\such\\PROGRAM.EXE arg";
  plat::SetLastError(0);
  EXPECT_FALSE(plat::CreateProcessA(nullptr, missing, nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                                    &startup, &started));
  EXPECT_EQ(2u, plat::GetLastError());
  char bare[] = "NOSUCHPROGRAM.EXE";
  EXPECT_FALSE(plat::CreateProcessA(nullptr, bare, nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                                    &startup, &started));
  EXPECT_EQ(2u, plat::GetLastError());
}

TEST(CreateProcess, FindsABareNameInTheSystemDirectoryWithoutRegardToCase) {
  testsupport::ScopedMachine machine;
  std::string program = plat::SystemDirectoryHost() + "/RUNDLL32.EXE";
  testsupport::WriteFile(program, "#!/bin/sh\nexit 9\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  EXPECT_EQ(9u, RunAndWait("rundll32.exe SHELL32.DLL,Control_RunDLL VELCORA.CPL"));
}

TEST(CreateProcess, HandsOnTheShowStateOnlyWhenAskedTo) {
  setenv("VELCORA_SHOW_STATE", "3", 1);
  std::string probe = "/bin/sh -c \"exit ${VELCORA_SHOW_STATE:-99}\"";
  EXPECT_EQ(99u, RunAndWait(probe)) << "our own show state is not inherited";
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = plat::STARTF_USESHOWWINDOW;
  startup.wShowWindow = 7;
  EXPECT_EQ(7u, RunAndWait(probe, &startup));
  unsetenv("VELCORA_SHOW_STATE");
  const char environment[] = "ANSWER=42\0OTHER=1\0";
  EXPECT_EQ(42u, RunAndWait("/bin/sh -c \"exit ${ANSWER:-0}\"", nullptr, environment));
}

TEST(Priority, IsRecordedForTheOwnProcess) {
  plat::HANDLE own =
      plat::OpenProcess(plat::PROCESS_SET_INFORMATION, plat::FALSE, plat::GetCurrentProcessId());
  ASSERT_NE(nullptr, own);
  EXPECT_EQ(0x20u, plat::GetPriorityClass(own));
  EXPECT_TRUE(plat::SetPriorityClass(own, 0x100));
  EXPECT_EQ(0x100u, plat::GetPriorityClass(own));
  EXPECT_FALSE(plat::SetPriorityClass(own, 0x7));
  EXPECT_EQ(87u, plat::GetLastError());
  EXPECT_TRUE(plat::CloseHandle(own));
  EXPECT_FALSE(plat::SetPriorityClass(own, 0x100));
  EXPECT_EQ(6u, plat::GetLastError());
  EXPECT_EQ(nullptr, plat::OpenProcess(plat::PROCESS_SET_INFORMATION, plat::FALSE, 0x7FFFFFF0));
  EXPECT_EQ(87u, plat::GetLastError());
}

}  // namespace
