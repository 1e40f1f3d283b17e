// Tests of the shell: program start, the notification area, icons, menus and the popup-menu choice.
#include "plat/testing/shell.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/testing/window.h"
#include "plat/window.h"
#include "support/recording_program.h"
#include "support/temp_dir.h"

namespace {

TEST(ShellExecute, StartsAProgramOfTheSystemDirectoryWithItsParameters) {
  testsupport::ScopedMachine machine;
  testsupport::TempDir dir;
  std::string record = dir / "record.txt";
  testsupport::WriteRecordingProgram(plat::SystemDirectoryHost() + "/RUNDLL32.EXE", record);
  char system[260];
  plat::GetSystemDirectoryA(system, sizeof(system));
  plat::TakeShellExecutions();

  plat::HINSTANCE result = plat::ShellExecuteA(nullptr, nullptr, "RUNDLL32.EXE",
                                               "SHELL32.DLL,Control_RunDLL VELCORA.CPL", system, 1);
  EXPECT_GT(reinterpret_cast<intptr_t>(result), 32);
  EXPECT_EQ(plat::SystemDirectoryHost() + "|1|SHELL32.DLL,Control_RunDLL|VELCORA.CPL\n",
            testsupport::WaitForRecord(record));

  std::vector<plat::ShellExecution> calls = plat::TakeShellExecutions();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ("RUNDLL32.EXE", calls[0].file);
  EXPECT_EQ("SHELL32.DLL,Control_RunDLL VELCORA.CPL", calls[0].parameters);
  EXPECT_EQ(system, calls[0].directory);
  EXPECT_EQ(1, calls[0].showCommand);
}

TEST(ShellExecute, ReportsWhatCannotBeStarted) {
  testsupport::ScopedMachine machine;
  struct Case {
    const char* verb;
    const char* file;
    intptr_t result;
  } cases[] = {
      {nullptr, "NOSUCH.EXE", 2},
      {"open", "", 2},
      {"print", "NOTEPAD.EXE", 31},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.result,
              reinterpret_cast<intptr_t>(plat::ShellExecuteA(nullptr, c.verb, c.file, nullptr, nullptr, 5)))
        << c.file;
}

// ---- The notification area

constexpr plat::UINT kIconId = 0x844;
constexpr plat::UINT kCallback = 0x469;

// One window with its icon data; the notification area starts and ends empty.
class NotifyIconTest : public ::testing::Test {
 protected:
  NotifyIconTest() { plat::LoseNotifyIconsForTesting(); }
  ~NotifyIconTest() override {
    plat::LoseNotifyIconsForTesting();
    plat::RemoveWindowForTesting(m_window);
  }

  plat::NOTIFYICONDATAA Data(plat::UINT flags, plat::HICON icon, const char* tip) const {
    plat::NOTIFYICONDATAA data = {};
    data.cbSize = 504;
    data.hWnd = m_window;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kCallback;
    data.hIcon = icon;
    std::strcpy(data.szTip, tip);
    return data;
  }
  plat::NotifyIconState State() const { return plat::NotifyIconStateForTesting(m_window, kIconId); }

  plat::HWND m_window = plat::CreateWindowForTesting(nullptr, 0);
  plat::HICON m_running = plat::LoadIconA(nullptr, plat::MAKEINTRESOURCEA(130));
  plat::HICON m_paused = plat::LoadIconA(nullptr, plat::MAKEINTRESOURCEA(131));
};

TEST_F(NotifyIconTest, AddShowsOnlyTheFieldsItsFlagsName) {
  struct Case {
    plat::DWORD size;
    plat::UINT flags;
    bool hasIcon;
    const char* tip;
    plat::UINT callback;
  } cases[] = {
      {504, 7, true, "Wendrath Velcora", kCallback},
      {sizeof(plat::NOTIFYICONDATAA), plat::NIF_TIP, false, "Wendrath Velcora", 0},
      {88, plat::NIF_ICON | plat::NIF_MESSAGE, true, "", kCallback},
  };
  for (const Case& c : cases) {
    plat::NOTIFYICONDATAA data = Data(c.flags, m_running, "Wendrath Velcora");
    data.cbSize = c.size;
    ASSERT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &data)) << c.flags;
    plat::NotifyIconState state = State();
    EXPECT_TRUE(state.shown);
    EXPECT_EQ(c.hasIcon ? m_running : nullptr, state.icon) << c.flags;
    EXPECT_EQ(c.tip, state.tip) << c.flags;
    EXPECT_EQ(c.callback, state.callbackMessage) << c.flags;
    EXPECT_TRUE(plat::Shell_NotifyIconA(plat::NIM_DELETE, &data));
  }
}

