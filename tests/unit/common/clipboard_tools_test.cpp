// Tests of the clipboard tools against the layer's clipboard, with another owner and another program.
#include "clipboard_tools.h"

#include <gtest/gtest.h>

#include <string>

#include "plat/testing/clipboard.h"
#include "plat/testing/global_memory.h"
#include "plat/testing/window.h"

namespace {

// Two windows of this program and a clipboard that starts and ends empty and closed.
class ClipboardTools : public ::testing::Test {
 protected:
  ClipboardTools()
      : m_owner(plat::CreateWindowForTesting(nullptr, 0)), m_other(plat::CreateWindowForTesting(nullptr, 0)) {
    plat::ResetClipboardForTesting();
  }
  ~ClipboardTools() override {
    plat::ResetClipboardForTesting();
    plat::RemoveWindowForTesting(m_owner);
    plat::RemoveWindowForTesting(m_other);
  }
  // The bytes held as `format`, read the way another program would.
  std::string Held(plat::UINT format) {
    if (!plat::OpenClipboard(m_other)) return "(not open)";
    plat::HGLOBAL block = plat::GetClipboardData(format);
    std::string bytes = "(none)";
    if (block != nullptr) {
      bytes.assign(static_cast<const char*>(plat::GlobalLock(block)), plat::GlobalSize(block));
      plat::GlobalUnlock(block);
    }
    plat::CloseClipboard();
    return bytes;
  }
  bool OtherCanOpen() { return plat::OpenClipboard(m_other) && plat::CloseClipboard(); }
  plat::HWND m_owner;
  plat::HWND m_other;
};

TEST_F(ClipboardTools, TextGoesOnAsTerminatedTextAndTheClipboardIsClosedAgain) {
  plat::PutClipboardDataForTesting(plat::CF_LOCALE, std::string("\x07\x04\0\0", 4));
  EXPECT_EQ(1, TOOLFUNC_window::PutClipboardText(m_owner, "Anruf von 0301234"));
  EXPECT_TRUE(OtherCanOpen()) << "the clipboard was left open";
  EXPECT_EQ(std::string("Anruf von 0301234", 18), Held(plat::CF_TEXT));
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_LOCALE)) << "what was there before is gone";
}

TEST_F(ClipboardTools, ReadingTakesTheTextOffTheClipboard) {
  ASSERT_EQ(1, TOOLFUNC_window::PutClipboardText(nullptr, "Rufnummer\t4711"));
  EXPECT_STREQ("Rufnummer\t4711", TOOLFUNC_window::GetClipboardText(m_owner));
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_TEXT));
  EXPECT_TRUE(OtherCanOpen());
  EXPECT_STREQ("", TOOLFUNC_window::GetClipboardText(m_owner)) << "a second read finds nothing";
}

TEST_F(ClipboardTools, ReadsTextThenOemTextAndStopsAtTheEndOfAnUnterminatedBlock) {
  struct Case {
    const char* name;
    std::string text;     // CF_TEXT, absent when empty
    std::string oemText;  // CF_OEMTEXT, absent when empty
    const char* expected;
  };
  const Case cases[] = {
      {"text before OEM text", std::string("Text", 5), std::string("OEM", 4), "Text"},
      {"OEM text alone", "", std::string("nur OEM", 8), "nur OEM"},
      {"unterminated text", "ohne Null", "", "ohne Null"},
      {"text ending early in its block", std::string("kurz\0Rest", 9), "", "kurz"},
  };
  for (const Case& c : cases) {
    if (!c.text.empty()) plat::PutClipboardDataForTesting(plat::CF_TEXT, c.text);
    if (!c.oemText.empty()) plat::PutClipboardDataForTesting(plat::CF_OEMTEXT, c.oemText);
    EXPECT_STREQ(c.expected, TOOLFUNC_window::GetClipboardText(m_owner)) << c.name;
    EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_TEXT)) << c.name;
    EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_OEMTEXT)) << c.name;
  }
}

TEST_F(ClipboardTools, ALocaleWithoutTextGivesAnEmptyTextAndStaysOnTheClipboard) {
  const std::string locale("\x07\x04\0\0", 4);
  plat::PutClipboardDataForTesting(plat::CF_LOCALE, locale);
  EXPECT_STREQ("", TOOLFUNC_window::GetClipboardText(m_owner));
  EXPECT_EQ(locale, Held(plat::CF_LOCALE)) << "data that was not read is not destroyed";
  EXPECT_TRUE(OtherCanOpen());
}

TEST_F(ClipboardTools, ALongTextComesBackCutTo2046Characters) {
  std::string text;
  for (int i = 0; text.size() < 3000; ++i) text += static_cast<char>('a' + i % 26);
  text.resize(3000);
  ASSERT_EQ(1, TOOLFUNC_window::PutClipboardText(m_owner, text.c_str()));
  EXPECT_EQ(text.substr(0, 2046), TOOLFUNC_window::GetClipboardText(m_owner));
}

TEST_F(ClipboardTools, EveryToolGivesUpWhileAnotherOwnerHasTheClipboardOpen) {
  ASSERT_EQ(1, TOOLFUNC_window::PutClipboardText(m_owner, "bleibt"));
  const size_t blocks = plat::GlobalBlockCountForTesting();
  ASSERT_TRUE(plat::OpenClipboard(m_other));
  EXPECT_EQ(0, TOOLFUNC_window::ClearClipboard(m_owner));
  EXPECT_EQ(0, TOOLFUNC_window::PutClipboardText(m_owner, "neu"));
  EXPECT_STREQ("", TOOLFUNC_window::GetClipboardText(m_owner));
  EXPECT_EQ(blocks, plat::GlobalBlockCountForTesting()) << "the block Put could not set was freed";
  ASSERT_TRUE(plat::CloseClipboard());
  EXPECT_EQ(std::string("bleibt", 7), Held(plat::CF_TEXT));

  plat::HoldClipboardOpenForTesting(true);
  EXPECT_EQ(0, TOOLFUNC_window::ClearClipboard(m_owner)) << "another program holds it";
  plat::HoldClipboardOpenForTesting(false);
  EXPECT_EQ(std::string("bleibt", 7), Held(plat::CF_TEXT));
}

TEST_F(ClipboardTools, ClearingEmptiesAndReportsTheClose) {
  ASSERT_EQ(1, TOOLFUNC_window::PutClipboardText(m_owner, "weg"));
  EXPECT_EQ(1, TOOLFUNC_window::ClearClipboard(m_owner));
  EXPECT_FALSE(plat::IsClipboardFormatAvailable(plat::CF_TEXT));
  EXPECT_TRUE(OtherCanOpen());
}

TEST_F(ClipboardTools, PutFreesItsBlockAndClosesWhenMemoryOrTheSetFails) {
  ASSERT_EQ(1, TOOLFUNC_window::PutClipboardText(m_owner, "vorher"));
  const size_t blocks = plat::GlobalBlockCountForTesting();
  plat::FailNextGlobalAllocForTesting();
  EXPECT_EQ(0, TOOLFUNC_window::PutClipboardText(m_owner, "nie"));
  EXPECT_EQ(std::string("vorher", 7), Held(plat::CF_TEXT)) << "nothing was touched without memory";

  plat::FailNextSetClipboardDataForTesting();
  EXPECT_EQ(0, TOOLFUNC_window::PutClipboardText(m_owner, "abgelehnt"));
  EXPECT_TRUE(OtherCanOpen()) << "the clipboard was left open";
  EXPECT_EQ(blocks - 1, plat::GlobalBlockCountForTesting())
      << "the old text was emptied away and the refused block freed";
}

}  // namespace
