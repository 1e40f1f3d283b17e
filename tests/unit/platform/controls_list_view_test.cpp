// Tests of the list view: columns, items and subitems, states and check boxes, and its searches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/controls.h"
#include "plat/window.h"

namespace {

// A list view of the test, destroyed when it ends, with helpers that fill in the records.
class ListView : public ::testing::Test {
 protected:
  ListView()
      : m_list(plat::CreateWindowExA(0, plat::WC_LISTVIEWA, "", 0, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                     nullptr)) {}
  ~ListView() override { plat::DestroyWindow(m_list); }

  template <typename Record>
  plat::LRESULT Send(plat::UINT message, plat::WPARAM wParam, Record* record) {
    return plat::SendMessageA(m_list, message, wParam, reinterpret_cast<plat::LPARAM>(record));
  }
  plat::LRESULT Send(plat::UINT message, plat::WPARAM wParam = 0, plat::LPARAM lParam = 0) {
    return plat::SendMessageA(m_list, message, wParam, lParam);
  }
  static plat::WPARAM At(int index) { return static_cast<plat::WPARAM>(index); }

  plat::LRESULT InsertItem(int index, const char* text, plat::LPARAM value = 0) {
    plat::LVITEMA item{};
    item.mask = plat::LVIF_TEXT | plat::LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(text);
    item.lParam = value;
    return Send(plat::LVM_INSERTITEMA, 0, &item);
  }
  plat::LRESULT SetText(int index, int subItem, const char* text) {
    plat::LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text);
    return Send(plat::LVM_SETITEMTEXTA, At(index), &item);
  }
  std::string TextOf(int index, int subItem = 0, int capacity = 64) {
    std::vector<char> read(static_cast<size_t>(capacity) + 8, '#');
    plat::LVITEMA item{};
    item.iSubItem = subItem;
    item.pszText = read.data();
    item.cchTextMax = capacity;
    const plat::LRESULT copied = Send(plat::LVM_GETITEMTEXTA, At(index), &item);
    EXPECT_EQ(copied, static_cast<plat::LRESULT>(std::string(read.data()).size()));
    return read.data();
  }
  plat::LRESULT SetState(int index, plat::UINT state, plat::UINT mask) {
    plat::LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return Send(plat::LVM_SETITEMSTATE, At(index), &item);
  }
  plat::UINT StateOf(int index, plat::UINT mask = 0xFFFFFFFF) {
    return static_cast<plat::UINT>(Send(plat::LVM_GETITEMSTATE, At(index), static_cast<plat::LPARAM>(mask)));
  }
  plat::LRESULT Find(int after, plat::UINT flags, const char* text, plat::LPARAM value = 0) {
    plat::LVFINDINFOA find{};
    find.flags = flags;
    find.psz = text;
    find.lParam = value;
    return Send(plat::LVM_FINDITEMA, At(after), &find);
  }
  plat::LRESULT InsertColumn(int index, const char* text, int width) {
    plat::LVCOLUMNA column{};
    column.mask = plat::LVCF_TEXT | plat::LVCF_WIDTH;
    column.pszText = const_cast<char*>(text);
    column.cx = width;
    return Send(plat::LVM_INSERTCOLUMNA, At(index), &column);
  }
  plat::LVCOLUMNA ColumnOf(int index, char* text, int capacity) {
    plat::LVCOLUMNA column{};
    column.mask = plat::LVCF_TEXT | plat::LVCF_WIDTH | plat::LVCF_ORDER | plat::LVCF_FMT;
    column.pszText = text;
    column.cchTextMax = capacity;
    column.iOrder = -7;
    m_lastColumnFound = Send(plat::LVM_GETCOLUMNA, At(index), &column) != 0;
    return column;
  }

  plat::HWND m_list;
  bool m_lastColumnFound = false;
};

