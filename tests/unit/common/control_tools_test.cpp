// Tests of the control tools against the layer's own controls: list views, combo and list boxes,
// tree views, edit controls and the first characters of a text.
#include "control_tools.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "plat/controls.h"
#include "plat/testing/window.h"
#include "plat/window.h"

namespace {

namespace tools = TOOLFUNC_window;

plat::LPARAM Text(const char* text) { return reinterpret_cast<plat::LPARAM>(text); }

constexpr int kComboId = 1201;
constexpr int kSqlId = 1202;

// A dialog window with controls of the test below it; all gone when the test ends.
class ControlTools : public ::testing::Test {
 protected:
  ControlTools() : m_dialog(plat::CreateWindowForTesting(nullptr, 0)) {}
  ~ControlTools() override {
    for (plat::HWND control : m_controls) plat::DestroyWindow(control);
    plat::RemoveWindowForTesting(m_dialog);
    plat::SetCursorPos(0, 0);
  }
  plat::HWND Make(const char* className, const char* text = "", int id = 0, plat::DWORD style = 0, int x = 0,
                  int y = 0) {
    m_controls.push_back(plat::CreateWindowExA(0, className, text, style, x, y, 200, 100, m_dialog,
                                               reinterpret_cast<plat::HMENU>(static_cast<intptr_t>(id)),
                                               nullptr, nullptr));
    return m_controls.back();
  }
  plat::HWND Combo(std::initializer_list<const char*> entries) {
    plat::HWND combo = Make(plat::WC_COMBOBOXA, "", kComboId);
    for (const char* entry : entries) plat::SendMessageA(combo, plat::CB_ADDSTRING, 0, Text(entry));
    return combo;
  }
  plat::HWND List(std::initializer_list<const char*> items) {
    plat::HWND list = Make(plat::WC_LISTVIEWA);
    for (const char* item : items) tools::ListViewInsertItem(list, 999, item);
    return list;
  }

