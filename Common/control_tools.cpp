// Control tools: message wrappers for list views, combo and list boxes, tree views and edit controls,
// and the searches and selections built on them.
#include "control_tools.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "plat/bounded_text.h"
#include "plat/codepage.h"
#include "plat/gdi.h"
#include "string_tools.h"

namespace TOOLFUNC_window {
namespace {

template <typename Record>
plat::LRESULT Send(plat::HWND window, plat::UINT message, plat::WPARAM wParam, Record* record) {
  return plat::SendMessageA(window, message, wParam, reinterpret_cast<plat::LPARAM>(record));
}

plat::WPARAM Index(int index) { return static_cast<plat::WPARAM>(index); }

plat::BOOL SetItem(plat::HWND list, plat::LVITEMA item) {
  return static_cast<plat::BOOL>(Send(list, plat::LVM_SETITEMA, 0, &item));
}

plat::BOOL SetItemState(plat::HWND list, int item, plat::UINT state, plat::UINT mask) {
  plat::LVITEMA record{};
  record.mask = plat::LVIF_STATE;
  record.iItem = item;
  record.state = state;
  record.stateMask = mask;
  return SetItem(list, record);
}

int FindItem(plat::HWND list, plat::LVFINDINFOA find) {
  return static_cast<int>(Send(list, plat::LVM_FINDITEMA, Index(-1), &find));
}

plat::BOOL SetItemText(plat::HWND list, int item, int subitem, char* text) {
  plat::LVITEMA record{};
  record.iSubItem = subitem;
  record.pszText = text;
  return static_cast<plat::BOOL>(Send(list, plat::LVM_SETITEMTEXTA, Index(item), &record));
}

plat::BOOL SetTreeItem(plat::HWND tree, plat::TVITEMA item) {
  item.mask |= plat::TVIF_HANDLE;
  return static_cast<plat::BOOL>(Send(tree, plat::TVM_SETITEMA, 0, &item));
}

// The item's fields named by `mask`; zeros when the tree does not know the item.
plat::TVITEMA GetTreeItem(plat::HWND tree, plat::HTREEITEM item, plat::UINT mask) {
  plat::TVITEMA record{};
  record.mask = mask | plat::TVIF_HANDLE;
  record.hItem = item;
  Send(tree, plat::TVM_GETITEMA, 0, &record);
  return record;
}

plat::HTREEITEM NextTreeItem(plat::HWND tree, plat::WPARAM relation, plat::HTREEITEM item) {
  return reinterpret_cast<plat::HTREEITEM>(Send(tree, plat::TVM_GETNEXTITEM, relation, item));
}

// The first two characters of a text read with room for two: the upper bytes stay 0.
plat::DWORD CharsOf(const char (&text)[4]) {
  return static_cast<plat::DWORD>(static_cast<unsigned char>(text[0])) |
         static_cast<plat::DWORD>(static_cast<unsigned char>(text[1])) << 8;
}

// Room for two characters and a terminator, so a third is never read.
constexpr int kTwoCharacters = 3;

}  // namespace

// ---- List view ----

plat::DWORD ListViewSetExtendedStyle(plat::HWND list, plat::DWORD bits, plat::BOOL set) {
  return static_cast<plat::DWORD>(plat::SendMessageA(list, plat::LVM_SETEXTENDEDLISTVIEWSTYLE, bits,
                                                     set ? static_cast<plat::LPARAM>(bits) : 0));
}

int ListViewInsertColumn(plat::HWND list, int index, int width, const char* text, int format) {
  plat::LVCOLUMNA column{};
  column.mask = plat::LVCF_FMT | plat::LVCF_WIDTH | plat::LVCF_TEXT | plat::LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(text);
  column.iSubItem = 0;
  return static_cast<int>(Send(list, plat::LVM_INSERTCOLUMNA, Index(index), &column));
}

plat::BOOL ListViewSetColumnText(plat::HWND list, int index, const char* text) {
  plat::LVCOLUMNA column{};
  column.mask = plat::LVCF_TEXT;
  column.pszText = const_cast<char*>(text);
  return static_cast<plat::BOOL>(Send(list, plat::LVM_SETCOLUMNA, Index(index), &column));
}

int ListViewInsertItem(plat::HWND list, int index, const char* text) {
  plat::LVITEMA item{};
  item.mask = plat::LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text);
  return static_cast<int>(Send(list, plat::LVM_INSERTITEMA, 0, &item));
}

plat::UINT ListViewIsSelected(plat::HWND list, int item) {
  return static_cast<plat::UINT>(
      plat::SendMessageA(list, plat::LVM_GETITEMSTATE, Index(item), plat::LVIS_SELECTED));
}

