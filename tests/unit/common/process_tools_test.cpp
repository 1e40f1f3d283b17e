// Tests of CloseHandleAndExitThread, SetProcessPriority and RunCommandLine.
#include <gtest/gtest.h>

#include <future>

#include "ToolFunktion.h"
#include "plat/handle.h"
#include "plat/process.h"
#include "plat/thread.h"

namespace {

TEST(CloseHandleAndExitThread, ReturnsWhenTheVariableHoldsZero) {
  plat::HANDLE none = nullptr;
  TOOLFUNC_process::CloseHandleAndExitThread(&none);
  EXPECT_EQ(nullptr, none);
}

struct ExitingThread {
  plat::HANDLE handle = nullptr;
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
  EXPECT_EQ(nullptr, thread.handle);
  EXPECT_FALSE(plat::CloseHandle(handle)) << "the thread closed its own handle";
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

}  // namespace