  plat::HWND m_dialog;
  std::vector<plat::HWND> m_controls;
};

// ---- List view ----

TEST_F(ControlTools, CheckIsMinusOneWithoutCheckBoxesElseTheTick) {
  plat::HWND list = List({"eins", "zwei"});
  EXPECT_EQ(-1, tools::ListViewGetCheck(list, 0)) << "no check box";
  EXPECT_EQ(0u, tools::ListViewSetExtendedStyle(list, plat::LVS_EX_CHECKBOXES, plat::TRUE));
  struct Step {
    int item;
    plat::BOOL tick;
    int expected[2];
  } steps[] = {
      {-1, 0, {0, 0}},
      {1, plat::TRUE, {0, 1}},
      {0, plat::TRUE, {1, 1}},
      {1, plat::FALSE, {1, 0}},
  };
  for (const Step& step : steps) {
    if (step.item >= 0) {
      EXPECT_EQ(plat::TRUE, tools::ListViewSetCheck(list, step.item, step.tick));
    }
    for (int item = 0; item < 2; ++item) {
      EXPECT_EQ(step.expected[item], tools::ListViewGetCheck(list, item)) << step.item << " " << item;
    }
  }
  tools::ListViewSetExtendedStyle(list, plat::LVS_EX_CHECKBOXES, plat::FALSE);
  EXPECT_EQ(-1, tools::ListViewGetCheck(list, 0)) << "the check boxes are gone";
}

TEST_F(ControlTools, DeletingAllItemsFreesEachBlockOnceAndEmptiesTheList) {
  plat::HWND list = List({"a", "b", "c", "d"});
  for (int item : {0, 1, 3}) {
    tools::ListViewSetItemData(list, item, reinterpret_cast<plat::LPARAM>(std::malloc(32)));
  }
  // Item 2 keeps the value 0, which is no block. A block left behind shows as a leak, one freed twice
  // as a double free under the sanitizer.
  tools::ListViewDeleteAllItems(list, plat::TRUE);
  EXPECT_EQ(0, plat::SendMessageA(list, plat::LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(ControlTools, DeletingWithoutTheFreeFlagLeavesTheBlockToTheCaller) {
  plat::HWND list = List({"a", "b"});
  void* block = std::malloc(16);
  std::strcpy(static_cast<char*>(block), "noch da");
  tools::ListViewSetItemData(list, 1, reinterpret_cast<plat::LPARAM>(block));
  EXPECT_EQ(plat::TRUE, tools::ListViewDeleteItem(list, 1, plat::FALSE));
  EXPECT_STREQ("noch da", static_cast<char*>(block));
  std::free(block);
  tools::ListViewDeleteAllItems(list, plat::FALSE);
  EXPECT_EQ(0, plat::SendMessageA(list, plat::LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(ControlTools, FindsASubitemTextWithoutRegardToCase) {
  plat::HWND list = List({"Meier", "Albers", "Schulz"});
  const std::string tooLong(300, 'q');
  const char* phones[] = {"0421 55", "030 12 34", "030 12 34"};
  for (int item = 0; item < 3; ++item) {
    plat::LVITEMA record{};
    record.iSubItem = 1;
    record.pszText = const_cast<char*>(phones[item]);
    plat::SendMessageA(list, plat::LVM_SETITEMTEXTA, static_cast<plat::WPARAM>(item),
                       reinterpret_cast<plat::LPARAM>(&record));
  }
  tools::ListViewInsertItem(list, 3, tooLong.c_str());
  struct Case {
    int subitem;
    const char* text;
    int found;
  } cases[] = {
      {0, "albers", 1}, {0, "SCHULZ", 2},         {0, "Schul", -1}, {1, "030 12 34", 1},
      {1, "Meier", -1}, {0, tooLong.c_str(), -1},  // read with room for 254 characters only
      {2, "", 0},                                  // a subitem never set reads empty
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.found, tools::ListViewFindText(list, c.subitem, c.text)) << c.subitem << " " << c.text;
  }
}

TEST_F(ControlTools, FindsItemsByValueAndPrefix) {
  plat::HWND list = List({"Kundenliste", "Lieferanten", "kunden", "Gross", "Klein"});
  tools::ListViewSetItemData(list, 1, 42);
  tools::ListViewSetItemData(list, 2, -7);
  tools::ListViewSetItemData(list, 3, 2147483647);
  tools::ListViewSetItemData(list, 4, -2147483647 - 1);
  struct Case {
    const char* text;
    int found;
  } byText[] = {
      {"42", 1},
      {"-7", 2},
      {"0", 0},
      {"13", -1},
      {nullptr, -1},
      // Read as the 32-bit atoi reads it: out of range stops at the limits, it does not wrap to 1 or -1.
      {"4294967297", 3},
      {"-4294967297", 4},
      {"2147483648", 3},
      {"-2147483649", 4},
  };
  for (const Case& c : byText) {
    EXPECT_EQ(c.found, tools::ListViewFindDataText(list, c.text)) << (c.text ? c.text : "(null)");
  }
  EXPECT_EQ(0, tools::ListViewFindPrefix(list, "KUNDEN"));
  EXPECT_EQ(1, tools::ListViewFindPrefix(list, "lief"));
  EXPECT_EQ(-1, tools::ListViewFindPrefix(list, "Rechnungen"));
}

TEST_F(ControlTools, NumbersAreWrittenAndReadAsSubitemText) {
  plat::HWND list = List({"a"});
  tools::ListViewSetItemNumber(list, 0, 1, 4000000000u);
  char read[32] = "";
  plat::LVITEMA record{};
  record.iSubItem = 1;
  record.pszText = read;
  record.cchTextMax = sizeof(read);
  plat::SendMessageA(list, plat::LVM_GETITEMTEXTA, 0, reinterpret_cast<plat::LPARAM>(&record));
  EXPECT_STREQ("4000000000", read) << "unsigned";
  tools::ListViewSetItemSignedNumber(list, 0, 2, -1234567);
  EXPECT_EQ(-1234567, tools::ListViewGetItemNumber(list, 0, 2));
  tools::ListViewSetItemNumber(list, 0, 2, 815);
  EXPECT_EQ(815, tools::ListViewGetItemNumber(list, 0, 2));
}

TEST_F(ControlTools, ItemNumbersAreReadAsThe32BitAtoiReadsThem) {
  struct Case {
    const char* text;
    int expected;
  } cases[] = {
      {"4294967297", 2147483647},
      {"-4294967297", -2147483647 - 1},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {" +12x", 12},
      {"", 0},
  };
  for (const Case& c : cases) {
    plat::HWND list = List({c.text});
    EXPECT_EQ(c.expected, tools::ListViewGetItemNumber(list, 0, 0)) << c.text;
  }
}

TEST_F(ControlTools, SelectsAllItemsAndFindsTheFirstSelected) {
  plat::HWND list = List({"a", "b", "c"});
  EXPECT_EQ(-1, tools::ListViewGetNextSelected(list));
  tools::ListViewSelectAll(list);
  for (int item = 0; item < 3; ++item) EXPECT_NE(0u, tools::ListViewIsSelected(list, item)) << item;
  tools::ListViewSelectItem(list, 0, plat::FALSE);
  EXPECT_EQ(0u, tools::ListViewIsSelected(list, 0));
  EXPECT_EQ(1, tools::ListViewGetNextSelected(list));
  tools::ListViewFocusItem(list, 2);
  EXPECT_EQ(plat::LVIS_FOCUSED | plat::LVIS_SELECTED,
            static_cast<plat::UINT>(plat::SendMessageA(list, plat::LVM_GETITEMSTATE, 2, 0xFF)))
      << "the focus leaves the selection alone";
}

TEST_F(ControlTools, AutoSizedColumnsFitTheirHeaderInTheGuiFont) {
  plat::HWND list = Make(plat::WC_LISTVIEWA);
  const std::string longHeader(200, 'W');
  const char* headers[] = {"Name", "", "Telefonnummer", longHeader.c_str()};
  for (int column = 0; column < 4; ++column) {
    tools::ListViewInsertColumn(list, column, 80, headers[column], plat::LVCFMT_LEFT);
  }
  for (int column = 0; column < 4; ++column) {  // a display order the tool puts right again
    plat::LVCOLUMNA order{};
    order.mask = plat::LVCF_ORDER;
    order.iOrder = 3 - column;
    plat::SendMessageA(list, plat::LVM_SETCOLUMNA, static_cast<plat::WPARAM>(column),
                       reinterpret_cast<plat::LPARAM>(&order));
  }
  tools::ListViewAutoSizeColumns(list);
  // The GUI font is 7 pixels per character; 15 pixels are added.
  struct {
    int width;
    int order;
  } expected[] = {
      {4 * 7 + 15, 0},
      {80, 2},  // no header: untouched
      {13 * 7 + 15, 2},
      {126 * 7 + 15, 3},  // the header is read with room for 126 characters
  };
  for (int column = 0; column < 4; ++column) {
    plat::LVCOLUMNA read{};
    read.mask = plat::LVCF_WIDTH | plat::LVCF_ORDER;
    ASSERT_TRUE(plat::SendMessageA(list, plat::LVM_GETCOLUMNA, static_cast<plat::WPARAM>(column),
                                   reinterpret_cast<plat::LPARAM>(&read)));
    EXPECT_EQ(expected[column].width, read.cx) << column;
    EXPECT_EQ(expected[column].order, read.iOrder) << column;
  }
}

// ---- Combo box and list box ----

TEST_F(ControlTools, ComboBoxFindTextComparesWholeEntriesOfAnyLength) {
  const std::string longEntry = std::string(150, 'x') + std::string(50, 'Y');
  plat::HWND combo = Combo({"Alpha", longEntry.c_str(), "Beta"});
  std::string longUpper = longEntry;
  for (char& c : longUpper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  struct Case {
    std::string text;
    int found;
  } cases[] = {
      {"ALPHA", 0},
      {"beta", 2},
      {longUpper, 1},
      {longEntry.substr(0, 127), -1},  // only a beginning of the long entry
      {longEntry.substr(0, 199), -1},
      {"Alp", -1},
      {"", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.found, tools::ComboBoxFindText(combo, c.text.c_str())) << c.text;
}

TEST_F(ControlTools, ListBoxFindDataGivesTheFirstEntryWithTheValue) {
  plat::HWND list = Make(plat::WC_LISTBOXA);
  const plat::LPARAM values[] = {5, 0x7FEE00000001, 5};
  for (plat::LPARAM value : values) {
    const plat::LRESULT index = plat::SendMessageA(list, plat::LB_ADDSTRING, 0, Text("Eintrag"));
    plat::SendMessageA(list, plat::LB_SETITEMDATA, static_cast<plat::WPARAM>(index), value);
  }
  EXPECT_EQ(0, tools::ListBoxFindData(list, 5));
  EXPECT_EQ(1, tools::ListBoxFindData(list, 0x7FEE00000001));
  EXPECT_EQ(-1, tools::ListBoxFindData(list, 1)) << "the low half alone does not match";
}

TEST_F(ControlTools, SelectsTheTableTheSqlTextReadsFrom) {
  plat::HWND combo = Combo({"orders", "customers_old", "Customers", "products"});
  struct Case {
    const char* sql;
    plat::LRESULT selected;
  } cases[] = {
      {"select * from customers where id = 1", 1},  // the first entry that begins with the name
      {"SELECT name FROM products", 3},
      {"select a\r\nfrom\torders", 0},  // line ends and tabs count as blanks
      {"select a from    Customers", 1},
      {"select 1", 0},  // no " FROM ": the first entry
      {"select * fromcustomers", 0},
      {"select * from invoices", plat::CB_ERR},
      {"select * from ", plat::CB_ERR},  // no name after it
      {"delete from orders_archive", plat::CB_ERR},
  };
  for (const Case& c : cases) {
    plat::SendMessageA(combo, plat::CB_SETCURSEL, 2, 0);
    tools::SelectTableFromSql(c.sql, m_dialog, kComboId);
    EXPECT_EQ(c.selected, plat::SendMessageA(combo, plat::CB_GETCURSEL, 0, 0)) << c.sql;
  }
}

TEST_F(ControlTools, SelectsTheTableOfAnItemsSqlText) {
  plat::HWND combo = Combo({"orders", "products"});
  Make(plat::WC_EDITA, "SELECT id\r\nFROM products", kSqlId, plat::ES_MULTILINE);
  plat::HWND otherDialog = plat::CreateWindowForTesting(nullptr, 0);
  plat::HWND otherCombo = plat::CreateWindowExA(0, plat::WC_COMBOBOXA, "", 0, 0, 0, 100, 100, otherDialog,
                                                reinterpret_cast<plat::HMENU>(kComboId), nullptr, nullptr);
  plat::SendMessageA(otherCombo, plat::CB_ADDSTRING, 0, Text("products"));
  tools::SelectTableFromSqlItem(m_dialog, kSqlId, otherDialog, kComboId);
  EXPECT_EQ(0, plat::SendMessageA(otherCombo, plat::CB_GETCURSEL, 0, 0))
      << "the combo box of the other dialog";
  EXPECT_EQ(plat::CB_ERR, plat::SendMessageA(combo, plat::CB_GETCURSEL, 0, 0));
  plat::DestroyWindow(otherCombo);
  plat::RemoveWindowForTesting(otherDialog);
}

// ---- Tree view ----

TEST_F(ControlTools, TreeWalkSearchesEachChildWholeBeforeTheNext) {
  plat::HWND tree = Make(plat::WC_TREEVIEWA);
  plat::HTREEITEM top = tools::TreeViewInsertItem(tree, plat::TVI_ROOT, plat::TVI_LAST, "Kunden", 1);
  plat::HTREEITEM north = tools::TreeViewInsertItem(tree, top, plat::TVI_LAST, "Nord", 2);
  plat::HTREEITEM south = tools::TreeViewInsertItem(tree, top, plat::TVI_LAST, "Sued", 7);
  plat::HTREEITEM deep = tools::TreeViewInsertItem(tree, north, plat::TVI_LAST, "Bremen", 7);
  plat::HTREEITEM sibling = tools::TreeViewInsertItem(tree, nullptr, plat::TVI_LAST, "Lieferanten", 9);
  const plat::LPARAM pointerSized = static_cast<plat::LPARAM>(0x7FEE00000007);
  tools::TreeViewSetItemData(tree, south, pointerSized);
  tools::TreeViewSetItemData(tree, south, 7);
  struct Case {
    const char* what;
    plat::HTREEITEM from;
    plat::LPARAM value;
    plat::HTREEITEM found;
  } cases[] = {
      {"the item itself", top, 1, top},           {"a grandchild before the next child", top, 7, deep},
      {"from the next child", south, 7, south},   {"a sibling of the start is not below it", top, 9, nullptr},
      {"nothing below a leaf", deep, 2, nullptr}, {"no value", top, 99, nullptr},
      {"no start", nullptr, 1, nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(c.found, tools::TreeViewWalk(tree, c.from, c.value)) << c.what;
  tools::TreeViewSetItemData(tree, deep, pointerSized);
  EXPECT_EQ(pointerSized, tools::TreeViewGetItemData(tree, deep));
  EXPECT_EQ(deep, tools::TreeViewWalk(tree, top, pointerSized)) << "compared in full width";
  EXPECT_EQ(sibling, tools::TreeViewWalk(tree, sibling, 9));
}

TEST_F(ControlTools, TreeItemTextsAndImages) {
  plat::HWND tree = Make(plat::WC_TREEVIEWA);
  plat::HTREEITEM item = tools::TreeViewInsertItem(tree, nullptr, plat::TVI_LAST, "Ordner", 0);
  EXPECT_EQ(plat::TRUE, tools::TreeViewSetItemImage(tree, item, 4));
  EXPECT_EQ(4, tools::TreeViewGetItemImage(tree, item));
  plat::TVITEMA read{};
  read.mask = plat::TVIF_SELECTEDIMAGE;
  read.hItem = item;
  plat::SendMessageA(tree, plat::TVM_GETITEMA, 0, reinterpret_cast<plat::LPARAM>(&read));
  EXPECT_EQ(4, read.iSelectedImage) << "both images the same";
  tools::TreeViewSetItemText(tree, item, "Archiv 2024");
  char text[8] = "";
  EXPECT_EQ(plat::TRUE, tools::TreeViewGetItemText(tree, item, text, sizeof(text)));
  EXPECT_STREQ("Archiv ", text);
}

TEST_F(ControlTools, HitTestAtTheCursorGivesTheItemUnderIt) {
  // The dialog is at 0, 0, so the tree's client area starts at 30, 40 on the screen.
  plat::HWND tree = Make(plat::WC_TREEVIEWA, "", 0, 0, 30, 40);
  plat::HTREEITEM first = tools::TreeViewInsertItem(tree, nullptr, plat::TVI_LAST, "eins", 1);
  plat::HTREEITEM child = tools::TreeViewInsertItem(tree, first, plat::TVI_LAST, "Kind", 2);
  struct Case {
    int x;
    int y;
    plat::HTREEITEM item;
  } cases[] = {
      {35, 45, first},         // row 0
      {35, 40 + 16, child},    // row 1, 16 pixels a row
      {35, 40 + 32, nullptr},  // below the last item
      {25, 45, nullptr},       // left of the tree
  };
  for (const Case& c : cases) {
    plat::SetCursorPos(c.x, c.y);
    EXPECT_EQ(c.item, tools::TreeViewHitTestCursor(tree)) << c.x << ", " << c.y;
  }
}

// ---- Edit control and window text ----

TEST_F(ControlTools, SelectEditLineSelectsALineWithoutItsEnd) {
  plat::HWND edit = Make(plat::WC_EDITA, "first\r\nsecond\r\n\r\nlast", 0, plat::ES_MULTILINE);
  struct Case {
    int line;
    plat::DWORD start;
    plat::DWORD end;
  } cases[] = {
      {0, 0, 5},                           // 0 counts as 1
      {1, 0, 5},   {2, 7, 13}, {3, 1, 2},  // empty: the selection stays
      {4, 17, 21}, {5, 1, 2},              // no such line
  };
  for (const Case& c : cases) {
    plat::SendMessageA(edit, plat::EM_SETSEL, 1, 2);
    tools::SelectEditLine(edit, c.line);
    plat::DWORD start = 0;
    plat::DWORD end = 0;
    plat::SendMessageA(edit, plat::EM_GETSEL, reinterpret_cast<plat::WPARAM>(&start),
                       reinterpret_cast<plat::LPARAM>(&end));
    EXPECT_EQ(c.start, start) << "line " << c.line;
    EXPECT_EQ(c.end, end) << "line " << c.line;
  }
}

TEST_F(ControlTools, TheFirstTwoCharactersAsAWord) {
  constexpr int kItemId = 1300;
  plat::HWND item = Make(plat::WC_EDITA, "", kItemId);
  struct Case {
    const char* text;
    plat::DWORD word;
  } cases[] = {
      {"AB", 0x4241},
      {"ABC", 0x4241},
      {"", 0},
      {"A", 0x41},
      {"\xE4"
       "b",
       0x62E4},
  };
  for (const Case& c : cases) {
    plat::SetWindowTextA(item, c.text);
    EXPECT_EQ(c.word, tools::GetDlgItemChars(m_dialog, kItemId)) << c.text;
    EXPECT_EQ(c.word, tools::GetWindowChars(item)) << c.text;
  }
  EXPECT_EQ(0u, tools::GetDlgItemChars(m_dialog, 4711)) << "no such item";
}

}  // namespace