plat::BOOL ListViewSetItemImage(plat::HWND list, int item, int subitem, int image) {
  plat::LVITEMA record{};
  record.mask = plat::LVIF_IMAGE;
  record.iItem = item;
  record.iSubItem = subitem;
  record.iImage = image;
  return SetItem(list, record);
}

int ListViewGetItemImage(plat::HWND list, int item, int subitem) {
  plat::LVITEMA record{};
  record.mask = plat::LVIF_IMAGE;
  record.iItem = item;
  record.iSubItem = subitem;
  Send(list, plat::LVM_GETITEMA, 0, &record);
  return record.iImage;
}

int ListViewGetNextSelected(plat::HWND list) {
  return static_cast<int>(plat::SendMessageA(list, plat::LVM_GETNEXTITEM, Index(-1), plat::LVNI_SELECTED));
}

plat::BOOL ListViewSelectItem(plat::HWND list, int item, plat::BOOL select) {
  return SetItemState(list, item, select ? plat::LVIS_SELECTED : 0, plat::LVIS_SELECTED);
}

plat::BOOL ListViewSetItemData(plat::HWND list, int item, plat::LPARAM value) {
  plat::LVITEMA record{};
  record.mask = plat::LVIF_PARAM;
  record.iItem = item;
  record.lParam = value;
  return SetItem(list, record);
}

plat::LPARAM ListViewGetItemData(plat::HWND list, int item) {
  plat::LVITEMA record{};
  record.mask = plat::LVIF_PARAM;
  record.iItem = item;
  Send(list, plat::LVM_GETITEMA, 0, &record);
  return record.lParam;
}

int ListViewFindData(plat::HWND list, plat::LPARAM value) {
  plat::LVFINDINFOA find{};
  find.flags = plat::LVFI_PARAM;
  find.lParam = value;
  return FindItem(list, find);
}

int ListViewFindDataText(plat::HWND list, const char* text) {
  return text == nullptr ? -1 : ListViewFindData(list, TOOLFUNC_string::ReadDecimal(text));
}

int ListViewFindPrefix(plat::HWND list, const char* text) {
  plat::LVFINDINFOA find{};
  find.flags = plat::LVFI_STRING | plat::LVFI_PARTIAL;
  find.psz = text;
  return FindItem(list, find);
}

int ListViewFindText(plat::HWND list, int subitem, const char* text) {
  const int count = static_cast<int>(plat::SendMessageA(list, plat::LVM_GETITEMCOUNT, 0, 0));
  for (int item = 0; item < count; ++item) {
    char read[256] = "";
    plat::LVITEMA record{};
    record.iSubItem = subitem;
    record.pszText = read;
    record.cchTextMax = 255;
    Send(list, plat::LVM_GETITEMTEXTA, Index(item), &record);
    if (plat::lstrcmpiA(read, text) == 0) return item;
  }
  return -1;
}

int ListViewGetItemNumber(plat::HWND list, int item, int subitem) {
  char read[16] = "";
  plat::LVITEMA record{};
  record.iSubItem = subitem;
  record.pszText = read;
  record.cchTextMax = 15;
  Send(list, plat::LVM_GETITEMTEXTA, Index(item), &record);
  return TOOLFUNC_string::ReadDecimal(read);
}

plat::BOOL ListViewSetItemNumber(plat::HWND list, int item, int subitem, plat::DWORD value) {
  char text[16];
  std::snprintf(text, 15, "%u", value);
  return SetItemText(list, item, subitem, text);
}

plat::BOOL ListViewSetItemSignedNumber(plat::HWND list, int item, int subitem, int value) {
  char text[16];
  std::snprintf(text, 15, "%d", value);
  return SetItemText(list, item, subitem, text);
}

plat::BOOL ListViewDeleteItem(plat::HWND list, int item, plat::BOOL freeData) {
  if (freeData) {
    if (plat::LPARAM block = ListViewGetItemData(list, item)) std::free(reinterpret_cast<void*>(block));
  }
  return static_cast<plat::BOOL>(plat::SendMessageA(list, plat::LVM_DELETEITEM, Index(item), 0));
}

void ListViewDeleteAllItems(plat::HWND list, plat::BOOL freeData) {
  const int count = static_cast<int>(plat::SendMessageA(list, plat::LVM_GETITEMCOUNT, 0, 0));
  for (int item = count - 1; item >= 0; --item) ListViewDeleteItem(list, item, freeData);
}

plat::BOOL ListViewFocusItem(plat::HWND list, int item) {
  return SetItemState(list, item, plat::LVIS_FOCUSED, plat::LVIS_FOCUSED);
}

