// Tests of process start, exit codes, show state hand-over, the priority class and the process list.
#include "plat/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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
  EXPECT_EQ(0u, plat::WaitForSingleObject(started.hProcess, 30000));
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

// A child that runs until it is ended, and its handles.
struct SleepingChild {
  plat::PROCESS_INFORMATION started = {};
  SleepingChild() {
    char commandLine[] = "/bin/sleep infinity";
    plat::STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    EXPECT_TRUE(plat::CreateProcessA(nullptr, commandLine, nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                                     &startup, &started));
  }
  ~SleepingChild() {
    plat::TerminateProcess(started.hProcess, 0);
    plat::WaitForSingleObject(started.hProcess, 30000);
    plat::CloseHandle(started.hProcess);
    plat::CloseHandle(started.hThread);
  }
};

TEST(ProcessList, HoldsTheOwnProcessAndAChildInAscendingOrder) {
  SleepingChild child;
  plat::DWORD ids[4096];
  plat::DWORD used = 0;
  ASSERT_TRUE(plat::EnumProcesses(ids, sizeof(ids), &used));
  std::vector<plat::DWORD> list(ids, ids + used / sizeof(plat::DWORD));
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
  EXPECT_NE(list.end(), std::find(list.begin(), list.end(), plat::GetCurrentProcessId()));
  EXPECT_NE(list.end(), std::find(list.begin(), list.end(), child.started.dwProcessId));
  // A buffer for two gets two, and the bytes say so.
  ASSERT_TRUE(plat::EnumProcesses(ids, 2 * sizeof(plat::DWORD) + 3, &used));
  EXPECT_EQ(2 * sizeof(plat::DWORD), used);
  EXPECT_FALSE(plat::EnumProcesses(nullptr, 8, &used));
  EXPECT_EQ(87u, plat::GetLastError());
}

TEST(ProcessList, GivesTheExecutablePathInWindowsForm) {
  plat::HANDLE own = plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION | plat::PROCESS_VM_READ, plat::FALSE,
                                       plat::GetCurrentProcessId());
  ASSERT_NE(nullptr, own);
  plat::HMODULE module = nullptr;
  plat::DWORD needed = 0;
  ASSERT_TRUE(plat::EnumProcessModules(own, &module, sizeof(module), &needed));
  EXPECT_EQ(sizeof(plat::HMODULE), needed);
  std::string expected = testsupport::WindowsForm(std::filesystem::read_symlink("/proc/self/exe").string());
  char name[260] = {};
  EXPECT_EQ(expected.size(), plat::GetModuleFileNameExA(own, module, name, sizeof(name)));
  EXPECT_EQ(expected, name);
  std::memset(name, 0, sizeof(name));
  plat::GetModuleFileNameExA(own, nullptr, name, sizeof(name));
  EXPECT_EQ(expected, name);
  // Cut to the capacity, always terminated.
  char shortName[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(4u, plat::GetModuleFileNameExA(own, nullptr, shortName, sizeof(shortName)));
  EXPECT_EQ(expected.substr(0, 4), shortName);
  plat::CloseHandle(own);
  EXPECT_EQ(0u, plat::GetModuleFileNameExA(own, nullptr, name, sizeof(name)));
  EXPECT_EQ(6u, plat::GetLastError());
}

TEST(ProcessList, AnotherAccountsProcessCannotBeReadOrEnded) {
  if (geteuid() == 0) GTEST_SKIP() << "root may read every process";
  // Process 1 runs as root.
  EXPECT_EQ(nullptr,
            plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION | plat::PROCESS_VM_READ, plat::FALSE, 1));
  EXPECT_EQ(5u, plat::GetLastError());
  plat::HANDLE init = plat::OpenProcess(plat::PROCESS_TERMINATE, plat::FALSE, 1);
  ASSERT_NE(nullptr, init);
  EXPECT_FALSE(plat::TerminateProcess(init, 0));
  EXPECT_EQ(5u, plat::GetLastError());
  plat::CloseHandle(init);
}

TEST(TerminateProcess, EndsAChildOnlyWithTheRight) {
  SleepingChild child;
  plat::HANDLE query =
      plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION, plat::FALSE, child.started.dwProcessId);
  ASSERT_NE(nullptr, query);
  EXPECT_FALSE(plat::TerminateProcess(query, 0));
  EXPECT_EQ(5u, plat::GetLastError());
  plat::CloseHandle(query);
  EXPECT_EQ(static_cast<plat::DWORD>(plat::WAIT_TIMEOUT),
            plat::WaitForSingleObject(child.started.hProcess, 0));

  plat::HANDLE terminate = plat::OpenProcess(plat::PROCESS_TERMINATE, plat::FALSE, child.started.dwProcessId);
  ASSERT_NE(nullptr, terminate);
  EXPECT_TRUE(plat::TerminateProcess(terminate, 0));
  plat::CloseHandle(terminate);
  EXPECT_EQ(plat::WAIT_OBJECT_0, plat::WaitForSingleObject(child.started.hProcess, 30000));
  plat::DWORD code = 0;
  plat::GetExitCodeProcess(child.started.hProcess, &code);
  EXPECT_EQ(128u + 9u, code);
}

}  // namespace
