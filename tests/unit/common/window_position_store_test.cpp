// Tests of the window position store: round trips through the registry, the defaults of an empty key, and
// centring when a window cannot be restored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/testing/window.h"
#include "plat/window.h"
#include "support/registry_value.h"
#include "support/temp_dir.h"

using TOOLFUNC_registry::CRegTool;

namespace {

constexpr const char* kBase = "Software\\Velcora\\Monitor";

std::vector<plat::LONG> Edges(plat::HWND window) {
  plat::RECT rect{};
  plat::GetWindowRect(window, &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

class WindowPositionStoreTest : public ::testing::Test {
 protected:
  ~WindowPositionStoreTest() override {
    for (plat::HWND window : m_topLevel) plat::RemoveWindowForTesting(window);
  }
  plat::HWND Window(const char* title, int x, int y, int width, int height, plat::HWND parent = nullptr) {
    plat::HWND window = plat::CreateWindowForTesting(parent, 0);
    if (parent == nullptr) m_topLevel.push_back(window);
    plat::SetWindowTextA(window, title);
    plat::SetWindowPos(window, nullptr, x, y, width, height, plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
    return window;
  }
  std::string Stored(const char* title, const char* value) {
    return testsupport::RegistryValue(plat::HKEY_CURRENT_USER,
                                      (std::string(kBase) + "\\Windows\\" + title).c_str(), value);
  }

  testsupport::ScopedMachine m_machine;
  std::vector<plat::HWND> m_topLevel;
};

TEST_F(WindowPositionStoreTest, StoredRectanglesComeBackEvenLeftOfAndAboveTheScreen) {
  plat::HWND window = Window("Leitungen", -1200, -80, 400, 300);
  CRegTool::SaveWindowPos(window, kBase);
  EXPECT_EQ("220", Stored("Leitungen", "WndBottom"));
  EXPECT_EQ(std::to_string(static_cast<plat::DWORD>(-1200)), Stored("Leitungen", "WndLeft"));
  EXPECT_EQ(std::to_string(static_cast<plat::DWORD>(-800)), Stored("Leitungen", "WndRight"));
  EXPECT_EQ(std::to_string(static_cast<plat::DWORD>(-80)), Stored("Leitungen", "WndTop"));

  plat::SetWindowPos(window, nullptr, 5, 5, 10, 10, plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
  plat::HWND other = Window("Anrufe", 0, 0, 10, 10);
  plat::SetForegroundWindow(other);
  EXPECT_EQ(1, CRegTool::RestoreWindowPos(window, kBase));
  EXPECT_EQ((std::vector<plat::LONG>{-1200, -80, -800, 220}), Edges(window));
  EXPECT_EQ(window, plat::GetForegroundWindow()) << "placed without flags, so also activated";
}

TEST_F(WindowPositionStoreTest, NothingStoredCreatesTheKeyAndLeavesTheWindowWhereItIs) {
  plat::HWND window = Window("Neu", 30, 40, 200, 100);
  EXPECT_EQ(1, CRegTool::RestoreWindowPos(window, kBase));
  EXPECT_EQ((std::vector<plat::LONG>{30, 40, 230, 140}), Edges(window));
  EXPECT_EQ("<no value>", Stored("Neu", "WndBottom")) << "the key exists, empty";

  CRegTool::RestoreWindowPosTree(window, kBase, plat::FALSE);
  EXPECT_EQ((std::vector<plat::LONG>{30, 40, 230, 140}), Edges(window))
      << "a restorable window is not centred";
}

TEST_F(WindowPositionStoreTest, AWindowWithoutTitleIsNeitherStoredNorRestoredButCentred) {
  plat::HWND window = Window("", 0, 0, 200, 100);
  CRegTool::SaveWindowPos(window, kBase);
  EXPECT_EQ("<no key>", testsupport::RegistryValue(plat::HKEY_CURRENT_USER, kBase, "WndBottom"));
  EXPECT_EQ(0, CRegTool::RestoreWindowPos(window, kBase));
  CRegTool::RestoreWindowPosTree(window, kBase, plat::FALSE);
  EXPECT_EQ((std::vector<plat::LONG>{860, 490, 1060, 590}), Edges(window))
      << "centred on the 1920x1080 desktop";
}

TEST_F(WindowPositionStoreTest, TreesTakeTheDirectChildrenOnlyAndNeverCentreThem) {
  plat::HWND frame = Window("Hauptfenster", 100, 100, 800, 600);
  plat::HWND list = Window("Liste", 10, 10, 300, 200, frame);
  plat::HWND untitled = Window("", 20, 20, 50, 50, frame);
  plat::HWND inner = Window("Innen", 1, 1, 5, 5, list);

  CRegTool::SaveWindowPosTree(frame, kBase, plat::FALSE);
  EXPECT_EQ("<no key>", Stored("Liste", "WndBottom")) << "children only when asked";
  CRegTool::SaveWindowPosTree(frame, kBase, plat::TRUE);
  EXPECT_EQ("310", Stored("Liste", "WndBottom")) << "screen coordinates of the child";
  EXPECT_EQ("<no key>", Stored("Innen", "WndBottom")) << "grandchildren are not visited";

  for (plat::HWND window : {frame, list, untitled, inner}) {
    plat::SetWindowPos(window, nullptr, 0, 0, 1, 1, plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
  }
  CRegTool::RestoreWindowPosTree(frame, kBase, plat::TRUE);
  EXPECT_EQ((std::vector<plat::LONG>{100, 100, 900, 700}), Edges(frame));
  // The child's stored screen rectangle is taken as its place within the frame, as SetWindowPos does.
  EXPECT_EQ((std::vector<plat::LONG>{210, 210, 510, 410}), Edges(list));
  EXPECT_EQ((std::vector<plat::LONG>{100, 100, 101, 101}), Edges(untitled)) << "a child is never centred";
  EXPECT_EQ((std::vector<plat::LONG>{210, 210, 211, 211}), Edges(inner)) << "not restored";
}

}  // namespace