void ListViewSelectAll(plat::HWND list) {
  const int count = static_cast<int>(plat::SendMessageA(list, plat::LVM_GETITEMCOUNT, 0, 0));
  for (int item = 0; item < count; ++item) SetItemState(list, item, plat::LVIS_SELECTED, plat::LVIS_SELECTED);
}

void ListViewAutoSizeColumns(plat::HWND list) {
  // DrawTextA moves only the right and bottom edges, so the rectangle serves every column unchanged.
  plat::RECT measured = {0, 0, 1000, 30};
  plat::HDC screen = plat::GetDC(nullptr);
  plat::HGDIOBJ previousFont = plat::SelectObject(screen, plat::GetStockObject(plat::DEFAULT_GUI_FONT));
  for (int index = 0;; ++index) {
    char header[128] = "";
    plat::LVCOLUMNA column{};
    column.mask = plat::LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = 127;
    if (!Send(list, plat::LVM_GETCOLUMNA, Index(index), &column)) break;
    if (header[0] == '\0') continue;
    plat::DrawTextA(screen, header, -1, &measured, plat::DT_CALCRECT);
    plat::LVCOLUMNA sized{};
    sized.mask = plat::LVCF_WIDTH | plat::LVCF_ORDER;
    sized.cx = measured.right + 15;
    sized.iOrder = index;
    Send(list, plat::LVM_SETCOLUMNA, Index(index), &sized);
  }
  if (previousFont != nullptr) plat::SelectObject(screen, previousFont);
  plat::ReleaseDC(nullptr, screen);
}

plat::BOOL ListViewSetCheck(plat::HWND list, int item, plat::BOOL tick) {
  plat::LVITEMA record{};
  record.stateMask = plat::LVIS_STATEIMAGEMASK;
  record.state = tick ? 0x2000 : 0x1000;
  return static_cast<plat::BOOL>(Send(list, plat::LVM_SETITEMSTATE, Index(item), &record));
}

int ListViewGetCheck(plat::HWND list, int item) {
  const auto state = static_cast<plat::UINT>(
      plat::SendMessageA(list, plat::LVM_GETITEMSTATE, Index(item), plat::LVIS_STATEIMAGEMASK));
  return static_cast<int>(state >> 12) - 1;
}

// ---- Combo box and list box ----