TEST_F(NotifyIconTest, TipIsCutTo127CharactersWhenItFillsItsField) {
  plat::NOTIFYICONDATAA data = Data(plat::NIF_TIP, nullptr, "");
  std::memset(data.szTip, 'x', sizeof(data.szTip));
  ASSERT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &data));
  EXPECT_EQ(std::string(127, 'x'), State().tip);
}

TEST_F(NotifyIconTest, ReAddingAShownIconFailsWithoutEffect) {
  plat::NOTIFYICONDATAA data = Data(7, m_paused, "Wendrath Velcora");
  ASSERT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &data));
  data.hIcon = m_running;
  data.uFlags = plat::NIF_ICON;
  EXPECT_TRUE(plat::Shell_NotifyIconA(plat::NIM_MODIFY, &data));

  plat::NOTIFYICONDATAA again = Data(7, m_paused, "another tip");
  again.uCallbackMessage = 0x500;
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_ADD, &again));
  plat::NotifyIconState state = State();
  EXPECT_TRUE(state.shown);
  EXPECT_EQ(m_running, state.icon);
  EXPECT_EQ("Wendrath Velcora", state.tip) << "a modify of the picture alone keeps the tip";
  EXPECT_EQ(kCallback, state.callbackMessage);
}

TEST_F(NotifyIconTest, ModifyAndDeleteNeedAShownIcon) {
  plat::NOTIFYICONDATAA data = Data(7, m_running, "Wendrath Velcora");
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_MODIFY, &data));
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_DELETE, &data));
  EXPECT_FALSE(State().shown);

  ASSERT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &data));
  plat::NOTIFYICONDATAA other = Data(7, m_paused, "second");
  other.uID = kIconId + 1;
  EXPECT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &other)) << "another id is another icon";
  EXPECT_TRUE(plat::Shell_NotifyIconA(plat::NIM_DELETE, &data));
  EXPECT_FALSE(State().shown);
  EXPECT_EQ(nullptr, State().icon);
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_DELETE, &data));
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_MODIFY, &data));
  EXPECT_TRUE(plat::NotifyIconStateForTesting(m_window, kIconId + 1).shown);

  EXPECT_FALSE(plat::Shell_NotifyIconA(3, &other)) << "no other message is served";
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_ADD, nullptr));
}

TEST_F(NotifyIconTest, ALostIconComesBackWithThePictureOfTheNextAdd) {
  plat::NOTIFYICONDATAA data = Data(7, m_running, "Wendrath Velcora");
  ASSERT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &data));
  plat::LoseNotifyIconsForTesting();
  EXPECT_FALSE(State().shown);
  EXPECT_FALSE(plat::Shell_NotifyIconA(plat::NIM_MODIFY, &data));

  data.hIcon = m_paused;
  EXPECT_TRUE(plat::Shell_NotifyIconA(plat::NIM_ADD, &data));
  plat::NotifyIconState state = State();
  EXPECT_TRUE(state.shown);
  EXPECT_EQ(m_paused, state.icon);
  EXPECT_EQ("Wendrath Velcora", state.tip);
  EXPECT_EQ(kCallback, state.callbackMessage);
}

// ---- Icons

