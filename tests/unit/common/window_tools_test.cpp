// Tests of the window tools of the programs (popup menu at the cursor, BringWindowToFront) on windows
// made by the test.
#include <gtest/gtest.h>

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

}  // namespace