int ComboBoxFindText(plat::HWND combo, const char* text) {
  const int count = static_cast<int>(plat::SendMessageA(combo, plat::CB_GETCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    // CB_GETLBTEXT copies the whole entry, so the buffer is made to fit it.
    const plat::LRESULT length = plat::SendMessageA(combo, plat::CB_GETLBTEXTLEN, Index(index), 0);
    if (length < 0) continue;
    char shortEntry[128];
    std::vector<char> longEntry;
    char* entry = shortEntry;
    if (length >= static_cast<plat::LRESULT>(sizeof(shortEntry))) {
      longEntry.resize(static_cast<size_t>(length) + 1);
      entry = longEntry.data();
    }
    entry[0] = '\0';
    Send(combo, plat::CB_GETLBTEXT, Index(index), entry);
    if (plat::lstrcmpiA(entry, text) == 0) return index;
  }
  return -1;
}

int ListBoxFindData(plat::HWND list, plat::LPARAM value) {
  const int count = static_cast<int>(plat::SendMessageA(list, plat::LB_GETCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    if (plat::SendMessageA(list, plat::LB_GETITEMDATA, Index(index), 0) == value) return index;
  }
  return -1;
}

void SelectTableFromSql(const char* sql, plat::HWND dialog, int comboId) {
  char text[1024];
  plat::BoundedCopy(text, 1023, sql);
  for (char* c = text; *c != '\0'; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  for (char blankLike : {'\r', '\n', '\t'}) TOOLFUNC_string::ReplaceChar(text, blankLike, ' ');

  const plat::HWND combo = plat::GetDlgItem(dialog, comboId);
  plat::LRESULT entry = 0;
  if (const char* from = std::strstr(text, " FROM ")) {
    char table[128] = "";
    // " FROM " with no name after it names no table.
    entry = plat::CB_ERR;
    if (std::sscanf(from + 6, "%126s", table) == 1) {
      entry =
          plat::SendMessageA(combo, plat::CB_FINDSTRING, Index(-1), reinterpret_cast<plat::LPARAM>(table));
    }
  }
  plat::SendMessageA(combo, plat::CB_SETCURSEL, static_cast<plat::WPARAM>(entry), 0);
}

void SelectTableFromSqlItem(plat::HWND dialog, int itemId, plat::HWND comboDialog, int comboId) {
  char sql[1024] = "";
  plat::GetDlgItemTextA(dialog, itemId, sql, 1023);
  SelectTableFromSql(sql, comboDialog, comboId);
}

// ---- Tree view ----

plat::HTREEITEM TreeViewInsertItem(plat::HWND tree, plat::HTREEITEM parent, plat::HTREEITEM insertAfter,
                                   const char* text, plat::LPARAM value) {
  plat::TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = insertAfter;
  insert.item.mask = plat::TVIF_TEXT | plat::TVIF_PARAM | plat::TVIF_HANDLE;
  insert.item.pszText = const_cast<char*>(text);
  insert.item.lParam = value;
  return reinterpret_cast<plat::HTREEITEM>(Send(tree, plat::TVM_INSERTITEMA, 0, &insert));
}

plat::HTREEITEM TreeViewWalk(plat::HWND tree, plat::HTREEITEM item, plat::LPARAM value) {
  if (item == nullptr) return nullptr;
  if (TreeViewGetItemData(tree, item) == value) return item;
  for (plat::HTREEITEM child = NextTreeItem(tree, plat::TVGN_CHILD, item); child != nullptr;
       child = NextTreeItem(tree, plat::TVGN_NEXT, child)) {
    if (plat::HTREEITEM found = TreeViewWalk(tree, child, value)) return found;
  }
  return nullptr;
}

plat::LPARAM TreeViewGetItemData(plat::HWND tree, plat::HTREEITEM item) {
  return GetTreeItem(tree, item, plat::TVIF_PARAM).lParam;
}

plat::BOOL TreeViewSetItemData(plat::HWND tree, plat::HTREEITEM item, plat::LPARAM value) {
  plat::TVITEMA record{};
  record.mask = plat::TVIF_PARAM;
  record.hItem = item;
  record.lParam = value;
  return SetTreeItem(tree, record);
}

plat::BOOL TreeViewSetItemImage(plat::HWND tree, plat::HTREEITEM item, int image) {
  plat::TVITEMA record{};
  record.mask = plat::TVIF_IMAGE | plat::TVIF_SELECTEDIMAGE;
  record.hItem = item;
  record.iImage = image;
  record.iSelectedImage = image;
  return SetTreeItem(tree, record);
}

int TreeViewGetItemImage(plat::HWND tree, plat::HTREEITEM item) {
  return GetTreeItem(tree, item, plat::TVIF_IMAGE).iImage;
}

plat::HTREEITEM TreeViewHitTestCursor(plat::HWND tree) {
  plat::TVHITTESTINFO test{};
  plat::GetCursorPos(&test.pt);
  plat::ScreenToClient(tree, &test.pt);
  return reinterpret_cast<plat::HTREEITEM>(Send(tree, plat::TVM_HITTEST, 0, &test));
}

plat::BOOL TreeViewGetItemText(plat::HWND tree, plat::HTREEITEM item, char* buffer, int size) {
  plat::TVITEMA record{};
  record.mask = plat::TVIF_TEXT | plat::TVIF_HANDLE;
  record.hItem = item;
  record.pszText = buffer;
  record.cchTextMax = size;
  return static_cast<plat::BOOL>(Send(tree, plat::TVM_GETITEMA, 0, &record));
}

plat::BOOL TreeViewSetItemText(plat::HWND tree, plat::HTREEITEM item, const char* text) {
  plat::TVITEMA record{};
  record.mask = plat::TVIF_TEXT;
  record.hItem = item;
  record.pszText = const_cast<char*>(text);
  return SetTreeItem(tree, record);
}

// ---- Edit control and window text ----

void SelectEditLine(plat::HWND edit, int line) {
  const int index = line == 0 ? 0 : line - 1;
  const plat::LRESULT start = plat::SendMessageA(edit, plat::EM_LINEINDEX, Index(index), 0);
  if (start < 0) return;
  const plat::LRESULT length =
      plat::SendMessageA(edit, plat::EM_LINELENGTH, static_cast<plat::WPARAM>(start), 0);
  if (length < 1) return;
  plat::SendMessageA(edit, plat::EM_SETSEL, static_cast<plat::WPARAM>(start), start + length);
  plat::SendMessageA(edit, plat::EM_SCROLLCARET, 0, 0);
}

plat::DWORD GetDlgItemChars(plat::HWND dialog, int id) {
  char text[4] = {};
  plat::GetDlgItemTextA(dialog, id, text, kTwoCharacters);
  return CharsOf(text);
}

plat::DWORD GetWindowChars(plat::HWND window) {
  char text[4] = {};
  plat::GetWindowTextA(window, text, kTwoCharacters);
  return CharsOf(text);
}

}  // namespace TOOLFUNC_window
