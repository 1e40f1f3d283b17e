// Tests of the edit control (text, lines, selection) and of the entry lists of the list box and the
// combo box.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "plat/controls.h"
#include "plat/window.h"

namespace {

plat::LPARAM Text(const char* text) { return reinterpret_cast<plat::LPARAM>(text); }

// A control of the test, destroyed when it ends.
class Control {
 public:
  Control(const char* className, const char* text, plat::DWORD style = 0)
      : m_window(plat::CreateWindowExA(0, className, text, style, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                       nullptr)) {}
  ~Control() { plat::DestroyWindow(m_window); }
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  plat::LRESULT Send(plat::UINT message, plat::WPARAM wParam = 0, plat::LPARAM lParam = 0) const {
    return plat::SendMessageA(m_window, message, wParam, lParam);
  }
  plat::HWND window() const { return m_window; }

 private:
  plat::HWND m_window;
};

// ---- Edit control ----

constexpr const char* kFourLines = "first\r\nsecond\r\n\r\nlast";  // lines at 0, 7, 15 and 17

struct Selection {
  plat::DWORD start;
  plat::DWORD end;
};

Selection SelectionOf(const Control& edit) {
  Selection selection{99, 99};
  const plat::LRESULT packed = edit.Send(plat::EM_GETSEL, reinterpret_cast<plat::WPARAM>(&selection.start),
                                         reinterpret_cast<plat::LPARAM>(&selection.end));
  EXPECT_EQ(static_cast<plat::LRESULT>(selection.start | selection.end << 16), packed);
  return selection;
}

TEST(EditControl, KeepsItsTextAsTheWindowText) {
  Control edit(plat::WC_EDITA, "Anfang");
  char read[32] = "";
  EXPECT_EQ(6, edit.Send(plat::WM_GETTEXT, sizeof(read), reinterpret_cast<plat::LPARAM>(read)));
  EXPECT_STREQ("Anfang", read);

  EXPECT_EQ(plat::TRUE, edit.Send(plat::WM_SETTEXT, 0, Text("Kundennummer 4711")));
  EXPECT_EQ(17, edit.Send(plat::WM_GETTEXTLENGTH));
  plat::GetWindowTextA(edit.window(), read, sizeof(read));
  EXPECT_STREQ("Kundennummer 4711", read);
  EXPECT_EQ(4, edit.Send(plat::WM_GETTEXT, 5, reinterpret_cast<plat::LPARAM>(read)))
      << "the buffer size bounds it";
  EXPECT_STREQ("Kund", read);

  plat::SetWindowTextA(edit.window(), std::string(300, 'z').c_str());
  EXPECT_EQ(300, edit.Send(plat::WM_GETTEXTLENGTH)) << "a text longer than any first guess";
}

TEST(EditControl, CountsLinesAtEachLineEndWhenMultiLine) {
  Control edit(plat::WC_EDITA, kFourLines, plat::ES_MULTILINE);
  EXPECT_EQ(4, edit.Send(plat::EM_GETLINECOUNT));
  struct {
    int line;
    plat::LRESULT index;
  } starts[] = {{0, 0}, {1, 7}, {2, 15}, {3, 17}, {4, -1}, {-2, -1}};
  for (const auto& c : starts) EXPECT_EQ(c.index, edit.Send(plat::EM_LINEINDEX, c.line)) << "line " << c.line;
  struct {
    int character;
    plat::LRESULT length;
  } lengths[] = {{0, 5}, {5, 5}, {6, 5}, {7, 6}, {15, 0}, {17, 4}, {21, 4}, {22, 0}};
  for (const auto& c : lengths) {
    EXPECT_EQ(c.length, edit.Send(plat::EM_LINELENGTH, c.character)) << "character " << c.character;
  }
}

TEST(EditControl, WithoutMultiLineTheWholeTextIsOneLine) {
  Control edit(plat::WC_EDITA, kFourLines);
  EXPECT_EQ(1, edit.Send(plat::EM_GETLINECOUNT));
  EXPECT_EQ(-1, edit.Send(plat::EM_LINEINDEX, 1));
  EXPECT_EQ(21, edit.Send(plat::EM_LINELENGTH, 9));
}

TEST(EditControl, SelectsWithinTheText) {
  Control edit(plat::WC_EDITA, kFourLines, plat::ES_MULTILINE);  // 21 characters
  struct Case {
    int start;
    int end;
    Selection expected;
  } cases[] = {
      {2, 5, {2, 5}}, {5, 2, {2, 5}}, {0, -1, {0, 21}}, {3, 100, {3, 21}}, {17, 17, {17, 17}},
  };
  for (const Case& c : cases) {
    edit.Send(plat::EM_SETSEL, static_cast<plat::WPARAM>(c.start), c.end);
    const Selection selection = SelectionOf(edit);
    EXPECT_EQ(c.expected.start, selection.start) << c.start << ", " << c.end;
    EXPECT_EQ(c.expected.end, selection.end) << c.start << ", " << c.end;
  }
  EXPECT_EQ(plat::TRUE, edit.Send(plat::EM_SCROLLCARET));
}

TEST(EditControl, TheCaretFollowsTheEndGiven) {
  Control edit(plat::WC_EDITA, kFourLines, plat::ES_MULTILINE);
  edit.Send(plat::EM_SETSEL, 9, 2);  // caret at 2, on line 0
  EXPECT_EQ(0, edit.Send(plat::EM_LINEINDEX, static_cast<plat::WPARAM>(-1)));
  // The unselected characters of the selection's lines: "fi" before it and "cond" after it.
  EXPECT_EQ(6, edit.Send(plat::EM_LINELENGTH, static_cast<plat::WPARAM>(-1)));
  edit.Send(plat::EM_SETSEL, static_cast<plat::WPARAM>(-1), 0);
  const Selection collapsed = SelectionOf(edit);
  EXPECT_EQ(2u, collapsed.start) << "deselecting leaves the caret where it was";
  EXPECT_EQ(2u, collapsed.end);
  edit.Send(plat::EM_SETSEL, 2, 18);
  EXPECT_EQ(17, edit.Send(plat::EM_LINEINDEX, static_cast<plat::WPARAM>(-1)));
}

TEST(EditControl, ANewTextResetsOrCutsTheSelection) {
  Control edit(plat::WC_EDITA, "0123456789");
  edit.Send(plat::EM_SETSEL, 4, 8);
  plat::SetWindowTextA(edit.window(), "012345");
  Selection cut = SelectionOf(edit);
  EXPECT_EQ(4u, cut.start);
  EXPECT_EQ(6u, cut.end) << "a text shortened behind its back cuts the selection";
  edit.Send(plat::WM_SETTEXT, 0, Text("abc"));
  Selection reset = SelectionOf(edit);
  EXPECT_EQ(0u, reset.start);
  EXPECT_EQ(0u, reset.end);
}

// ---- List box and combo box: the same behaviour under their own message numbers ----

struct ListKind {
  const char* className;
  plat::UINT add, insert, remove, reset, setSelection, getSelection, getText, getTextLength, getCount, find,
      getData, setData;
};

const ListKind kKinds[] = {
    {plat::WC_LISTBOXA, plat::LB_ADDSTRING, plat::LB_INSERTSTRING, plat::LB_DELETESTRING,
     plat::LB_RESETCONTENT, plat::LB_SETCURSEL, plat::LB_GETCURSEL, plat::LB_GETTEXT, plat::LB_GETTEXTLEN,
     plat::LB_GETCOUNT, plat::LB_FINDSTRING, plat::LB_GETITEMDATA, plat::LB_SETITEMDATA},
    {plat::WC_COMBOBOXA, plat::CB_ADDSTRING, plat::CB_INSERTSTRING, plat::CB_DELETESTRING,
     plat::CB_RESETCONTENT, plat::CB_SETCURSEL, plat::CB_GETCURSEL, plat::CB_GETLBTEXT, plat::CB_GETLBTEXTLEN,
     plat::CB_GETCOUNT, plat::CB_FINDSTRING, plat::CB_GETITEMDATA, plat::CB_SETITEMDATA},
};

class EntryList : public ::testing::TestWithParam<ListKind> {
 protected:
  EntryList() : m_list(GetParam().className, "") {}
  plat::LRESULT Send(plat::UINT message, plat::WPARAM wParam = 0, plat::LPARAM lParam = 0) {
    return m_list.Send(message, wParam, lParam);
  }
  plat::WPARAM At(int index) { return static_cast<plat::WPARAM>(index); }
  std::string Entry(int index) {
    char read[512] = "";
    Send(m.getText, At(index), reinterpret_cast<plat::LPARAM>(read));
    return read;
  }
  const ListKind& m = GetParam();
  Control m_list;
};

TEST_P(EntryList, AddsInsertsAndDeletesEntries) {
  EXPECT_EQ(0, Send(m.add, 0, Text("Nord")));
  EXPECT_EQ(1, Send(m.add, 0, Text("Sued")));
  EXPECT_EQ(0, Send(m.insert, 0, Text("West")));
  EXPECT_EQ(3, Send(m.insert, At(-1), Text("Ost")));
  EXPECT_EQ(plat::LB_ERR, Send(m.insert, 5, Text("zu weit")));
  EXPECT_EQ(4, Send(m.getCount));
  const char* expected[] = {"West", "Nord", "Sued", "Ost"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(expected[i], Entry(i)) << i;
  EXPECT_EQ(4, Send(m.getTextLength, 1));
  EXPECT_EQ(plat::LB_ERR, Send(m.getTextLength, 4));
  char untouched[8] = "same";
  EXPECT_EQ(plat::LB_ERR, Send(m.getText, 4, reinterpret_cast<plat::LPARAM>(untouched)));
  EXPECT_STREQ("same", untouched);

  EXPECT_EQ(3, Send(m.remove, 1)) << "the entries left";
  EXPECT_EQ("Sued", Entry(1));
  EXPECT_EQ(plat::LB_ERR, Send(m.remove, 3));
  Send(m.reset);
  EXPECT_EQ(0, Send(m.getCount));
}

TEST_P(EntryList, ReadsTheWholeEntryWithoutASize) {
  const std::string longEntry(200, 'k');
  Send(m.add, 0, Text(longEntry.c_str()));
  char read[256];
  std::fill(std::begin(read), std::end(read), '#');
  EXPECT_EQ(200, Send(m.getText, 0, reinterpret_cast<plat::LPARAM>(read)));
  EXPECT_EQ(longEntry, std::string(read));
  EXPECT_EQ('#', read[201]) << "nothing past the terminator";
}

TEST_P(EntryList, KeepsTheSelectionOnItsEntry) {
  for (const char* text : {"a", "b", "c", "d"}) Send(m.add, 0, Text(text));
  EXPECT_EQ(plat::LB_ERR, Send(m.getSelection)) << "nothing selected at first";
  EXPECT_EQ(2, Send(m.setSelection, 2));
  EXPECT_EQ(2, Send(m.getSelection));
  Send(m.remove, 0);
  EXPECT_EQ(1, Send(m.getSelection)) << "deleting before it moves it up";
  Send(m.insert, 0, Text("z"));
  EXPECT_EQ(2, Send(m.getSelection)) << "inserting before it moves it down";
  EXPECT_EQ("c", Entry(2));
  Send(m.remove, 2);
  EXPECT_EQ(plat::LB_ERR, Send(m.getSelection)) << "deleting it clears it";

  Send(m.setSelection, 1);
  EXPECT_EQ(plat::LB_ERR, Send(m.setSelection, At(-1)));
  EXPECT_EQ(plat::LB_ERR, Send(m.getSelection)) << "-1 clears it";
  Send(m.setSelection, 1);
  EXPECT_EQ(plat::LB_ERR, Send(m.setSelection, 9));
  EXPECT_EQ(plat::LB_ERR, Send(m.getSelection)) << "an index beyond the list clears it too";
}

TEST_P(EntryList, FindsTheFirstEntryBeginningWithATextAfterTheStart) {
  for (const char* text : {"customers_old", "Customers", "orders", "CUSTOMERS_2"}) Send(m.add, 0, Text(text));
  struct Case {
    int after;
    const char* text;
    plat::LRESULT found;
  } cases[] = {
      {-1, "CUSTOMERS", 0},
      {0, "customers", 1},
      {1, "customers", 3},
      {3, "customers", 0},
      {2, "orders", 2},
      {-1, "ORD", 2},
      {-1, "invoices", plat::LB_ERR},
      {-1, "orders_x", plat::LB_ERR},
      {9, "customers", 0},
      {-1, "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.found, Send(m.find, At(c.after), Text(c.text))) << c.after << " " << c.text;
  }
}

TEST_P(EntryList, EachEntryCarriesAValue) {
  Send(m.add, 0, Text("eins"));
  Send(m.add, 0, Text("zwei"));
  EXPECT_EQ(0, Send(m.getData, 1));
  const plat::LPARAM pointerSized = static_cast<plat::LPARAM>(0x7FEE12345678);
  EXPECT_EQ(plat::TRUE, Send(m.setData, 1, pointerSized));
  EXPECT_EQ(pointerSized, Send(m.getData, 1));
  EXPECT_EQ(plat::LB_ERR, Send(m.setData, 2, 5));
  EXPECT_EQ(plat::LB_ERR, Send(m.getData, 2));
  Send(m.insert, 0, Text("null"));
  EXPECT_EQ(pointerSized, Send(m.getData, 2)) << "the value stays with its entry";
}

INSTANTIATE_TEST_SUITE_P(ListBoxAndComboBox, EntryList, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<ListKind>& info) {
                           return std::string(info.param.className);
                         });

}  // namespace
