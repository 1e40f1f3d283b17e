// Tests of the process tools: thread end, priority, start, search, privileges, shell and adapter address.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/handle.h"
#include "plat/machine.h"
#include "plat/process.h"
#include "plat/testing/debug.h"
#include "plat/testing/netbios.h"
#include "plat/testing/security.h"
#include "plat/testing/shell.h"
#include "plat/testing/time.h"
#include "plat/testing/window.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "plat/winmain.h"
#include "support/temp_dir.h"

namespace {

TEST(CloseHandleAndExitThread, ReturnsWhenTheVariableHoldsZero) {
  std::atomic<plat::HANDLE> none{nullptr};
  TOOLFUNC_process::CloseHandleAndExitThread(&none);
  EXPECT_EQ(nullptr, none.load());
}

struct ExitingThread {
  std::atomic<plat::HANDLE> handle{nullptr};
  std::promise<void> handleStored;
  std::promise<void> unwound;
  bool ranPastTheCall = false;
};

// Sets its promise when the thread's frames are unwound, however the thread ends.
struct UnwindSignal {
  std::promise<void>& done;
  ~UnwindSignal() { done.set_value(); }
};

plat::DWORD EndThroughCloseHandleAndExitThread(plat::LPVOID parameter) {
  auto* thread = static_cast<ExitingThread*>(parameter);
  UnwindSignal signal{thread->unwound};
  thread->handleStored.get_future().wait();
  TOOLFUNC_process::CloseHandleAndExitThread(&thread->handle);
  thread->ranPastTheCall = true;
  return 5;
}

TEST(CloseHandleAndExitThread, ClosesTheOwnHandleAndEndsTheThread) {
  ExitingThread thread;
  plat::HANDLE handle =
      plat::CreateThread(nullptr, 0, EndThroughCloseHandleAndExitThread, &thread, 0, nullptr);
  ASSERT_NE(nullptr, handle);
  thread.handle = handle;
  thread.handleStored.set_value();
  thread.unwound.get_future().wait();
  EXPECT_FALSE(thread.ranPastTheCall);
  EXPECT_EQ(nullptr, thread.handle.load());
  EXPECT_FALSE(plat::CloseHandle(handle)) << "the thread closed its own handle";
}

struct ContendedThread {
  std::atomic<plat::HANDLE> handle{nullptr};
  std::promise<void> handleStored;
  std::promise<void> unwound;
};

plat::DWORD EndContendingForTheHandle(plat::LPVOID parameter) {
  auto* thread = static_cast<ContendedThread*>(parameter);
  UnwindSignal signal{thread->unwound};
  thread->handleStored.get_future().wait();
  TOOLFUNC_process::CloseHandleAndExitThread(&thread->handle);
  return 0;
}

// A shutdown ends the thread the way the service's destructor ends the icon thread, at the moment the
// thread closes its own handle: one of the two takes the handle, and it is closed exactly once.
TEST(CloseHandleAndExitThread, AThreadAndItsShutdownCloseTheHandleOnce) {
  for (int round = 0; round < 50; ++round) {
    ContendedThread thread;
    plat::HANDLE handle = plat::CreateThread(nullptr, 0, EndContendingForTheHandle, &thread, 0, nullptr);
    ASSERT_NE(nullptr, handle);
    thread.handle = handle;
    thread.handleStored.set_value();
    if (plat::HANDLE taken = thread.handle.exchange(nullptr)) {
      plat::TerminateThread(taken, 0);
      EXPECT_TRUE(plat::CloseHandle(taken)) << "round " << round << ": the handle taken here was closed";
    }
    thread.unwound.get_future().wait();
    EXPECT_FALSE(plat::CloseHandle(handle)) << "round " << round << ": the handle was left open";
  }
}

TEST(SetProcessPriority, SetsTheClassOfTheOwnProcessAndIgnoresFailures) {
  plat::HANDLE own =
      plat::OpenProcess(plat::PROCESS_QUERY_INFORMATION, plat::FALSE, plat::GetCurrentProcessId());
  TOOLFUNC_process::SetProcessPriority(0x100);
  EXPECT_EQ(0x100u, plat::GetPriorityClass(own));
  TOOLFUNC_process::SetProcessPriority(0x12345);
  EXPECT_EQ(0x100u, plat::GetPriorityClass(own));
  plat::CloseHandle(own);
}

TEST(RunCommandLine, GivesTheProcessIdOrZero) {
  char missing[] = "C:\\no\\such\\NOTEPAD.EXE C:\\log\\VELCORA0.LOG";
  EXPECT_EQ(0u, TOOLFUNC_process::RunCommandLine(missing));
  char present[] = "/bin/true VELCORA0.LOG";
  EXPECT_NE(0u, TOOLFUNC_process::RunCommandLine(present));
}

// A machine whose system directory holds a loadable "PSAPI.DLL" (a copy of the maths library, which
// any loader accepts), or none.
class ProcessLibrary : public ::testing::Test {
 protected:
  void SetUp() override { plat::TakeMessageBoxes(); }
  void InstallLibrary() {
    Dl_info info = {};
    double (*cosine)(double) = &std::cos;
    ASSERT_NE(0, dladdr(reinterpret_cast<void*>(cosine), &info));
    std::filesystem::copy_file(info.dli_fname, plat::SystemDirectoryHost() + "/PSAPI.DLL");
  }
  testsupport::ScopedMachine m_machine;
};

// A child that sleeps until the test ends it.
struct Sleeper {
  plat::DWORD pid = 0;
  plat::HANDLE process = nullptr;
  std::string program;
  explicit Sleeper(std::string programPath = "/bin/sleep") : program(std::move(programPath)) {
    std::string line = program + " infinity";
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    plat::STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    plat::PROCESS_INFORMATION started = {};
    EXPECT_TRUE(plat::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, plat::FALSE, 0, nullptr,
                                     nullptr, &startup, &started));
    pid = started.dwProcessId;
    process = started.hProcess;
    plat::CloseHandle(started.hThread);
  }
  ~Sleeper() {
    plat::TerminateProcess(process, 0);
    plat::WaitForSingleObject(process, 30000);
    plat::CloseHandle(process);
  }
  bool Running() { return plat::WaitForSingleObject(process, 0) == plat::WAIT_TIMEOUT; }
  std::string Path() { return testsupport::WindowsForm(std::filesystem::canonical(program).string()); }
};

