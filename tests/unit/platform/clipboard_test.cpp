// Tests of the clipboard: who may open it, what only the opener may do, and who frees the blocks.
#include "plat/testing/clipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "plat/error.h"
#include "plat/global_memory.h"
#include "plat/testing/window.h"

namespace {

class Clipboard : public ::testing::Test {
 protected:
  Clipboard()
      : m_first(plat::CreateWindowForTesting(nullptr, 0)),
        m_second(plat::CreateWindowForTesting(nullptr, 0)) {
    plat::ResetClipboardForTesting();
  }
  ~Clipboard() override {
    plat::ResetClipboardForTesting();
    plat::RemoveWindowForTesting(m_first);
    plat::RemoveWindowForTesting(m_second);
  }
  static plat::HGLOBAL Block(const std::string& text) {
    plat::HGLOBAL block = plat::GlobalAlloc(plat::GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(plat::GlobalLock(block), text.c_str(), text.size() + 1);
    plat::GlobalUnlock(block);
    return block;
  }
  static std::string TextOf(plat::HGLOBAL block) {
    const char* bytes = static_cast<const char*>(plat::GlobalLock(block));
    std::string text(bytes, plat::GlobalSize(block));
    plat::GlobalUnlock(block);
    return text;
  }
  // The result of a call made on a thread of its own.
  template <typename Call>
  static auto OnOtherThread(Call call) {
    decltype(call()) result{};
    plat::DWORD error = 0;
    std::thread([&] {
      result = call();
      error = plat::GetLastError();
    }).join();
    return std::make_pair(result, error);
  }
  plat::HWND m_first;
  plat::HWND m_second;
};

TEST_F(Clipboard, KeepsEachFormatsBlockUntilEmptiedAndDerivesNoOther) {
  ASSERT_TRUE(plat::OpenClipboard(m_first));
  ASSERT_TRUE(plat::EmptyClipboard());
  plat::HGLOBAL text = Block("Zeile");
  plat::HGLOBAL locale = Block("\x07\x04");
  EXPECT_EQ(text, plat::SetClipboardData(plat::CF_TEXT, text));
  EXPECT_EQ(locale, plat::SetClipboardData(plat::CF_LOCALE, locale));
  ASSERT_TRUE(plat::CloseClipboard());

  EXPECT_TRUE(plat::IsClipboardFormatAvailable(plat::CF_TEXT)) << "asked without opening";
  EXPECT_TRUE(plat::IsClipboardFormatAvailable(plat::CF_LOCALE));
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_OEMTEXT)) << "no text form is made up";
  ASSERT_TRUE(plat::OpenClipboard(m_second));
  EXPECT_EQ(text, plat::GetClipboardData(plat::CF_TEXT));
  EXPECT_EQ(std::string("Zeile", 6), TextOf(text));
  EXPECT_EQ(nullptr, plat::GetClipboardData(plat::CF_OEMTEXT));

  ASSERT_TRUE(plat::EmptyClipboard());
  EXPECT_EQ(0u, plat::GlobalSize(text)) << "the clipboard freed the block it owned";
  EXPECT_EQ(plat::ERROR_INVALID_HANDLE, plat::GetLastError());
  EXPECT_EQ(0u, plat::GlobalSize(locale));
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_TEXT));
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_LOCALE));
  EXPECT_TRUE(plat::CloseClipboard());
}

TEST_F(Clipboard, ANewBlockOfAFormatFreesTheOldOne) {
  ASSERT_TRUE(plat::OpenClipboard(nullptr));
  plat::HGLOBAL old = Block("alt");
  plat::HGLOBAL replacement = Block("neu");
  plat::SetClipboardData(plat::CF_TEXT, old);
  EXPECT_EQ(old, plat::SetClipboardData(plat::CF_TEXT, old)) << "setting the same block again keeps it";
  EXPECT_EQ(4u, plat::GlobalSize(old));
  plat::SetClipboardData(plat::CF_TEXT, replacement);
  EXPECT_EQ(0u, plat::GlobalSize(old));
  EXPECT_EQ(replacement, plat::GetClipboardData(plat::CF_TEXT));
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::SetClipboardData(plat::CF_OEMTEXT, nullptr));
  EXPECT_EQ(plat::ERROR_INVALID_PARAMETER, plat::GetLastError());
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_OEMTEXT));
  plat::CloseClipboard();
}