TEST(Icon, EachLoadGivesItsOwnHandleThatKnowsItsResource) {
  plat::HICON running = plat::LoadIconA(nullptr, plat::MAKEINTRESOURCEA(130));
  plat::HICON paused = static_cast<plat::HICON>(plat::LoadImageA(
      nullptr, plat::MAKEINTRESOURCEA(131), plat::IMAGE_ICON, 16, 16, plat::LR_DEFAULTCOLOR));
  plat::HICON runningAgain = static_cast<plat::HICON>(plat::LoadImageA(
      nullptr, plat::MAKEINTRESOURCEA(130), plat::IMAGE_ICON, 16, 16, plat::LR_DEFAULTCOLOR));
  ASSERT_NE(nullptr, running);
  ASSERT_NE(nullptr, paused);
  EXPECT_NE(running, paused);
  EXPECT_NE(running, runningAgain);
  EXPECT_EQ(130u, plat::IconResourceForTesting(running));
  EXPECT_EQ(131u, plat::IconResourceForTesting(paused));
  EXPECT_EQ(130u, plat::IconResourceForTesting(runningAgain));

  EXPECT_TRUE(plat::DestroyIcon(running));
  EXPECT_EQ(0u, plat::IconResourceForTesting(running));
  EXPECT_EQ(130u, plat::IconResourceForTesting(runningAgain));
  plat::SetLastError(0);
  EXPECT_FALSE(plat::DestroyIcon(running));
  EXPECT_EQ(1402u, plat::GetLastError());
  EXPECT_EQ(0u, plat::IconResourceForTesting(nullptr));
}

TEST(Icon, OnlyNumberedIconsLoad) {
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::LoadIconA(nullptr, "APPICON"));
  EXPECT_EQ(1814u, plat::GetLastError());
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::LoadImageA(nullptr, plat::MAKEINTRESOURCEA(130), 0, 16, 16, 0))
      << "a bitmap is not an icon";
  EXPECT_EQ(87u, plat::GetLastError());
}

// ---- Menus

constexpr plat::UINT kSettings = 32776;
constexpr plat::UINT kContinue = 32777;
constexpr plat::UINT kStop = 32778;
constexpr plat::UINT kEnd = 32779;
constexpr plat::UINT kNoItem = 0xFFFFFFFF;

// A menu bar whose one popup is the notification menu, "Continue" grayed, as a program describes it.
plat::HMENU BuildNotificationMenu() {
  plat::HMENU popup = plat::CreatePopupMenu();
  plat::AppendMenuA(popup, plat::MF_STRING, kSettings, "Settings");
  plat::AppendMenuA(popup, plat::MF_SEPARATOR, 0, nullptr);
  plat::AppendMenuA(popup, plat::MF_STRING, kStop, "Stop");
  plat::AppendMenuA(popup, plat::MF_STRING | plat::MF_GRAYED, kContinue, "Continue");
  plat::AppendMenuA(popup, plat::MF_SEPARATOR, 0, nullptr);
  plat::AppendMenuA(popup, plat::MF_STRING, kEnd, "End");
  plat::HMENU bar = plat::CreateMenu();
  plat::AppendMenuA(bar, plat::MF_POPUP, reinterpret_cast<plat::UINT_PTR>(popup), "");
  return bar;
}

plat::HMENU LoadNotificationMenu() {
  plat::RegisterMenuResource(129, BuildNotificationMenu);
  return plat::LoadMenuA(nullptr, plat::MAKEINTRESOURCEA(129));
}

// The notification menu loaded as resource 129, freed when the test ends.
class MenuTest : public ::testing::Test {
 protected:
  ~MenuTest() override { plat::DestroyMenu(m_bar); }

  plat::HMENU m_bar = LoadNotificationMenu();
  plat::HMENU m_popup = plat::GetSubMenu(m_bar, 0);
};

std::string MenuText(plat::HMENU menu, plat::UINT item, plat::UINT flags) {
  char text[64] = "unchanged";
  plat::GetMenuStringA(menu, item, text, sizeof(text), flags);
  return text;
}