TEST_F(ProcessLibrary, WithoutTheLibraryWarnsAndGivesZero) {
  char buffer[260] = "unchanged";
  EXPECT_EQ(0, TOOLFUNC_process::GetProcessModuleName(plat::GetCurrentProcessId(), buffer));
  EXPECT_STREQ("unchanged", buffer);
  std::vector<plat::MessageBoxRecord> boxes = plat::TakeMessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ("Please install the PSAPI.DLL on your System.", boxes[0].text);
  EXPECT_EQ("Warning", boxes[0].caption);
  EXPECT_EQ(0x30u, boxes[0].type);
}

TEST_F(ProcessLibrary, GivesTheModulePathOrLeavesTheBufferUnchanged) {
  InstallLibrary();
  Sleeper child;
  char buffer[260] = {};
  EXPECT_EQ(1, TOOLFUNC_process::GetProcessModuleName(child.pid, buffer));
  EXPECT_EQ(child.Path(), buffer);
  // 0x7FFFFFF0 is above any Linux process identifier.
  char untouched[260] = "unchanged";
  EXPECT_EQ(1, TOOLFUNC_process::GetProcessModuleName(0x7FFFFFF0, untouched));
  EXPECT_STREQ("unchanged", untouched);
  EXPECT_TRUE(plat::TakeMessageBoxes().empty());
}

TEST_F(ProcessLibrary, FindCommandWindowTakesTheFirstVisibleConsoleWindow) {
  InstallLibrary();
  testsupport::TempDir dir;
  std::string program = dir / "cmd.exe";
  std::filesystem::copy_file("/bin/sleep", program);
  Sleeper console(program);
  Sleeper other;
  std::vector<plat::HWND> windows;
  auto window = [&windows](plat::DWORD processId, bool visible) {
    windows.push_back(plat::CreateWindowForTesting(nullptr, 0));
    plat::SetWindowProcessForTesting(windows.back(), processId);
    if (!visible) plat::ShowWindow(windows.back(), plat::SW_HIDE);
  };
  window(console.pid, true);  // lowest in the Z order
  window(other.pid, true);
  window(console.pid, false);  // topmost, but hidden
  EXPECT_EQ(console.pid, TOOLFUNC_process::FindCommandWindow()) << "the path compared in upper case";
  plat::ShowWindow(windows[0], plat::SW_HIDE);
  EXPECT_EQ(0u, TOOLFUNC_process::FindCommandWindow());
  for (plat::HWND made : windows) plat::RemoveWindowForTesting(made);
}

