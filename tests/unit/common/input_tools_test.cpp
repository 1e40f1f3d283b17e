// Tests of the input tools against the layer's input recorder and cursor.
#include <gtest/gtest.h>

#include <vector>

#include "ToolFunktion.h"
#include "plat/testing/input.h"
#include "plat/testing/window.h"
#include "plat/window.h"

namespace {

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetCursorPos(10, 20);
    plat::TakeSentInputsForTesting();
  }
  static plat::POINT Cursor() {
    plat::POINT point = {};
    plat::GetCursorPos(&point);
    return point;
  }
};

TEST_F(Input, SendKeyPressesOrReleasesOneKey) {
  TOOLFUNC_input::SendKey('A', 1);
  TOOLFUNC_input::SendKey('A', -1);
  TOOLFUNC_input::SendKey(static_cast<char>(0x0D), 0);
  std::vector<plat::INPUT> sent = plat::TakeSentInputsForTesting();
  ASSERT_EQ(3u, sent.size());
  for (const plat::INPUT& input : sent) EXPECT_EQ(plat::INPUT_KEYBOARD, input.type);
  EXPECT_EQ(0x41, sent[0].ki.wVk);
  EXPECT_EQ(0u, sent[0].ki.dwFlags);
  EXPECT_EQ(0x41, sent[1].ki.wVk);
  EXPECT_EQ(0x0002u, sent[1].ki.dwFlags);
  EXPECT_EQ(0x0D, sent[2].ki.wVk);
  EXPECT_EQ(0u, sent[2].ki.dwFlags);
}

TEST_F(Input, KeyCodesAreWidenedWithTheirSign) {
  TOOLFUNC_input::SendKey(static_cast<char>(0xE4), 1);
  TOOLFUNC_input::TypeKeys("\xE4", 0);
  std::vector<plat::INPUT> sent = plat::TakeSentInputsForTesting();
  ASSERT_EQ(3u, sent.size());
  for (const plat::INPUT& input : sent) EXPECT_EQ(0xFFE4, input.ki.wVk);
}

TEST_F(Input, TypeKeysSendsDownAndUpForEachCharacter) {
  TOOLFUNC_input::TypeKeys("12AB", 0);
  std::vector<plat::INPUT> sent = plat::TakeSentInputsForTesting();
  ASSERT_EQ(8u, sent.size());
  const char keys[] = "12AB";
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(plat::INPUT_KEYBOARD, sent[i].type);
    EXPECT_EQ(keys[i / 2], sent[i].ki.wVk) << i;
    EXPECT_EQ(i % 2 ? 0x0002u : 0u, sent[i].ki.dwFlags) << i;
    EXPECT_EQ(0, sent[i].ki.wScan);
    EXPECT_EQ(0u, sent[i].ki.time);
  }
  TOOLFUNC_input::TypeKeys("", 0);
  EXPECT_TRUE(plat::TakeSentInputsForTesting().empty());
}

TEST_F(Input, ClicksSendTheButtonPairAtTheCursorAndRestoreIt) {
  struct Case {
    void (*click)(int, int, plat::BOOL);
    plat::DWORD down;
    plat::DWORD up;
  } cases[] = {
      {TOOLFUNC_input::ClickAt, 0x8002, 0x8004},
      {TOOLFUNC_input::MiddleClickAt, 0x8020, 0x8040},
      {TOOLFUNC_input::RightClickAt, 0x8008, 0x8010},
  };
  for (const Case& c : cases) {
    plat::SetCursorPos(10, 20);
    c.click(300, 400, plat::TRUE);
    EXPECT_EQ(10, Cursor().x);
    EXPECT_EQ(20, Cursor().y);
    std::vector<plat::INPUT> sent = plat::TakeSentInputsForTesting();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(plat::INPUT_MOUSE, sent[0].type);
    EXPECT_EQ(c.down, sent[0].mi.dwFlags);
    EXPECT_EQ(c.up, sent[1].mi.dwFlags);
    for (const plat::INPUT& input : sent) {
      EXPECT_EQ(300, input.mi.dx);
      EXPECT_EQ(400, input.mi.dy);
    }
  }
}

TEST_F(Input, AClickWithoutRestoreLeavesTheCursorOnThePoint) {
  TOOLFUNC_input::ClickAt(300, 400, plat::FALSE);
  EXPECT_EQ(300, Cursor().x);
  EXPECT_EQ(400, Cursor().y);
}