TEST_F(MenuTest, LoadedResourceHasItsItemsInOrder) {
  ASSERT_NE(nullptr, m_popup);
  EXPECT_EQ(1, plat::GetMenuItemCount(m_bar));
  EXPECT_EQ(0x610u, plat::GetMenuState(m_bar, 0, plat::MF_BYPOSITION)) << "a popup of 6 items";
  EXPECT_EQ(kNoItem, plat::GetMenuItemID(m_bar, 0));

  struct Item {
    plat::UINT id;
    const char* text;
    plat::UINT state;
  } expected[] = {
      {32776, "Settings", 0}, {0, "", 0x800}, {32778, "Stop", 0},
      {32777, "Continue", 1}, {0, "", 0x800}, {32779, "End", 0},
  };
  ASSERT_EQ(6, plat::GetMenuItemCount(m_popup));
  for (int position = 0; position < 6; ++position) {
    const Item& item = expected[position];
    EXPECT_EQ(item.id, plat::GetMenuItemID(m_popup, position)) << position;
    EXPECT_EQ(item.text, MenuText(m_popup, position, plat::MF_BYPOSITION)) << position;
    EXPECT_EQ(item.state, plat::GetMenuState(m_popup, position, plat::MF_BYPOSITION)) << position;
    EXPECT_EQ(nullptr, plat::GetSubMenu(m_popup, position)) << position;
  }
  EXPECT_EQ(kNoItem, plat::GetMenuItemID(m_popup, 6));
}

TEST_F(MenuTest, EveryLoadBuildsANewMenu) {
  plat::HMENU second = plat::LoadMenuA(nullptr, plat::MAKEINTRESOURCEA(129));
  ASSERT_NE(nullptr, second);
  plat::HMENU secondPopup = plat::GetSubMenu(second, 0);
  EXPECT_NE(m_bar, second);
  EXPECT_NE(m_popup, secondPopup);
  plat::EnableMenuItem(m_popup, kStop, plat::MF_GRAYED);
  EXPECT_EQ(plat::MF_ENABLED, plat::GetMenuState(secondPopup, kStop, plat::MF_BYCOMMAND));
  EXPECT_TRUE(plat::DestroyMenu(second));
}

TEST(MenuResource, UnknownOrTextNamesDoNotLoad) {
  for (plat::LPCSTR name : {static_cast<plat::LPCSTR>(plat::MAKEINTRESOURCEA(4711)), "IDR_MENU"}) {
    plat::SetLastError(0);
    EXPECT_EQ(nullptr, plat::LoadMenuA(nullptr, name));
    EXPECT_EQ(1814u, plat::GetLastError());
  }
}

TEST_F(MenuTest, EnableMenuItemReturnsThePreviousStateAndSetsTheNew) {
  // Steps in order: each sees the state the previous one left.
  struct Step {
    plat::HMENU* menu;
    plat::UINT item;
    plat::UINT flags;
    plat::BOOL previous;
    plat::UINT after;  // GetMenuState on the popup, by the same kind of item name
  } steps[] = {
      {&m_popup, kStop, plat::MF_BYCOMMAND | plat::MF_GRAYED, 0, 1},
      {&m_popup, kStop, plat::MF_BYCOMMAND | plat::MF_GRAYED, 1, 1},
      {&m_popup, kContinue, plat::MF_BYCOMMAND | plat::MF_ENABLED, 1, 0},
      {&m_popup, 3, plat::MF_BYPOSITION | plat::MF_GRAYED, 0, 1},
      {&m_bar, kEnd, plat::MF_BYCOMMAND | plat::MF_DISABLED, 0, 2},
      {&m_bar, kEnd, plat::MF_BYCOMMAND | plat::MF_GRAYED | plat::MF_DISABLED, 2, 3},
      {&m_popup, 5, plat::MF_BYPOSITION | plat::MF_ENABLED, 3, 0},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(step.previous, plat::EnableMenuItem(*step.menu, step.item, step.flags)) << step.item;
    EXPECT_EQ(step.after, plat::GetMenuState(m_popup, step.item, step.flags & plat::MF_BYPOSITION))
        << step.item;
  }
}