TEST_F(ProcessLibrary, FindCommandWindowWithoutTheLibraryWarnsForEachVisibleWindow) {
  std::vector<plat::HWND> windows;
  for (int i = 0; i < 3; ++i) windows.push_back(plat::CreateWindowForTesting(nullptr, 0));
  plat::ShowWindow(windows[1], plat::SW_HIDE);
  EXPECT_EQ(0u, TOOLFUNC_process::FindCommandWindow());
  EXPECT_EQ(2u, plat::TakeMessageBoxes().size());
  for (plat::HWND made : windows) plat::RemoveWindowForTesting(made);
}

TEST(FindProcessByModule, MatchesTheWholePathWithinTheText) {
  // A program of its own, so that no other process on the machine has the same path.
  testsupport::TempDir dir;
  std::string program = dir / "VelcoraSleeper";
  std::filesystem::copy_file("/bin/sleep", program);
  Sleeper child(program);
  // The tool looks at the first 256 identifiers only, as the system it serves did.
  plat::DWORD ids[256];
  plat::DWORD used = 0;
  ASSERT_TRUE(plat::EnumProcesses(ids, sizeof(ids), &used));
  if (std::find(ids, ids + used / sizeof(plat::DWORD), child.pid) == ids + used / sizeof(plat::DWORD))
    GTEST_SKIP() << "the child is not among the first 256 processes of this machine";
  std::string path = child.Path();
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(child.pid, TOOLFUNC_process::FindProcessByModule(("\"" + lower + "\" 30").c_str()));
  EXPECT_EQ(0u, TOOLFUNC_process::FindProcessByModule("VELCORASLEEPER"));
  EXPECT_EQ(0u, TOOLFUNC_process::FindProcessByModule(""));
}

class Privileges : public ::testing::Test {
 protected:
  void TearDown() override { plat::SetHeldPrivilegesForTesting({}); }
};

TEST_F(Privileges, SetTokenPrivilegeGivesOneOnlyForAHeldKnownPrivilege) {
  plat::SetHeldPrivilegesForTesting({"SeDebugPrivilege"});
  plat::HANDLE token = nullptr;
  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_ADJUST_PRIVILEGES, &token));
  struct Case {
    const char* name;
    plat::BOOL enable;
    plat::BOOL expected;
  } cases[] = {
      {"SeDebugPrivilege", plat::TRUE, 1},
      {"SeDebugPrivilege", plat::FALSE, 1},
      {"SeTakeOwnershipPrivilege", plat::TRUE, 0},
      {"SeNoSuchPrivilege", plat::TRUE, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, TOOLFUNC_process::SetTokenPrivilege(token, c.name, c.enable)) << c.name;
    EXPECT_EQ(c.expected && c.enable, plat::IsPrivilegeEnabledForTesting(c.name)) << c.name;
  }
  plat::CloseHandle(token);
}

TEST_F(Privileges, EnablePrivilegeEnablesInTheOwnToken) {
  EXPECT_EQ(0, TOOLFUNC_process::EnablePrivilege("SeShutdownPrivilege"));
  plat::SetHeldPrivilegesForTesting({"SeShutdownPrivilege"});
  EXPECT_EQ(1, TOOLFUNC_process::EnablePrivilege("SeShutdownPrivilege"));
  EXPECT_TRUE(plat::IsPrivilegeEnabledForTesting("SeShutdownPrivilege"));
}

TEST_F(Privileges, KillProcessLeavesTheProcessAloneWithoutTheDebugPrivilege) {
  Sleeper child;
  EXPECT_EQ(0, TOOLFUNC_process::KillProcess(child.pid));
  EXPECT_TRUE(child.Running());
}

TEST_F(Privileges, KillProcessEndsTheProcessAndDisablesThePrivilegeAgain) {
  plat::SetHeldPrivilegesForTesting({"SeDebugPrivilege"});
  Sleeper child;
  EXPECT_EQ(1, TOOLFUNC_process::KillProcess(child.pid));
  EXPECT_EQ(plat::WAIT_OBJECT_0, plat::WaitForSingleObject(child.process, 30000));
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeDebugPrivilege"));
  EXPECT_EQ(0, TOOLFUNC_process::KillProcess(0x7FFFFFF0));
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeDebugPrivilege"));
}

class GrantFileAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::TakeDebugOutput();
    plat::TakeSecurityCallsForTesting();
  }
  void TearDown() override { plat::SetHeldPrivilegesForTesting({}); }
  // A file the account does not own: its own file given to another account, or else one of root's.
  std::string ForeignFile() {
    if (geteuid() != 0) return testsupport::WindowsForm("/etc/passwd");
    std::string path = m_dir / "foreign.txt";
    testsupport::WriteFile(path, "x");
    EXPECT_EQ(0, chown(path.c_str(), 65534, 65534));
    return testsupport::WindowsForm(path);
  }
  static std::vector<std::string> Traces() {
    std::vector<std::string> traces = plat::TakeDebugOutput();
    for (std::string& trace : traces) {
      EXPECT_EQ(0u, trace.rfind("VELCORA: ", 0)) << trace;
      trace = trace.substr(9, trace.size() - 10);
    }
    return traces;
  }
  testsupport::TempDir m_dir;
};

TEST_F(GrantFileAccess, SetsEveryoneAndTheAdministratorsOnAFileTheAccountMayChange) {
  std::string path = m_dir / "own.txt";
  testsupport::WriteFile(path, "x");
  EXPECT_EQ(1, TOOLFUNC_process::GrantFileAccess(testsupport::WindowsForm(path).c_str()));
  EXPECT_TRUE(Traces().empty());
  std::vector<plat::SecurityCallRecord> calls = plat::TakeSecurityCallsForTesting();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(testsupport::WindowsForm(path), calls[0].objectName);
  EXPECT_EQ(plat::DACL_SECURITY_INFORMATION, calls[0].securityInfo);
  ASSERT_EQ(2u, calls[0].dacl.size());
  const std::pair<const char*, plat::TRUSTEE_TYPE> trustees[] = {
      {"S-1-1-0", plat::TRUSTEE_IS_WELL_KNOWN_GROUP}, {"S-1-5-32-544", plat::TRUSTEE_IS_GROUP}};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(trustees[i].first, calls[0].dacl[i].trustee);
    EXPECT_EQ(trustees[i].second, calls[0].dacl[i].trusteeType);
    EXPECT_EQ(0x10000000u, calls[0].dacl[i].permissions);
    EXPECT_EQ(plat::SET_ACCESS, calls[0].dacl[i].mode);
    EXPECT_EQ(0u, calls[0].dacl[i].inheritance);
  }
}

TEST_F(GrantFileAccess, ALongPathReachesTheFileWhole) {
  std::string directory = m_dir.path();
  for (int i = 0; i < 6; ++i) directory += "/" + std::string(50, static_cast<char>('a' + i));
  std::filesystem::create_directories(directory);
  std::string path = directory + "/own.txt";
  testsupport::WriteFile(path, "x");
  ASSERT_GT(testsupport::WindowsForm(path).size(), 300u);
  EXPECT_EQ(1, TOOLFUNC_process::GrantFileAccess(testsupport::WindowsForm(path).c_str()));
  std::vector<plat::SecurityCallRecord> calls = plat::TakeSecurityCallsForTesting();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(testsupport::WindowsForm(path), calls[0].objectName);
}

TEST_F(GrantFileAccess, AMissingFileGivesZeroWithoutTrace) {
  EXPECT_EQ(0, TOOLFUNC_process::GrantFileAccess(testsupport::WindowsForm(m_dir / "missing.txt").c_str()));
  EXPECT_TRUE(Traces().empty());
  EXPECT_EQ(1u, plat::TakeSecurityCallsForTesting().size());
}

TEST_F(GrantFileAccess, WithoutTheOwnershipPrivilegeAForeignFileStaysAsItWas) {
  EXPECT_EQ(0, TOOLFUNC_process::GrantFileAccess(ForeignFile().c_str()));
  EXPECT_EQ(std::vector<std::string>{"SetTokenPrivilege (1) failed"}, Traces());
  EXPECT_EQ(1u, plat::TakeSecurityCallsForTesting().size());
}