TEST_F(ListView, InsertsColumnsAndKeepsTheirDisplayOrder) {
  EXPECT_EQ(0, InsertColumn(0, "Name", 120));
  EXPECT_EQ(1, InsertColumn(7, "Telefon", 80)) << "an index beyond the columns appends";
  EXPECT_EQ(0, InsertColumn(0, "Nr", 30));
  EXPECT_EQ(-1, InsertColumn(-1, "nie", 10));
  struct {
    const char* text;
    int width;
    int order;
  } expected[] = {{"Nr", 30, 0}, {"Name", 120, 1}, {"Telefon", 80, 2}};
  for (int i = 0; i < 3; ++i) {
    char text[32] = "";
    const plat::LVCOLUMNA column = ColumnOf(i, text, sizeof(text));
    EXPECT_TRUE(m_lastColumnFound);
    EXPECT_STREQ(expected[i].text, text) << i;
    EXPECT_EQ(expected[i].width, column.cx) << i;
    EXPECT_EQ(expected[i].order, column.iOrder) << i;
    EXPECT_EQ(plat::LVCFMT_LEFT, column.fmt) << i;
  }
  char text[4] = "";
  ColumnOf(2, text, 4);
  EXPECT_STREQ("Tel", text) << "cchTextMax bounds the header text";
  ColumnOf(3, text, 4);
  EXPECT_FALSE(m_lastColumnFound);

  plat::LVCOLUMNA changed{};
  changed.mask = plat::LVCF_WIDTH | plat::LVCF_ORDER;
  changed.cx = 55;
  changed.iOrder = 2;
  EXPECT_EQ(plat::TRUE, Send(plat::LVM_SETCOLUMNA, 0, &changed));
  const plat::LVCOLUMNA read = ColumnOf(0, text, 4);
  EXPECT_EQ(55, read.cx);
  EXPECT_EQ(2, read.iOrder);
  EXPECT_STREQ("Nr", text) << "fields outside the mask stay";
  EXPECT_EQ(plat::FALSE, Send(plat::LVM_SETCOLUMNA, 3, &changed));
}

TEST_F(ListView, InsertsItemsWithTextsForEachSubitem) {
  EXPECT_EQ(0, InsertItem(0, "Meier"));
  EXPECT_EQ(0, InsertItem(0, "Albers"));
  EXPECT_EQ(2, InsertItem(99, "Schulz")) << "an index beyond the items appends";
  EXPECT_EQ(-1, InsertItem(-1, "nie"));
  EXPECT_EQ(3, Send(plat::LVM_GETITEMCOUNT));
  EXPECT_EQ("Albers", TextOf(0));
  EXPECT_EQ("Schulz", TextOf(2));

  EXPECT_EQ(plat::TRUE, SetText(1, 2, "0421 55"));
  EXPECT_EQ("0421 55", TextOf(1, 2));
  EXPECT_EQ("", TextOf(1, 1)) << "a subitem never set is empty";
  EXPECT_EQ("Meier", TextOf(1, 0));
  EXPECT_EQ("042", TextOf(1, 2, 4)) << "cchTextMax bounds the copy";
  EXPECT_EQ(plat::FALSE, SetText(3, 0, "kein Eintrag"));
  EXPECT_EQ(0, Send(plat::LVM_GETITEMTEXTA, 3, 0));

  plat::LVITEMA image{};
  image.mask = plat::LVIF_IMAGE;
  image.iItem = 1;
  image.iSubItem = 2;
  image.iImage = 5;
  EXPECT_EQ(plat::TRUE, Send(plat::LVM_SETITEMA, 0, &image));
  image.iSubItem = 0;
  image.iImage = -3;
  Send(plat::LVM_GETITEMA, 0, &image);
  EXPECT_EQ(0, image.iImage) << "each subitem has its own image";
  image.iSubItem = 2;
  Send(plat::LVM_GETITEMA, 0, &image);
  EXPECT_EQ(5, image.iImage);

  EXPECT_EQ(plat::TRUE, Send(plat::LVM_DELETEITEM, 0));
  EXPECT_EQ("Meier", TextOf(0));
  EXPECT_EQ("0421 55", TextOf(0, 2)) << "the subitems go along with their item";
  EXPECT_EQ(plat::FALSE, Send(plat::LVM_DELETEITEM, 2));
  EXPECT_EQ(plat::TRUE, Send(plat::LVM_DELETEALLITEMS));
  EXPECT_EQ(0, Send(plat::LVM_GETITEMCOUNT));
}