TEST_F(MenuTest, MissingItemsGiveMinusOne) {
  struct Case {
    plat::UINT item;
    plat::UINT flags;
  } cases[] = {{40000, plat::MF_BYCOMMAND}, {6, plat::MF_BYPOSITION}};
  for (const Case& c : cases) {
    EXPECT_EQ(-1, plat::EnableMenuItem(m_popup, c.item, c.flags | plat::MF_GRAYED)) << c.item;
    EXPECT_EQ(kNoItem, plat::GetMenuState(m_popup, c.item, c.flags)) << c.item;
    EXPECT_EQ("unchanged", MenuText(m_popup, c.item, c.flags)) << c.item;
  }
}

TEST_F(MenuTest, MenuTextIsCutToTheBuffer) {
  char text[5];
  EXPECT_EQ(4, plat::GetMenuStringA(m_popup, kSettings, text, sizeof(text), plat::MF_BYCOMMAND));
  EXPECT_STREQ("Sett", text);
  EXPECT_EQ(8, plat::GetMenuStringA(m_popup, kSettings, nullptr, 0, plat::MF_BYCOMMAND));
  EXPECT_EQ("End", MenuText(m_bar, kEnd, plat::MF_BYCOMMAND)) << "by command searches the submenus";
}

TEST_F(MenuTest, DestroyMenuFreesItsSubmenus) {
  EXPECT_TRUE(plat::DestroyMenu(m_bar));
  for (plat::HMENU gone : {m_bar, m_popup}) {
    plat::SetLastError(0);
    EXPECT_EQ(-1, plat::GetMenuItemCount(gone));
    EXPECT_EQ(1401u, plat::GetLastError());
    plat::SetLastError(0);
    EXPECT_EQ(-1, plat::EnableMenuItem(gone, kStop, plat::MF_GRAYED));
    EXPECT_EQ(1401u, plat::GetLastError());
    plat::SetLastError(0);
    EXPECT_FALSE(plat::DestroyMenu(gone));
    EXPECT_EQ(1401u, plat::GetLastError());
  }
  m_bar = nullptr;
}

TEST(Menu, AppendNeedsMenusOnBothSides) {
  plat::HMENU menu = plat::CreatePopupMenu();
  plat::HMENU gone = plat::CreatePopupMenu();
  plat::DestroyMenu(gone);
  struct Case {
    plat::HMENU menu;
    plat::UINT flags;
    plat::UINT_PTR idOrSubmenu;
  } cases[] = {
      {gone, plat::MF_STRING, 1},
      {menu, plat::MF_POPUP, reinterpret_cast<plat::UINT_PTR>(gone)},
      {menu, plat::MF_POPUP, reinterpret_cast<plat::UINT_PTR>(menu)},
  };
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_FALSE(plat::AppendMenuA(c.menu, c.flags, c.idOrSubmenu, "x"));
    EXPECT_EQ(1401u, plat::GetLastError());
  }
  EXPECT_EQ(0, plat::GetMenuItemCount(menu));
  plat::DestroyMenu(menu);
}

// ---- Popup menus

// A window of this thread and the notification menu; the choice hook is cleared after each test.
class PopupMenuTest : public MenuTest {
 protected:
  PopupMenuTest() { plat::TakePopupMenuCalls(); }
  ~PopupMenuTest() override {
    plat::SetPopupMenuChoiceForTesting(nullptr);
    plat::RemoveWindowForTesting(m_window);
  }

  // The WM_COMMAND messages waiting for the window, taken from its queue.
  std::vector<plat::WPARAM> PostedCommands() {
    std::vector<plat::WPARAM> commands;
    plat::MSG message;
    while (plat::PeekMessageA(&message, m_window, 0, 0, plat::PM_REMOVE)) {
      EXPECT_EQ(plat::WM_COMMAND, message.message);
      EXPECT_EQ(0, message.lParam);
      commands.push_back(message.wParam);
    }
    return commands;
  }