TEST_F(GrantFileAccess, TakesOwnershipForTheAdministratorsAndSetsTheListAgain) {
  plat::SetHeldPrivilegesForTesting({"SeTakeOwnershipPrivilege"});
  std::string file = ForeignFile();
  EXPECT_EQ(1, TOOLFUNC_process::GrantFileAccess(file.c_str()));
  EXPECT_EQ((std::vector<std::string>{"SetNamedSecurityInfo (2) returns: 0",
                                      "SetNamedSecurityInfo (3) returns: 0"}),
            Traces());
  std::vector<plat::SecurityCallRecord> calls = plat::TakeSecurityCallsForTesting();
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(5u, calls[0].result);
  EXPECT_EQ(plat::OWNER_SECURITY_INFORMATION, calls[1].securityInfo);
  EXPECT_EQ("S-1-5-32-544", calls[1].owner);
  EXPECT_EQ(plat::DACL_SECURITY_INFORMATION, calls[2].securityInfo);
  EXPECT_EQ(2u, calls[2].dacl.size());
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeTakeOwnershipPrivilege"));
}

struct DelayedOpen {
  TOOLFUNC_process::ShellExecuteBlock block = {};
  std::promise<void> handleStored;
  std::promise<void> unwound;
  // The pauses the thread asked for; it is held at the start of the first until the test lets it go.
  std::vector<plat::DWORD> pauses;
  std::promise<void> firstPauseReached;
  std::promise<void> firstPauseMayEnd;
};

plat::DWORD RunDelayedShellExecute(plat::LPVOID parameter) {
  auto* open = static_cast<DelayedOpen*>(parameter);
  UnwindSignal signal{open->unwound};
  open->handleStored.get_future().wait();
  return TOOLFUNC_process::DelayedShellExecute(&open->block);
}

TEST(DelayedShellExecute, OpensTheTextAfterAPauseAndEndsItsThread) {
  plat::TakeShellExecutions();
  DelayedOpen open;
  std::snprintf(open.block.text, sizeof(open.block.text), "%s", "C:\\no\\such\\VELCORA0.LOG");
  plat::HANDLE thread = plat::CreateThread(nullptr, 0, RunDelayedShellExecute, &open, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  open.block.thread = thread;
  plat::SetSleepObserver([&open](plat::DWORD milliseconds) {
    open.pauses.push_back(milliseconds);
    if (open.pauses.size() > 1) return;
    open.firstPauseReached.set_value();
    open.firstPauseMayEnd.get_future().wait();
  });
  open.handleStored.set_value();
  std::future<void> ended = open.unwound.get_future();
  std::future<void> firstPause = open.firstPauseReached.get_future();
  EXPECT_EQ(std::future_status::ready, firstPause.wait_for(std::chrono::seconds(30)));
  EXPECT_EQ(std::future_status::timeout, ended.wait_for(std::chrono::seconds(0)));
  EXPECT_TRUE(plat::TakeShellExecutions().empty()) << "opened before the first pause ended";
  open.firstPauseMayEnd.set_value();
  ended.wait();
  plat::SetSleepObserver(nullptr);
  EXPECT_EQ((std::vector<plat::DWORD>{100, 100}), open.pauses) << "a pause before and after the opening";
  EXPECT_EQ(nullptr, open.block.thread.load());
  EXPECT_FALSE(plat::CloseHandle(thread)) << "the thread closed its own handle";
  std::vector<plat::ShellExecution> opened = plat::TakeShellExecutions();
  ASSERT_EQ(1u, opened.size());
  EXPECT_EQ(nullptr, opened[0].owner);
  EXPECT_EQ("C:\\no\\such\\VELCORA0.LOG", opened[0].file);
  EXPECT_EQ(1, opened[0].showCommand);
}

class AdapterAddress : public ::testing::Test {
 protected:
  void TearDown() override { plat::SetNetbiosAdaptersForTesting(std::nullopt); }
};

TEST_F(AdapterAddress, WithoutAdaptersIsAllZerosInTheSameBuffer) {
  plat::SetNetbiosAdaptersForTesting(std::vector<std::array<plat::BYTE, 6>>{});
  char* first = TOOLFUNC_process::GetAdapterAddress();
  EXPECT_STREQ("000000000000", first);
  EXPECT_EQ(first, TOOLFUNC_process::GetAdapterAddress());
}

TEST_F(AdapterAddress, IsTheFirstAdaptersAddressInUpperCaseHex) {
  plat::SetNetbiosAdaptersForTesting(
      std::vector<std::array<plat::BYTE, 6>>{{0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xef}, {1, 1, 1, 1, 1, 1}});
  EXPECT_STREQ("001A2BC3D4EF", TOOLFUNC_process::GetAdapterAddress());
}

}  // namespace
