// Tests of the window-tree tools: the searches, the owner walk, centring, bits, rectangles and icons, on
// windows made by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/testing/window.h"
#include "plat/window.h"

namespace {

constexpr plat::DWORD kTag = 0xFE93852A;
constexpr const char* kClassName = "ListeFenster";

plat::HICON IconAt(char& marker) { return reinterpret_cast<plat::HICON>(&marker); }

// The small icon WM_GETICON asks for second is the one this class answers with.
char g_answeredIcon;
plat::LRESULT AnswersSecondSmallIcon(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                     plat::LPARAM lParam) {
  if (message == plat::WM_GETICON && wParam == plat::ICON_SMALL2) {
    return reinterpret_cast<plat::LRESULT>(&g_answeredIcon);
  }
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

// Windows made by a test and a class with an icon, both gone when it ends.
class WindowTreeToolsTest : public ::testing::Test {
 protected:
  WindowTreeToolsTest() {
    plat::WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = plat::DefWindowProcA;
    windowClass.hIcon = IconAt(m_classIcon);
    windowClass.lpszClassName = kClassName;
    plat::RegisterClassExA(&windowClass);
    windowClass.lpfnWndProc = AnswersSecondSmallIcon;
    windowClass.lpszClassName = "Antwortend";
    plat::RegisterClassExA(&windowClass);
  }
  ~WindowTreeToolsTest() override {
    for (plat::HWND window : m_topLevel) {
      if (plat::IsWindow(window)) plat::DestroyWindow(window);
    }
    plat::UnregisterClassA(kClassName, nullptr);
    plat::UnregisterClassA("Antwortend", nullptr);
    plat::SetScreenSizeForTesting(1920, 1080);
  }
  plat::HWND TopLevel(plat::LONG_PTR userData = 0) {
    m_topLevel.push_back(plat::CreateWindowForTesting(nullptr, userData));
    return m_topLevel.back();
  }
  plat::HWND Made(const char* className, const char* title, plat::DWORD style, plat::DWORD exStyle,
                  plat::HWND parent = nullptr, int id = 0) {
    plat::HWND window =
        plat::CreateWindowExA(exStyle, className, title, style, 0, 0, 100, 50, parent,
                              reinterpret_cast<plat::HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    if (parent == nullptr) m_topLevel.push_back(window);
    return window;
  }
  std::vector<plat::HWND> m_topLevel;
  char m_classIcon = 0;
};

TEST_F(WindowTreeToolsTest, FindsTheFirstMatchDepthFirstInZOrder) {
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

TEST_F(WindowTreeToolsTest, SearchesByIdClassTitleAndStyle) {
  plat::HWND frame = Made(kClassName, "Kundenliste - Filiale Nord", plat::WS_VISIBLE, 0x8);
  plat::HWND field = Made(kClassName, "Suche", 0x00800000, 0x200, frame, 1001);
  plat::HWND root = plat::GetDesktopWindow();
  struct Case {
    const char* what;
    plat::HWND found;
    plat::HWND expected;
  } cases[] = {
      {"id", TOOLFUNC_window::FindWindowById(root, 1001), field},
      {"unknown id", TOOLFUNC_window::FindWindowById(frame, 1002), nullptr},
      {"whole class name", TOOLFUNC_window::FindWindowByClass(root, "ListeFenster"), frame},
      {"prefix of a class name", TOOLFUNC_window::FindWindowByClass(root, "Liste"), nullptr},
      {"class names are case-sensitive", TOOLFUNC_window::FindWindowByClass(root, "listefenster"), nullptr},
      {"prefix of a title", TOOLFUNC_window::FindWindowByTitle(root, "Kundenliste"), frame},
      {"titles are case-sensitive", TOOLFUNC_window::FindWindowByTitle(root, "kundenliste"), nullptr},
      {"empty title text: the root", TOOLFUNC_window::FindWindowByTitle(frame, ""), frame},
      {"title and a shared style bit",
       TOOLFUNC_window::FindWindowByTitleAndStyle(root, "Suche", 0x00800000 | 0x1), field},
      {"title without the style", TOOLFUNC_window::FindWindowByTitleAndStyle(root, "Kunden", 0x00800000),
       nullptr},
      {"title and a shared extended bit", TOOLFUNC_window::FindWindowByTitleAndExStyle(root, "Kunden", 0x8),
       frame},
      {"title without the extended style", TOOLFUNC_window::FindWindowByTitleAndExStyle(root, "Suche", 0x8),
       nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, c.found) << c.what;
}

// Class names and titles are read with a capacity of 127: their first 126 characters take part.
TEST_F(WindowTreeToolsTest, NamesAreReadWithACapacityOf127) {
  const std::string longClass(127, 'K'), title(127, 'T');
  plat::WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = plat::DefWindowProcA;
  windowClass.lpszClassName = longClass.c_str();
  ASSERT_NE(0, plat::RegisterClassExA(&windowClass));
  plat::HWND window = Made(longClass.c_str(), title.c_str(), plat::WS_VISIBLE, 0);
  plat::HWND root = plat::GetDesktopWindow();
  EXPECT_EQ(window, TOOLFUNC_window::FindWindowByClass(root, longClass.substr(0, 126).c_str()));
  EXPECT_EQ(nullptr, TOOLFUNC_window::FindWindowByClass(root, longClass.c_str()));
  EXPECT_EQ(window, TOOLFUNC_window::FindWindowByTitle(root, title.substr(0, 126).c_str()));
  EXPECT_EQ(nullptr, TOOLFUNC_window::FindWindowByTitle(root, title.c_str()));
  plat::DestroyWindow(window);
  plat::UnregisterClassA(longClass.c_str(), nullptr);
}

TEST_F(WindowTreeToolsTest, OwnWindowsAndOwnersStopAtAnotherProcess) {
  plat::HWND mine = TopLevel(kTag);
  plat::HWND foreign = TopLevel(kTag);  // on top, so found first
  plat::SetWindowProcessForTesting(foreign, 4242);
  EXPECT_EQ(nullptr, TOOLFUNC_window::FindOwnWindowByUserData(kTag)) << "the search does not go on";
  plat::SetWindowProcessForTesting(foreign, 0);
  EXPECT_EQ(foreign, TOOLFUNC_window::FindOwnWindowByUserData(kTag));
  plat::SetWindowProcessForTesting(foreign, 4242);
  plat::SetForegroundWindow(mine);
  EXPECT_EQ(mine, TOOLFUNC_window::FindOwnWindowByUserData(kTag));

  plat::HWND panel = plat::CreateWindowForTesting(mine, 0);
  plat::HWND button = plat::CreateWindowForTesting(panel, 0);
  EXPECT_EQ(mine, TOOLFUNC_window::FindTopLevelOwner(button));
  plat::HWND embedded = plat::CreateWindowForTesting(foreign, 0);
  plat::SetWindowProcessForTesting(embedded, 0);
  EXPECT_EQ(embedded, TOOLFUNC_window::FindTopLevelOwner(embedded)) << "its parent is of another process";
  EXPECT_EQ(mine, TOOLFUNC_window::FindTopLevelOwner(mine));
}

TEST_F(WindowTreeToolsTest, CenterOnParentUsesTheLeftScreenOfAWideDesktop) {
  struct Case {
    int screenWidth, screenHeight;
    plat::LONG left, top;
  } cases[] = {
      {3840, 1080, 960 - 100, 540 - 50},  // two screens side by side: the left one
      {1920, 1080, 960 - 100, 540 - 50},
      {1600, 1200, 800 - 100, 600 - 50},
  };
  for (const Case& c : cases) {
    plat::SetScreenSizeForTesting(c.screenWidth, c.screenHeight);
    plat::HWND window = TopLevel();
    TopLevel();
    plat::SetWindowPos(window, nullptr, 5, 5, 200, 100, plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
    TOOLFUNC_window::CenterOnParent(window);
    plat::RECT rect{};
    plat::GetWindowRect(window, &rect);
    EXPECT_EQ(c.left, rect.left) << c.screenWidth;
    EXPECT_EQ(c.top, rect.top) << c.screenWidth;
    EXPECT_EQ(200, rect.right - rect.left) << "the size stays";
    EXPECT_EQ(window, plat::GetTopWindow(nullptr)) << "on top of the Z order";
  }

  plat::HWND parent = TopLevel();
  plat::SetWindowPos(parent, nullptr, 100, 100, 400, 300, plat::SWP_NOZORDER);
  plat::HWND child = plat::CreateWindowForTesting(parent, 0);
  plat::SetWindowPos(child, nullptr, 0, 0, 100, 50, plat::SWP_NOZORDER);
  TOOLFUNC_window::CenterOnParent(child);
  plat::RECT rect{};
  plat::GetWindowRect(child, &rect);
  // The parent's centre (300, 250) taken as the child's own position within the parent.
  EXPECT_EQ(100 + 250, rect.left);
  EXPECT_EQ(100 + 225, rect.top);
}

TEST_F(WindowTreeToolsTest, StyleAndUserDataBits) {
  plat::HWND window = TopLevel(0x80000000);
  TOOLFUNC_window::AddStyle(window, 0x00800000);
  TOOLFUNC_window::RemoveStyle(window, plat::WS_VISIBLE);
  EXPECT_EQ(0x00800000, plat::GetWindowLongA(window, plat::GWL_STYLE));
  TOOLFUNC_window::AddExStyle(window, 0x208);
  TOOLFUNC_window::RemoveExStyle(window, 0x8);
  EXPECT_EQ(0x200, plat::GetWindowLongA(window, plat::GWL_EXSTYLE));

  EXPECT_FALSE(TOOLFUNC_window::GetUserDataFlag(window));
  TOOLFUNC_window::SetUserDataFlag(window, 7);
  EXPECT_TRUE(TOOLFUNC_window::GetUserDataFlag(window));
  EXPECT_EQ(0x80000001u, static_cast<plat::DWORD>(plat::GetWindowLongA(window, plat::GWL_USERDATA)));
  TOOLFUNC_window::SetUserDataFlag(window, plat::FALSE);
  EXPECT_EQ(0x80000000u, static_cast<plat::DWORD>(plat::GetWindowLongA(window, plat::GWL_USERDATA)))
      << "the other bits stay";
}

// The user data may hold a whole pointer: the flag changes bit 0 and nothing else of it.
TEST_F(WindowTreeToolsTest, UserDataFlagKeepsTheWholePointerSizedValue) {
  struct Case {
    plat::LONG_PTR before;
    plat::BOOL flag;
    plat::LONG_PTR after;
  } cases[] = {
      {0x7f0000001000, plat::TRUE, 0x7f0000001001},
      {0x7f0000001001, plat::FALSE, 0x7f0000001000},
      {0x7f0000001001, plat::TRUE, 0x7f0000001001},
      {-2, plat::TRUE, -1},
      {-1, plat::FALSE, -2},
      {0x100000000, 5, 0x100000001},
  };
  plat::HWND window = TopLevel(0);
  for (const Case& c : cases) {
    plat::SetWindowLongPtrA(window, plat::GWLP_USERDATA, c.before);
    TOOLFUNC_window::SetUserDataFlag(window, c.flag);
    EXPECT_EQ(c.after, plat::GetWindowLongPtrA(window, plat::GWLP_USERDATA)) << std::hex << c.before;
    EXPECT_EQ(c.after & 1, TOOLFUNC_window::GetUserDataFlag(window)) << std::hex << c.before;
  }
}

TEST(WindowRectTest, NormalizeKeepsOnlyARectangleWithExtentOnScreen) {
  struct Case {
    plat::RECT given, expected;
  } cases[] = {
      {{10, 10, 5, 50}, {0, 0, 600, 400}},        // right left of left
      {{10, 50, 20, 50}, {0, 0, 600, 400}},       // no height
      {{-200, -100, -10, -5}, {0, 0, 600, 400}},  // right and bottom not positive
      {{-200, -100, 10, 5}, {-200, -100, 10, 5}}, {{10, 20, 300, 200}, {10, 20, 300, 200}},
  };
  for (Case& c : cases) {
    TOOLFUNC_window::NormalizeWindowRect(&c.given);
    EXPECT_EQ((std::vector<plat::LONG>{c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}),
              (std::vector<plat::LONG>{c.given.left, c.given.top, c.given.right, c.given.bottom}));
  }
}

TEST_F(WindowTreeToolsTest, ScreenToClientRectConvertsBothCorners) {
  plat::HWND frame = TopLevel();
  plat::SetWindowPos(frame, nullptr, 100, 200, 400, 300, plat::SWP_NOZORDER);
  plat::RECT rect = {110, 220, 150, 260};
  TOOLFUNC_window::ScreenToClientRect(frame, &rect);
  EXPECT_EQ((std::vector<plat::LONG>{10, 20, 50, 60}),
            (std::vector<plat::LONG>{rect.left, rect.top, rect.right, rect.bottom}));
}

TEST_F(WindowTreeToolsTest, IconFromTheWindowElseFromItsClass) {
  EXPECT_EQ(nullptr, TOOLFUNC_window::GetWindowIcon(nullptr, nullptr));
  plat::HWND answering = Made("Antwortend", "", 0, 0);
  EXPECT_EQ(IconAt(g_answeredIcon), TOOLFUNC_window::GetWindowIcon(answering, nullptr));
  plat::HWND silent = Made(kClassName, "", 0, 0);
  EXPECT_EQ(IconAt(m_classIcon), TOOLFUNC_window::GetWindowIcon(silent, nullptr));
  EXPECT_EQ(nullptr, TOOLFUNC_window::GetWindowIcon(TopLevel(), nullptr)) << "no class, no icon";
}

}  // namespace