TEST_F(Clipboard, OnlyOneOwnerAtATimeMayOpenIt) {
  ASSERT_TRUE(plat::OpenClipboard(m_first));
  EXPECT_TRUE(plat::OpenClipboard(m_first)) << "the same owner again";
  plat::SetLastError(0);
  EXPECT_FALSE(plat::OpenClipboard(m_second));
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, plat::GetLastError());
  EXPECT_FALSE(plat::OpenClipboard(nullptr));
  auto other = OnOtherThread([this] { return plat::OpenClipboard(m_first); });
  EXPECT_EQ(plat::FALSE, other.first) << "the same window, but another thread";
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, other.second);

  ASSERT_TRUE(plat::CloseClipboard());
  EXPECT_TRUE(plat::OpenClipboard(m_second)) << "free again once closed";
  EXPECT_TRUE(plat::CloseClipboard());

  plat::HWND gone = plat::CreateWindowForTesting(nullptr, 0);
  plat::RemoveWindowForTesting(gone);
  plat::SetLastError(0);
  EXPECT_FALSE(plat::OpenClipboard(gone));
  EXPECT_EQ(plat::ERROR_INVALID_WINDOW_HANDLE, plat::GetLastError());
}

TEST_F(Clipboard, WhatNeedsTheClipboardOpenFailsForOtherThreadsAndWhenClosed) {
  plat::PutClipboardDataForTesting(plat::CF_TEXT, "da");
  plat::HGLOBAL spare = Block("x");
  auto expectNotOpen = [](const char* what, auto result) {
    EXPECT_FALSE(result.first) << what;
    EXPECT_EQ(plat::ERROR_CLIPBOARD_NOT_OPEN, result.second) << what;
  };
  auto allCalls = [&](auto run) {
    expectNotOpen("EmptyClipboard", run([] { return plat::EmptyClipboard(); }));
    expectNotOpen("GetClipboardData", run([] { return plat::GetClipboardData(plat::CF_TEXT) != nullptr; }));
    expectNotOpen("SetClipboardData",
                  run([spare] { return plat::SetClipboardData(plat::CF_TEXT, spare) != nullptr; }));
    expectNotOpen("CloseClipboard", run([] { return plat::CloseClipboard(); }));
  };
  auto onThisThread = [](auto call) {
    plat::SetLastError(0);
    auto result = call();
    return std::make_pair(result, plat::GetLastError());
  };
  allCalls(onThisThread);
  ASSERT_TRUE(plat::OpenClipboard(m_first));
  allCalls([](auto call) { return OnOtherThread(call); });
  EXPECT_EQ(std::string("da"), TextOf(plat::GetClipboardData(plat::CF_TEXT))) << "nothing was emptied";
  EXPECT_TRUE(plat::CloseClipboard());
  EXPECT_EQ(nullptr, plat::GlobalFree(spare)) << "the block stayed the caller's";
}

TEST_F(Clipboard, AnotherProgramCanHoldItOpenAndLeaveUnterminatedData) {
  plat::PutClipboardDataForTesting(plat::CF_TEXT, "ohne Ende");
  plat::HoldClipboardOpenForTesting(true);
  plat::SetLastError(0);
  EXPECT_FALSE(plat::OpenClipboard(nullptr));
  EXPECT_EQ(plat::ERROR_ACCESS_DENIED, plat::GetLastError());
  EXPECT_FALSE(plat::CloseClipboard()) << "this thread cannot close it for the other program";
  plat::HoldClipboardOpenForTesting(false);

  ASSERT_TRUE(plat::OpenClipboard(nullptr));
  plat::HGLOBAL block = plat::GetClipboardData(plat::CF_TEXT);
  EXPECT_EQ(9u, plat::GlobalSize(block));
  EXPECT_EQ(std::string("ohne Ende"), TextOf(block));
  plat::CloseClipboard();
}

}  // namespace
