// Tests of global memory blocks: contents, lock counts, freeing and the errors of bad handles.
#include "plat/testing/global_memory.h"

#include <gtest/gtest.h>

#include "plat/error.h"

namespace {

TEST(GlobalMemory, ZeroInitialisedBlockHasItsSizeAndKeepsItsAddressWhileLocked) {
  plat::HGLOBAL block = plat::GlobalAlloc(plat::GMEM_MOVEABLE | plat::GMEM_ZEROINIT, 300);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(300u, plat::GlobalSize(block));
  auto* bytes = static_cast<unsigned char*>(plat::GlobalLock(block));
  ASSERT_NE(nullptr, bytes);
  EXPECT_NE(static_cast<void*>(bytes), block) << "a movable block's handle is not its address";
  for (int i = 0; i < 300; ++i) ASSERT_EQ(0, bytes[i]) << "byte " << i;
  bytes[299] = 0x5A;
  EXPECT_EQ(bytes, plat::GlobalLock(block));
  EXPECT_EQ(0x5A, bytes[299]);
  plat::GlobalUnlock(block);
  plat::GlobalUnlock(block);
  EXPECT_EQ(nullptr, plat::GlobalFree(block));
}

TEST(GlobalMemory, UnlockCountsTheLocksDown) {
  plat::HGLOBAL block = plat::GlobalAlloc(plat::GMEM_MOVEABLE, 8);
  ASSERT_NE(nullptr, plat::GlobalLock(block));
  ASSERT_NE(nullptr, plat::GlobalLock(block));
  EXPECT_NE(plat::FALSE, plat::GlobalUnlock(block)) << "still locked once";
  plat::SetLastError(plat::ERROR_INVALID_DATA);
  EXPECT_EQ(plat::FALSE, plat::GlobalUnlock(block));
  EXPECT_EQ(plat::ERROR_SUCCESS, plat::GetLastError()) << "unlocked by this call";
  EXPECT_EQ(plat::FALSE, plat::GlobalUnlock(block));
  EXPECT_EQ(158u, plat::GetLastError()) << "ERROR_NOT_LOCKED: there was no lock left";
  plat::GlobalFree(block);
}

TEST(GlobalMemory, FreesALockedBlockAndThenKnowsItsHandleNoMore) {
  const size_t before = plat::GlobalBlockCountForTesting();
  plat::HGLOBAL block = plat::GlobalAlloc(plat::GMEM_MOVEABLE | plat::GMEM_DDESHARE, 16);
  ASSERT_NE(nullptr, plat::GlobalLock(block));
  EXPECT_EQ(before + 1, plat::GlobalBlockCountForTesting());
  EXPECT_EQ(nullptr, plat::GlobalFree(block));
  EXPECT_EQ(before, plat::GlobalBlockCountForTesting());
  plat::HGLOBAL next = plat::GlobalAlloc(plat::GMEM_MOVEABLE, 16);
  EXPECT_NE(block, next) << "a freed handle is not handed out again";
  plat::GlobalFree(next);

  plat::HGLOBAL unknown = reinterpret_cast<plat::HGLOBAL>(static_cast<uintptr_t>(0x7));
  for (plat::HGLOBAL bad : {block, unknown}) {
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::GlobalLock(bad));
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
    plat::SetLastError(0);
    EXPECT_EQ(plat::FALSE, plat::GlobalUnlock(bad));
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
    plat::SetLastError(0);
    EXPECT_EQ(0u, plat::GlobalSize(bad));
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
    plat::SetLastError(0);
    EXPECT_EQ(bad, plat::GlobalFree(bad)) << "a failed free gives the handle back";
    EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
  }
  EXPECT_EQ(nullptr, plat::GlobalFree(nullptr));
}

TEST(GlobalMemory, AnEmptyBlockCannotBeLocked) {
  plat::HGLOBAL block = plat::GlobalAlloc(plat::GMEM_MOVEABLE, 0);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(0u, plat::GlobalSize(block));
  EXPECT_EQ(nullptr, plat::GlobalLock(block));
  EXPECT_EQ(nullptr, plat::GlobalFree(block));
}

TEST(GlobalMemory, AFailedAllocationReportsMissingMemoryOnce) {
  const size_t before = plat::GlobalBlockCountForTesting();
  plat::FailNextGlobalAllocForTesting();
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::GlobalAlloc(plat::GMEM_MOVEABLE, 10));
  EXPECT_EQ(plat::ERROR_NOT_ENOUGH_MEMORY, plat::GetLastError());
  EXPECT_EQ(before, plat::GlobalBlockCountForTesting());
  plat::HGLOBAL block = plat::GlobalAlloc(plat::GMEM_MOVEABLE, 10);
  EXPECT_NE(nullptr, block) << "only the next allocation fails";
  plat::GlobalFree(block);
}

}  // namespace