TEST_F(ListView, TheValueBelongsToTheItemAndIsPointerSized) {
  int block = 0;
  const auto pointer = reinterpret_cast<plat::LPARAM>(&block);
  InsertItem(0, "eins", pointer);
  plat::LVITEMA item{};
  item.mask = plat::LVIF_PARAM;
  item.iItem = 0;
  EXPECT_EQ(plat::TRUE, Send(plat::LVM_GETITEMA, 0, &item));
  EXPECT_EQ(pointer, item.lParam);

  item.iSubItem = 1;
  item.lParam = 42;
  Send(plat::LVM_SETITEMA, 0, &item);
  item.iSubItem = 0;
  item.lParam = 0;
  Send(plat::LVM_GETITEMA, 0, &item);
  EXPECT_EQ(pointer, item.lParam) << "a subitem has no value of its own";
  item.iItem = 1;
  EXPECT_EQ(plat::FALSE, Send(plat::LVM_GETITEMA, 0, &item));
}

TEST_F(ListView, StatesAreSetThroughTheirMask) {
  for (const char* text : {"a", "b", "c"}) InsertItem(99, text);
  EXPECT_EQ(plat::TRUE, SetState(1, plat::LVIS_SELECTED, plat::LVIS_SELECTED));
  EXPECT_EQ(plat::LVIS_SELECTED, StateOf(1));
  EXPECT_EQ(0u, StateOf(1, plat::LVIS_FOCUSED)) << "only the bits asked for";
  SetState(1, plat::LVIS_FOCUSED, plat::LVIS_FOCUSED | plat::LVIS_SELECTED);
  EXPECT_EQ(plat::LVIS_FOCUSED, StateOf(1)) << "a bit in the mask and not in the state is cleared";

  SetState(2, plat::LVIS_FOCUSED, plat::LVIS_FOCUSED);
  EXPECT_EQ(0u, StateOf(1)) << "only one item has the focus";
  EXPECT_EQ(plat::TRUE, SetState(-1, plat::LVIS_SELECTED, plat::LVIS_SELECTED));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(plat::LVIS_SELECTED, StateOf(i, plat::LVIS_SELECTED)) << i;
  EXPECT_EQ(plat::FALSE, SetState(3, 0, plat::LVIS_SELECTED));
  EXPECT_EQ(0u, StateOf(3));
}

TEST_F(ListView, NextItemHasTheStatesAskedFor) {
  for (const char* text : {"a", "b", "c", "d"}) InsertItem(99, text);
  SetState(1, plat::LVIS_SELECTED, plat::LVIS_SELECTED);
  SetState(3, plat::LVIS_SELECTED | plat::LVIS_FOCUSED, plat::LVIS_SELECTED | plat::LVIS_FOCUSED);
  struct {
    int after;
    plat::LPARAM flags;
    plat::LRESULT next;
  } cases[] = {
      {-1, plat::LVNI_SELECTED, 1},
      {1, plat::LVNI_SELECTED, 3},
      {3, plat::LVNI_SELECTED, -1},
      {-1, plat::LVNI_FOCUSED, 3},
      {-1, plat::LVNI_ALL, 0},
      {2, plat::LVNI_ALL, 3},
      {-1, plat::LVNI_SELECTED | plat::LVNI_FOCUSED, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.next, Send(plat::LVM_GETNEXTITEM, At(c.after), c.flags)) << c.after << " " << c.flags;
  }
}

