// Tests of the window tools of the programs (popup menu at the cursor, BringWindowToFront, numbers as window
// text) on windows made by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/testing/shell.h"
#include "plat/testing/window.h"
#include "plat/window.h"
#include "plat/winmain.h"

namespace {

constexpr plat::DWORD kTag = 0xFE93852A;

class WindowToolsTest : public ::testing::Test {
 protected:
  ~WindowToolsTest() override {
    for (plat::HWND window : m_topLevel) plat::RemoveWindowForTesting(window);
  }
  plat::HWND TopLevel(plat::LONG_PTR userData = 0) {
    m_topLevel.push_back(plat::CreateWindowForTesting(nullptr, userData));
    return m_topLevel.back();
  }
  std::vector<plat::HWND> m_topLevel;
};

TEST_F(WindowToolsTest, BringWindowToFrontRestoresAndRaises) {
  plat::HWND applet = TopLevel(kTag);
  TopLevel();
  plat::ShowWindow(applet, plat::SW_SHOWMINIMIZED);
  TOOLFUNC_window::BringWindowToFront(applet);
  EXPECT_FALSE(plat::IsIconic(applet));
  EXPECT_EQ(applet, plat::GetForegroundWindow());
  EXPECT_EQ(applet, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
}

TEST_F(WindowToolsTest, PopupMenuOpensRightOfTheCursorForTheForegroundWindow) {
  plat::HWND owner = TopLevel();
  plat::HWND other = TopLevel();
  plat::SetForegroundWindow(other);
  plat::HMENU menu = plat::CreatePopupMenu();
  plat::AppendMenuA(menu, plat::MF_STRING, 32778, "Stop");
  plat::SetCursorPos(100, 50);
  plat::TakePopupMenuCalls();
  plat::HWND foregroundWhenShown = nullptr;
  plat::SetPopupMenuChoiceForTesting([&foregroundWhenShown](plat::HMENU) {
    foregroundWhenShown = plat::GetForegroundWindow();
    return 32778u;
  });

  EXPECT_NE(0, TOOLFUNC_window::TrackPopupMenuAtCursor(owner, menu));
  plat::SetPopupMenuChoiceForTesting(nullptr);
  EXPECT_EQ(owner, foregroundWhenShown);
  std::vector<plat::PopupMenuCall> calls = plat::TakePopupMenuCalls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(menu, calls[0].menu);
  EXPECT_EQ(2u, calls[0].flags) << "TPM_RIGHTBUTTON, left and top aligned";
  EXPECT_EQ(110, calls[0].x);
  EXPECT_EQ(50, calls[0].y);
  EXPECT_EQ(owner, calls[0].window);

  plat::MSG message;
  ASSERT_TRUE(plat::PeekMessageA(&message, owner, 0, 0, plat::PM_REMOVE));
  EXPECT_EQ(plat::WM_COMMAND, message.message);
  EXPECT_EQ(32778u, message.wParam);
  EXPECT_FALSE(plat::PeekMessageA(&message, owner, 0, 0, plat::PM_REMOVE));

  plat::DestroyMenu(menu);
  plat::SetLastError(0);
  EXPECT_EQ(0, TOOLFUNC_window::TrackPopupMenuAtCursor(owner, menu)) << "a failure is handed back";
  EXPECT_EQ(1401u, plat::GetLastError());
  plat::SetCursorPos(0, 0);
}

class WindowNumberTest : public ::testing::Test {
 protected:
  ~WindowNumberTest() override { plat::RemoveWindowForTesting(m_window); }
  std::string Text() {
    char text[64] = {};
    plat::GetWindowTextA(m_window, text, sizeof text);
    return text;
  }
  plat::HWND m_window = plat::CreateWindowForTesting(nullptr, 0);
};

TEST_F(WindowNumberTest, SetWindowNumberWritesABlankAndTheNumber) {
  struct Case {
    plat::DWORD number;
    const char* expected;
  } cases[] = {{7, " 7"}, {0, " 0"}, {4294967295u, " 4294967295"}};
  for (const Case& c : cases) {
    TOOLFUNC_window::SetWindowNumber(m_window, c.number);
    EXPECT_EQ(c.expected, Text());
  }
}

TEST_F(WindowNumberTest, GetWindowNumberReadsTheFirst30Characters) {
  struct Case {
    std::string text;
    plat::LONG expected;
  } cases[] = {
      {" -12abc", -12},
      {" 7", 7},
      {"", 0},
      {"abc", 0},
      {"99999999999", 2147483647},
      {std::string(29, ' ') + "5", 5},
      {std::string(30, ' ') + "5", 0},
      {std::string(28, ' ') + "123", 12},
  };
  for (const Case& c : cases) {
    plat::SetWindowTextA(m_window, c.text.c_str());
    EXPECT_EQ(c.expected, TOOLFUNC_window::GetWindowNumber(m_window)) << "\"" << c.text << "\"";
  }
  plat::HWND gone = plat::CreateWindowForTesting(nullptr, 0);
  plat::RemoveWindowForTesting(gone);
  EXPECT_EQ(0, TOOLFUNC_window::GetWindowNumber(gone));
}

TEST_F(WindowNumberTest, SetWindowPercentShowsTwoDecimals) {
  struct Case {
    plat::DWORD part;
    plat::DWORD whole;
    const char* expected;
  } cases[] = {
      {1, 3, "  33.33%"},
      {2, 3, "  66.67%"},
      {5, 0, "  0.00%"},
      {0, 7, "  0.00%"},
      {1, 1, "  100.00%"},
      {4294967295u, 4294967295u, "  100.00%"},
      {4294967295u, 1, "  429496729500"},  // cut to 14 characters
  };
  for (const Case& c : cases) {
    TOOLFUNC_window::SetWindowPercent(m_window, c.part, c.whole);
    EXPECT_EQ(c.expected, Text()) << c.part << " / " << c.whole;
  }
}

}  // namespace