  plat::HWND m_window = plat::CreateWindowForTesting(nullptr, 0);
};

TEST_F(PopupMenuTest, TheChosenItemArrivesAsWmCommand) {
  plat::HMENU shown = nullptr;
  plat::SetPopupMenuChoiceForTesting([&shown](plat::HMENU menu) {
    shown = menu;
    return kStop;
  });
  EXPECT_TRUE(plat::TrackPopupMenuEx(m_popup, plat::TPM_RIGHTBUTTON, 110, 50, m_window, nullptr));
  EXPECT_EQ(m_popup, shown);
  EXPECT_EQ(std::vector<plat::WPARAM>{kStop}, PostedCommands());

  std::vector<plat::PopupMenuCall> calls = plat::TakePopupMenuCalls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(m_popup, calls[0].menu);
  EXPECT_EQ(2u, calls[0].flags);
  EXPECT_EQ(110, calls[0].x);
  EXPECT_EQ(50, calls[0].y);
  EXPECT_EQ(m_window, calls[0].window);
}

TEST_F(PopupMenuTest, WhatCannotBeChosenPostsNothing) {
  plat::EnableMenuItem(m_popup, kEnd, plat::MF_DISABLED);
  struct Case {
    plat::UINT choice;
    const char* why;
  } cases[] = {
      {0, "no choice"},
      {kContinue, "grayed"},
      {kEnd, "disabled"},
      {40000, "not in the menu"},
  };
  for (const Case& c : cases) {
    plat::SetPopupMenuChoiceForTesting([&c](plat::HMENU) { return c.choice; });
    EXPECT_TRUE(plat::TrackPopupMenuEx(m_popup, plat::TPM_RIGHTBUTTON, 0, 0, m_window, nullptr)) << c.why;
    EXPECT_EQ(0, plat::TrackPopupMenuEx(m_popup, plat::TPM_RETURNCMD, 0, 0, m_window, nullptr)) << c.why;
    EXPECT_TRUE(PostedCommands().empty()) << c.why;
  }
  plat::SetPopupMenuChoiceForTesting(nullptr);
  EXPECT_TRUE(plat::TrackPopupMenuEx(m_popup, plat::TPM_RIGHTBUTTON, 0, 0, m_window, nullptr));
  EXPECT_TRUE(PostedCommands().empty()) << "without a hook nothing is chosen";
}

TEST_F(PopupMenuTest, ReturnCmdGivesTheChoiceInsteadOfPostingIt) {
  plat::SetPopupMenuChoiceForTesting([](plat::HMENU) { return kSettings; });
  EXPECT_EQ(32776, plat::TrackPopupMenuEx(m_popup, plat::TPM_RETURNCMD | plat::TPM_RIGHTBUTTON, 0, 0,
                                          m_window, nullptr));
  EXPECT_TRUE(PostedCommands().empty());
}

TEST_F(PopupMenuTest, BadMenuOrWindowFails) {
  plat::SetPopupMenuChoiceForTesting([](plat::HMENU) { return kStop; });
  plat::HWND goneWindow = plat::CreateWindowForTesting(nullptr, 0);
  plat::RemoveWindowForTesting(goneWindow);
  plat::HMENU goneMenu = plat::CreatePopupMenu();
  plat::DestroyMenu(goneMenu);
  struct Case {
    plat::HMENU menu;
    plat::HWND window;
    plat::DWORD error;
  } cases[] = {{goneMenu, m_window, 1401}, {m_popup, goneWindow, 1400}};
  for (const Case& c : cases) {
    plat::SetLastError(0);
    EXPECT_FALSE(plat::TrackPopupMenuEx(c.menu, plat::TPM_RIGHTBUTTON, 0, 0, c.window, nullptr));
    EXPECT_EQ(c.error, plat::GetLastError());
  }
  EXPECT_TRUE(PostedCommands().empty());
  EXPECT_EQ(2u, plat::TakePopupMenuCalls().size()) << "failed calls are recorded too";
}

}  // namespace
