// Tests of the built-in control classes as a whole: made by name without registration, contents per
// window, other messages handled as by DefWindowProcA, and the case-blind comparison.
#include "plat/controls.h"

#include <gtest/gtest.h>

#include <string>

#include "plat/codepage.h"
#include "plat/error.h"
#include "plat/window.h"
#include "system_classes.h"

namespace {

plat::HWND MakeControl(const char* className, const char* text = "") {
  return plat::CreateWindowExA(0, className, text, 0, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
}

TEST(Controls, EachBuiltInClassIsMadeByNameInAnyCase) {
  for (const char* name : {"EDIT", "edit", "ListBox", "COMBOBOX", "SysListView32", "systreeview32"}) {
    plat::HWND control = MakeControl(name);
    ASSERT_NE(nullptr, control) << name;
    char className[64] = "";
    plat::GetClassNameA(control, className, sizeof(className));
    EXPECT_EQ(0, plat::lstrcmpiA(className, name)) << name;
    EXPECT_TRUE(plat::DestroyWindow(control)) << name;
  }
}

TEST(Controls, OtherNamesAreNoBuiltInClass) {
  for (const char* name : {"BUTTON", "EDITX", "SysListView", ""}) {
    EXPECT_EQ(nullptr, plat::detail::SystemClassProcedure(name)) << name;
  }
  EXPECT_EQ(nullptr, plat::detail::SystemClassProcedure(nullptr));
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, MakeControl("UnbekannteKlasse"));
  EXPECT_EQ(plat::ERROR_CLASS_DOES_NOT_EXIST, plat::GetLastError());
}

TEST(Controls, EachWindowKeepsItsOwnContentsUntilItIsDestroyed) {
  plat::HWND first = MakeControl(plat::WC_LISTBOXA);
  plat::HWND second = MakeControl(plat::WC_LISTBOXA);
  plat::SendMessageA(first, plat::LB_ADDSTRING, 0, reinterpret_cast<plat::LPARAM>("eins"));
  plat::SendMessageA(first, plat::LB_ADDSTRING, 0, reinterpret_cast<plat::LPARAM>("zwei"));
  EXPECT_EQ(2, plat::SendMessageA(first, plat::LB_GETCOUNT, 0, 0));
  EXPECT_EQ(0, plat::SendMessageA(second, plat::LB_GETCOUNT, 0, 0));
  plat::DestroyWindow(first);
  EXPECT_EQ(0, plat::SendMessageA(first, plat::LB_GETCOUNT, 0, 0)) << "a destroyed window answers nothing";
  plat::HWND third = MakeControl(plat::WC_LISTBOXA);
  EXPECT_EQ(0, plat::SendMessageA(third, plat::LB_GETCOUNT, 0, 0));
  plat::DestroyWindow(second);
  plat::DestroyWindow(third);
}

TEST(Controls, MessagesAControlDoesNotKnowGetTheDefaultHandling) {
  for (const char* name :
       {plat::WC_EDITA, plat::WC_LISTBOXA, plat::WC_COMBOBOXA, plat::WC_LISTVIEWA, plat::WC_TREEVIEWA}) {
    plat::HWND control = MakeControl(name);
    EXPECT_EQ(0, plat::SendMessageA(control, plat::WM_USER + 77, 1, 2)) << name;
    plat::SendMessageA(control, plat::WM_CLOSE, 0, 0);
    EXPECT_FALSE(plat::IsWindow(control)) << name << ": WM_CLOSE destroys it as DefWindowProcA does";
  }
}

}  // namespace