TEST_F(ListView, FindsItemsByValueTextOrPrefix) {
  InsertItem(99, "Kunden", 10);
  InsertItem(99, "kundenliste", 20);
  InsertItem(99, "Lieferanten", 30);
  InsertItem(99, "KUNDEN", 40);
  using plat::LVFI_PARAM, plat::LVFI_STRING, plat::LVFI_PARTIAL, plat::LVFI_WRAP;
  struct Case {
    int after;
    plat::UINT flags;
    const char* text;
    plat::LPARAM value;
    plat::LRESULT found;
  } cases[] = {
      {-1, LVFI_PARAM, nullptr, 30, 2},
      {-1, LVFI_PARAM, nullptr, 31, -1},
      {-1, LVFI_PARAM | LVFI_STRING, "Lieferanten", 20, 1},  // the value outweighs the text
      {-1, LVFI_STRING, "kunden", 0, 0},
      {0, LVFI_STRING, "kunden", 0, 3},
      {3, LVFI_STRING, "kunden", 0, -1},
      {3, LVFI_STRING | LVFI_WRAP, "kunden", 0, 0},
      {-1, LVFI_STRING, "Kunde", 0, -1},
      {0, LVFI_STRING | LVFI_PARTIAL, "KUNDE", 0, 1},
      {-1, LVFI_STRING | LVFI_PARTIAL, "lief", 0, 2},
      {-1, LVFI_STRING | LVFI_PARTIAL, "Lieferanten und mehr", 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.found, Find(c.after, c.flags, c.text, c.value))
        << c.after << " " << c.flags << " " << c.value;
  }
}

TEST_F(ListView, CheckBoxesAreTheStateImage) {
  InsertItem(99, "vorher");
  EXPECT_EQ(0u, StateOf(0, plat::LVIS_STATEIMAGEMASK)) << "no state image without check boxes";
  EXPECT_EQ(0, Send(plat::LVM_SETEXTENDEDLISTVIEWSTYLE, plat::LVS_EX_CHECKBOXES, plat::LVS_EX_CHECKBOXES));
  EXPECT_EQ(static_cast<plat::LRESULT>(plat::LVS_EX_CHECKBOXES), Send(plat::LVM_GETEXTENDEDLISTVIEWSTYLE));
  InsertItem(99, "nachher");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(plat::INDEXTOSTATEIMAGEMASK(1), StateOf(i, plat::LVIS_STATEIMAGEMASK)) << i << ": unticked";
  }
  SetState(1, plat::INDEXTOSTATEIMAGEMASK(2), plat::LVIS_STATEIMAGEMASK);
  EXPECT_EQ(0x2000u, StateOf(1, plat::LVIS_STATEIMAGEMASK));
  SetState(1, plat::LVIS_SELECTED, plat::LVIS_SELECTED);
  EXPECT_EQ(0x2000u | plat::LVIS_SELECTED, StateOf(1)) << "other states leave the tick alone";

  EXPECT_EQ(static_cast<plat::LRESULT>(plat::LVS_EX_CHECKBOXES),
            Send(plat::LVM_SETEXTENDEDLISTVIEWSTYLE, plat::LVS_EX_CHECKBOXES, 0));
  EXPECT_EQ(plat::LVIS_SELECTED, StateOf(1)) << "the check boxes go";
  Send(plat::LVM_SETEXTENDEDLISTVIEWSTYLE, 0, 0x10 | plat::LVS_EX_CHECKBOXES);
  EXPECT_EQ(0x14, Send(plat::LVM_GETEXTENDEDLISTVIEWSTYLE)) << "mask 0 sets every bit as given";
  EXPECT_EQ(0x1000u, StateOf(1, plat::LVIS_STATEIMAGEMASK)) << "they come back unticked";
}

}  // namespace