TEST_F(Input, ClientToScreenPointClicksAtTheWindowsScreenPoint) {
  plat::HWND window = plat::CreateWindowForTesting(nullptr, 0);
  plat::SetWindowPos(window, nullptr, 100, 200, 50, 50, plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
  TOOLFUNC_input::ClientToScreenPoint(window, 5, 7, plat::FALSE);
  std::vector<plat::INPUT> sent = plat::TakeSentInputsForTesting();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(105, sent[0].mi.dx);
  EXPECT_EQ(207, sent[0].mi.dy);
  EXPECT_EQ(105, Cursor().x);
  plat::RemoveWindowForTesting(window);
}

// What the clicked window's procedure was sent, and whether a posted message was pumped meanwhile.
struct MouseMessage {
  plat::UINT message;
  plat::WPARAM keys;
  plat::LPARAM position;
  bool operator==(const MouseMessage& other) const {
    return message == other.message && keys == other.keys && position == other.position;
  }
};
std::vector<MouseMessage> g_mouse;
plat::LRESULT RecordMouse(plat::HWND window, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message >= plat::WM_LBUTTONDOWN || message == plat::WM_USER)
    g_mouse.push_back({message, wParam, lParam});
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Input, PostClicksSendButtonMessagesInClientCoordinatesAndPump) {
  plat::WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = RecordMouse;
  windowClass.lpszClassName = "Mausziel";
  ASSERT_NE(0, plat::RegisterClassExA(&windowClass));
  plat::HWND frame = plat::CreateWindowExA(0, "Mausziel", "", plat::WS_VISIBLE, 100, 200, 300, 300, nullptr,
                                           nullptr, nullptr, nullptr);
  plat::HWND button = plat::CreateWindowExA(0, "Mausziel", "", plat::WS_VISIBLE, 10, 20, 50, 30, frame,
                                            nullptr, nullptr, nullptr);
  const plat::LPARAM atBottomRight = (49) | (29 << 16);  // (159, 249) on the screen
  struct Case {
    plat::HWND (*click)(int, int);
    plat::UINT down, up;
  } cases[] = {
      {TOOLFUNC_input::PostClickAt, plat::WM_LBUTTONDOWN, plat::WM_LBUTTONUP},
      {TOOLFUNC_input::PostRightClickAt, plat::WM_RBUTTONDOWN, plat::WM_RBUTTONUP},
  };
  for (const Case& c : cases) {
    g_mouse.clear();
    plat::PostMessageA(button, plat::WM_USER, 0, 0);
    EXPECT_EQ(button, c.click(159, 249));
    // Sent (so before the posted message, which the pump delivers after), and MK_LBUTTON for both buttons.
    EXPECT_EQ((std::vector<MouseMessage>{
                  {c.down, 1, atBottomRight}, {c.up, 1, atBottomRight}, {plat::WM_USER, 0, 0}}),
              g_mouse);
  }
  g_mouse.clear();
  EXPECT_EQ(frame, TOOLFUNC_input::PostClickAt(160, 249)) << "the button's right edge is outside it";
  EXPECT_EQ(2u, g_mouse.size());
  plat::DestroyWindow(frame);
  plat::UnregisterClassA("Mausziel", nullptr);
}

TEST_F(Input, NudgeCursorEndsWhereItStarted) {
  TOOLFUNC_input::NudgeCursor();
  EXPECT_EQ(10, Cursor().x);
  EXPECT_EQ(20, Cursor().y);
  EXPECT_TRUE(plat::TakeSentInputsForTesting().empty());
}

// Counts the messages a window gets, to see the pump dispatch them.
std::vector<plat::UINT> g_dispatched;
plat::LRESULT Record(plat::HWND window, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  if (message >= plat::WM_USER) g_dispatched.push_back(message);
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

TEST(PumpMessages, DispatchesEveryWaitingMessage) {
  plat::WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = Record;
  windowClass.lpszClassName = "InputToolsPump";
  ASSERT_NE(0, plat::RegisterClassExA(&windowClass));
  plat::HWND window =
      plat::CreateWindowExA(0, "InputToolsPump", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  g_dispatched.clear();
  plat::PostMessageA(window, plat::WM_USER + 1, 0, 0);
  plat::PostMessageA(window, plat::WM_USER + 2, 0, 0);
  TOOLFUNC_input::PumpMessages();
  EXPECT_EQ((std::vector<plat::UINT>{plat::WM_USER + 1, plat::WM_USER + 2}), g_dispatched);
  plat::MSG left;
  EXPECT_FALSE(plat::PeekMessageA(&left, nullptr, 0, 0, plat::PM_REMOVE));
  plat::DestroyWindow(window);
  plat::UnregisterClassA("InputToolsPump", nullptr);
}

}  // namespace
