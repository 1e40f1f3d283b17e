// Tests of COM start-up and shut-down per thread.
#include "plat/testing/com.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "plat/thread.h"

namespace {

using plat::ComFunction;

struct Step {
  ComFunction function;
  plat::DWORD flags;  // for CoInitializeEx
  plat::HRESULT expected;
};

constexpr plat::DWORD kApartment = 0x2;
constexpr plat::DWORD kMultithreaded = 0x0;
constexpr plat::HRESULT kChangedMode = static_cast<plat::HRESULT>(0x80010106u);

plat::HRESULT Perform(const Step& step) {
  switch (step.function) {
    case ComFunction::CoInitialize:
      return plat::CoInitialize(nullptr);
    case ComFunction::CoInitializeEx:
      return plat::CoInitializeEx(nullptr, step.flags);
    case ComFunction::CoUninitialize:
      plat::CoUninitialize();
      return 0;
  }
  return -1;
}

struct Sequence {
  const char* name;
  std::vector<Step> steps;
  plat::DWORD countAfter;
};

TEST(Com, EachThreadCountsItsStartUpsAndKeepsItsModel) {
  const Sequence sequences[] = {
      {"a second start-up with the same model is counted with S_FALSE",
       {{ComFunction::CoInitialize, 0, 0}, {ComFunction::CoInitializeEx, kApartment, 1}},
       2},
      {"the other model is refused and not counted",
       {{ComFunction::CoInitialize, 0, 0}, {ComFunction::CoInitializeEx, kMultithreaded, kChangedMode}},
       1},
      {"a multithreaded thread refuses CoInitialize",
       {{ComFunction::CoInitializeEx, kMultithreaded, 0},
        {ComFunction::CoInitialize, 0, kChangedMode},
        {ComFunction::CoInitializeEx, kMultithreaded, 1}},
       2},
      {"after the last shut-down the thread may choose again",
       {{ComFunction::CoInitialize, 0, 0},
        {ComFunction::CoUninitialize, 0, 0},
        {ComFunction::CoInitializeEx, kMultithreaded, 0}},
       1},
      {"while one start-up is left the model stays",
       {{ComFunction::CoInitialize, 0, 0},
        {ComFunction::CoInitialize, 0, 1},
        {ComFunction::CoUninitialize, 0, 0},
        {ComFunction::CoInitializeEx, kMultithreaded, kChangedMode}},
       1},
      {"shut-down of a thread never started does nothing",
       {{ComFunction::CoUninitialize, 0, 0}, {ComFunction::CoInitialize, 0, 0}},
       1},
      {"only the apartment bit chooses the model",
       {{ComFunction::CoInitializeEx, kApartment | 0x4, 0}, {ComFunction::CoInitialize, 0, 1}},
       2},
  };
  for (const Sequence& sequence : sequences) {
    SCOPED_TRACE(sequence.name);
    // A thread of its own starts without any start-up.
    std::thread([&sequence] {
      EXPECT_EQ(0u, plat::ComInitializationsForTesting());
      for (size_t i = 0; i < sequence.steps.size(); ++i)
        EXPECT_EQ(sequence.steps[i].expected, Perform(sequence.steps[i])) << "step " << i;
      EXPECT_EQ(sequence.countAfter, plat::ComInitializationsForTesting());
    }).join();
  }
  plat::TakeComCalls();
}

TEST(Com, AReservedPointerIsRefusedAndNotCounted) {
  int reserved = 0;
  EXPECT_EQ(static_cast<plat::HRESULT>(0x80070057u), plat::CoInitialize(&reserved));
  EXPECT_EQ(static_cast<plat::HRESULT>(0x80070057u), plat::CoInitializeEx(&reserved, kMultithreaded));
  EXPECT_EQ(0u, plat::ComInitializationsForTesting());
  plat::TakeComCalls();
}

TEST(Com, ThreadsChooseTheirModelsApartAndEveryCallIsListed) {
  plat::TakeComCalls();
  ASSERT_EQ(0, plat::CoInitialize(nullptr));
  plat::DWORD otherThread = 0;
  std::thread([&otherThread] {
    otherThread = plat::GetCurrentThreadId();
    EXPECT_EQ(0, plat::CoInitializeEx(nullptr, kMultithreaded)) << "the first thread's model is its own";
    plat::CoUninitialize();
  }).join();
  EXPECT_EQ(1u, plat::ComInitializationsForTesting());
  plat::CoUninitialize();

  const plat::DWORD self = plat::GetCurrentThreadId();
  std::vector<plat::ComCall> calls = plat::TakeComCalls();
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ(ComFunction::CoInitialize, calls[0].function);
  EXPECT_EQ(kApartment, calls[0].flags);
  EXPECT_EQ(self, calls[0].threadId);
  EXPECT_EQ(ComFunction::CoInitializeEx, calls[1].function);
  EXPECT_EQ(kMultithreaded, calls[1].flags);
  EXPECT_EQ(otherThread, calls[1].threadId);
  EXPECT_EQ(ComFunction::CoUninitialize, calls[2].function);
  EXPECT_EQ(otherThread, calls[2].threadId);
  EXPECT_EQ(ComFunction::CoUninitialize, calls[3].function);
  EXPECT_EQ(self, calls[3].threadId);
  EXPECT_TRUE(plat::TakeComCalls().empty()) << "taking empties the list";
}

}  // namespace
