// Tests of FindWindowByUserData and BringWindowToFront on windows made by the test.
#include <gtest/gtest.h>

#include <vector>

#include "ToolFunktion.h"
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

TEST_F(WindowToolsTest, FindsTheFirstMatchDepthFirstInZOrder) {
  plat::HWND later = TopLevel(kTag);  // lowest in the Z order
  plat::HWND first = TopLevel();      // topmost
  plat::HWND inner = plat::CreateWindowForTesting(first, 0);
  plat::HWND tagged = plat::CreateWindowForTesting(inner, kTag);
  EXPECT_EQ(tagged, TOOLFUNC_window::FindWindowByUserData(plat::GetDesktopWindow(), kTag));
  EXPECT_EQ(later, TOOLFUNC_window::FindWindowByUserData(later, kTag));

  plat::SetWindowLongPtrA(first, plat::GWLP_USERDATA, kTag);
  EXPECT_EQ(first, TOOLFUNC_window::FindWindowByUserData(plat::GetDesktopWindow(), kTag))
      << "a root that carries the value is taken before its children";
  EXPECT_EQ(nullptr, TOOLFUNC_window::FindWindowByUserData(plat::GetDesktopWindow(), 0x12345678));
}

TEST_F(WindowToolsTest, BringWindowToFrontRestoresAndRaises) {
  plat::HWND applet = TopLevel(kTag);
  TopLevel();
  plat::ShowWindow(applet, plat::SW_SHOWMINIMIZED);
  TOOLFUNC_window::BringWindowToFront(applet);
  EXPECT_FALSE(plat::IsIconic(applet));
  EXPECT_EQ(applet, plat::GetForegroundWindow());
  EXPECT_EQ(applet, plat::GetWindow(plat::GetDesktopWindow(), plat::GW_CHILD));
}

}  // namespace
