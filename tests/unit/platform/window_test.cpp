// Tests of the window tree: Z order, user data, show state and the foreground window.
#include "plat/window.h"

#include <gtest/gtest.h>

#include "plat/error.h"
#include "plat/winmain.h"

namespace {

// Windows made by a test, removed when it ends.
class WindowTest : public ::testing::Test {
 protected:
  ~WindowTest() override {
    for (plat::HWND window : m_made) plat::RemoveWindowForTesting(window);
  }
  plat::HWND Make(plat::HWND parent, plat::LONG_PTR userData = 0) {
    plat::HWND window = plat::CreateWindowForTesting(parent, userData);
    if (parent == nullptr) m_made.push_back(window);
    return window;
  }
  std::vector<plat::HWND> m_made;
};

TEST_F(WindowTest, NewWindowsGoOnTopOfTheirSiblings) {
  plat::HWND first = Make(nullptr);
  plat::HWND second = Make(nullptr);
  EXPECT_EQ(second, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
  EXPECT_EQ(first, plat::GetWindow(second, plat::GW_HWNDNEXT));
  EXPECT_EQ(second, plat::GetWindow(first, plat::GW_HWNDPREV));
  EXPECT_EQ(second, plat::GetWindow(first, plat::GW_HWNDFIRST));
  plat::HWND child = Make(first);
  EXPECT_EQ(child, plat::GetWindow(first, plat::GW_CHILD));
  EXPECT_EQ(nullptr, plat::GetWindow(child, plat::GW_HWNDNEXT));
  EXPECT_EQ(nullptr, plat::GetWindow(child, plat::GW_CHILD));
}

TEST_F(WindowTest, UserDataKeepsAllBitsAndTheLongFormItsLow32) {
  plat::HWND window = Make(nullptr, 0);
  EXPECT_EQ(0, plat::SetWindowLongPtrA(window, plat::GWLP_USERDATA, 0xFE93852A));
  EXPECT_EQ(0xFE93852Au, static_cast<uint32_t>(plat::GetWindowLongA(window, plat::GWL_USERDATA)));
  EXPECT_EQ(0xFE93852A, plat::GetWindowLongPtrA(window, plat::GWLP_USERDATA));
  plat::SetLastError(0);
  EXPECT_EQ(0, plat::GetWindowLongPtrA(window, -4));
  EXPECT_EQ(87u, plat::GetLastError());
}

TEST_F(WindowTest, ForegroundWindowGoesOnTop) {
  plat::HWND lower = Make(nullptr);
  plat::HWND upper = Make(nullptr);
  plat::HWND child = Make(lower);
  EXPECT_TRUE(plat::SetForegroundWindow(child));
  EXPECT_EQ(lower, plat::GetForegroundWindow());
  EXPECT_EQ(lower, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
  EXPECT_EQ(upper, plat::GetWindow(lower, plat::GW_HWNDNEXT));
}

TEST_F(WindowTest, ShowStatesAndRemovedWindows) {
  plat::HWND window = Make(nullptr);
  EXPECT_TRUE(plat::IsWindowVisible(window));
  EXPECT_TRUE(plat::ShowWindow(window, plat::SW_SHOWMINIMIZED));
  EXPECT_TRUE(plat::IsIconic(window));
  plat::ShowWindow(window, plat::SW_RESTORE);
  EXPECT_FALSE(plat::IsIconic(window));
  plat::ShowWindow(window, plat::SW_HIDE);
  EXPECT_FALSE(plat::IsWindowVisible(window));

  plat::HWND child = Make(window);
  plat::RemoveWindowForTesting(window);
  m_made.clear();
  for (plat::HWND gone : {window, child}) {
    EXPECT_FALSE(plat::IsWindow(gone));
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::GetWindow(gone, plat::GW_CHILD));
    EXPECT_EQ(1400u, plat::GetLastError());
  }
  EXPECT_NE(window, Make(nullptr)) << "handles are never reused";
}

}  // namespace
