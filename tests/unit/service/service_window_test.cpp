// The service window in application mode, in this process: start, icon, menu, power queries and end.
#include "service_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "plat/path.h"
#include "plat/testing/shell.h"
#include "plat/testing/time.h"
#include "plat/thread.h"
#include "plat/window.h"
#include "support/temp_dir.h"
#include "winmain.h"

namespace {

using namespace std::chrono_literals;

template <typename Condition>
bool WaitUntil(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

plat::UINT IconShown() {
  plat::NotifyIconState state = plat::NotifyIconStateForTesting(CServiceWindow::m_hWnd, 0x844);
  return state.shown ? plat::IconResourceForTesting(state.icon) : 0;
}

bool IsGrayed(plat::UINT item) {
  return (plat::GetMenuState(CServiceWindow::m_hPopupMenu, item, plat::MF_BYCOMMAND) & plat::MF_GRAYED) != 0;
}

// One test, in order: the window object exists once per process.
TEST(ServiceWindow, RunsAsAnOrdinaryProgramUntilEnd) {
  testsupport::ScopedMachine machine;
  testsupport::TempDir dir;
  std::string settings = dir / "VELCORA.INI";
  testsupport::WriteFile(settings,
                         "[General]\r\nDriver=" + plat::ToWindowsPath(SIMTSP_DIR) +
                             "\\SIMTSP.TSP\r\nFeatureOrigin=2\r\nDebugLine=17\r\n"
                             // Beyond the 32-bit range, stopped at its limits rather than wrapped to 0.
                             "FeatureFilterFeatures=4294967296\r\nFeatureRefreshStatus=-4294967296\r\n");
  std::snprintf(g_szIniFile, sizeof(g_szIniFile), "%s", settings.c_str());
  plat::SetTimeScaleForTesting(0);

  // The program's thread writes the window, menu and line list while it starts: they are read here
  // only once it tells that the start is over.
  std::promise<void> started;
  std::promise<int> loopResult;
  std::thread program([&] {
    CServiceWindow window;
    started.set_value();
    loopResult.set_value(window.Loop());
  });

  ASSERT_EQ(std::future_status::ready, started.get_future().wait_for(60s));
  EXPECT_EQ(130u, IconShown()) << "added paused, switched to running";
  EXPECT_EQ("Wendrath Velcora", plat::NotifyIconStateForTesting(CServiceWindow::m_hWnd, 0x844).tip);
  EXPECT_TRUE(IsGrayed(32777));
  EXPECT_FALSE(IsGrayed(32778));
  EXPECT_EQ(4, CServiceWindow::m_pLineRoot->GetNumberOfObjects() - 1);
  EXPECT_STREQ("201", CServiceWindow::m_pLineRoot->GetNext()->GetAddress());
  EXPECT_TRUE(g_bFeatureOrigin);
  EXPECT_TRUE(g_bFeatureFilterFeatures);
  EXPECT_TRUE(g_bFeatureRefreshStatus);

  // "Stop" pauses, "Continue" resumes: the picture and which item is enabled swap.
  plat::PostMessageA(CServiceWindow::m_hWnd, plat::WM_COMMAND, 32778, 0);
  ASSERT_TRUE(WaitUntil([] { return IconShown() == 131; }));
  EXPECT_FALSE(IsGrayed(32777));
  EXPECT_TRUE(IsGrayed(32778));
  plat::PostMessageA(CServiceWindow::m_hWnd, plat::WM_COMMAND, 32777, 0);
  ASSERT_TRUE(WaitUntil([] { return IconShown() == 130; }));
  EXPECT_TRUE(IsGrayed(32777));
  EXPECT_FALSE(IsGrayed(32778));
  plat::PostMessageA(CServiceWindow::m_hWnd, plat::WM_COMMAND, 0x10000 | 32778, 0);

  EXPECT_EQ(0x424D5144, plat::SendMessageA(CServiceWindow::m_hWnd, plat::WM_POWERBROADCAST, 0, 0));
  EXPECT_EQ(0x424D5144, plat::SendMessageA(CServiceWindow::m_hWnd, plat::WM_POWERBROADCAST, 1, 0));
  EXPECT_EQ(1, plat::SendMessageA(CServiceWindow::m_hWnd, plat::WM_POWERBROADCAST, 7, 0));
  EXPECT_EQ(130u, IconShown()) << "a command with high bits set matches no item";

  // A lost icon comes back within the icon thread's 250 passes.
  plat::LoseNotifyIconsForTesting();
  EXPECT_TRUE(WaitUntil([] { return IconShown() == 130; }));

  // The right button opens the menu at the cursor; choosing "End" ends the program.
  plat::SetCursorPos(100, 50);
  plat::SetPopupMenuChoiceForTesting([](plat::HMENU) { return 32779u; });
  plat::PostMessageA(CServiceWindow::m_hWnd, 0x469, 0x844, 0x0205);
  std::future<int> result = loopResult.get_future();
  ASSERT_EQ(std::future_status::ready, result.wait_for(10s));
  EXPECT_EQ(0, result.get());
  program.join();
  plat::SetPopupMenuChoiceForTesting(nullptr);
  std::vector<plat::PopupMenuCall> popups = plat::TakePopupMenuCalls();
  ASSERT_EQ(1u, popups.size());
  EXPECT_EQ(110, popups[0].x);
  EXPECT_EQ(50, popups[0].y);

  EXPECT_FALSE(plat::NotifyIconStateForTesting(nullptr, 0x844).shown);
  EXPECT_NE(std::string::npos, testsupport::ReadFile(settings).find("DebugLine=17\r\n"));
  EXPECT_EQ(nullptr, CServiceWindow::m_pLineRoot);
}

}  // namespace
