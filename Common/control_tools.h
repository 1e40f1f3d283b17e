// Control tools: list views, combo and list boxes, tree views and edit controls through their
// messages, the combo-box table chosen by an SQL text, and the first two characters of a text.
#pragma once

#include "plat/controls.h"
#include "plat/types.h"
#include "plat/window.h"

// The wrappers send one message and pass the control's answer back without checking the window.
// Item and column indexes count from 0.
namespace TOOLFUNC_window {

// ---- List view ----

// Sets (`set` non-zero) or clears the extended style bits; returns the extended style before.
plat::DWORD ListViewSetExtendedStyle(plat::HWND list, plat::DWORD bits, plat::BOOL set);
// Inserts a column with its width, header text and LVCFMT_ format, showing subitem 0; its index or -1.
int ListViewInsertColumn(plat::HWND list, int index, int width, const char* text, int format);
plat::BOOL ListViewSetColumnText(plat::HWND list, int index, const char* text);
// Inserts an item with its text; the new index or -1.
int ListViewInsertItem(plat::HWND list, int index, const char* text);
// Non-zero when the item is selected.
plat::UINT ListViewIsSelected(plat::HWND list, int item);
plat::BOOL ListViewSetItemImage(plat::HWND list, int item, int subitem, int image);
int ListViewGetItemImage(plat::HWND list, int item, int subitem);
// The first selected item, -1 for none.
int ListViewGetNextSelected(plat::HWND list);
plat::BOOL ListViewSelectItem(plat::HWND list, int item, plat::BOOL select);
// The item's value: pointer-sized, and a block of the runtime heap when the item is deleted with the
// free flag.
plat::BOOL ListViewSetItemData(plat::HWND list, int item, plat::LPARAM value);
plat::LPARAM ListViewGetItemData(plat::HWND list, int item);
// The first item with the value, -1 for none.
int ListViewFindData(plat::HWND list, plat::LPARAM value);
// ListViewFindData of the text read as a decimal number; -1 for a null text.
int ListViewFindDataText(plat::HWND list, const char* text);
// The first item whose text begins with `text` (without case), -1 for none.
int ListViewFindPrefix(plat::HWND list, const char* text);
// The first item whose subitem text (its first 254 characters) equals `text` without case, -1 for none.
int ListViewFindText(plat::HWND list, int subitem, const char* text);
// The subitem's text (its first 14 characters) read as a decimal number.
int ListViewGetItemNumber(plat::HWND list, int item, int subitem);
// Sets the subitem's text to the number, unsigned or signed.
plat::BOOL ListViewSetItemNumber(plat::HWND list, int item, int subitem, plat::DWORD value);
plat::BOOL ListViewSetItemSignedNumber(plat::HWND list, int item, int subitem, int value);
// Deletes the item; with `freeData` its non-zero value is first given back to the heap with free().
plat::BOOL ListViewDeleteItem(plat::HWND list, int item, plat::BOOL freeData);
// ListViewDeleteItem for every item, from the last to the first.
void ListViewDeleteAllItems(plat::HWND list, plat::BOOL freeData);
plat::BOOL ListViewFocusItem(plat::HWND list, int item);
// Selects every item, in order.
void ListViewSelectAll(plat::HWND list);
// Sets each column with a header text as wide as that text in the GUI font plus 15 pixels, and its
// display order to its index; columns without a header text stay as they are.
void ListViewAutoSizeColumns(plat::HWND list);
// Ticks or clears the item's check box.
plat::BOOL ListViewSetCheck(plat::HWND list, int item, plat::BOOL tick);
// 1 ticked, 0 not ticked, -1 no check box.
int ListViewGetCheck(plat::HWND list, int item);

// ---- Combo box and list box ----

// The first entry equal to `text` without case (compared in full, however long), -1 for none.
int ComboBoxFindText(plat::HWND combo, const char* text);
// The first entry whose item value is `value`, -1 for none.
int ListBoxFindData(plat::HWND list, plat::LPARAM value);
// Selects, in the combo box `comboId` of `dialog`, the first entry that begins (without case) with the
// table named after the first " FROM " of the SQL text (line ends and tabs count as blanks): no
// selection when no entry does or no name follows, entry 0 when the text has no " FROM ".
void SelectTableFromSql(const char* sql, plat::HWND dialog, int comboId);
// SelectTableFromSql of the text of item `itemId` of `dialog` (its first 1022 characters).
void SelectTableFromSqlItem(plat::HWND dialog, int itemId, plat::HWND comboDialog, int comboId);

// ---- Tree view ----

// Inserts an item with its text and value below `parent` (null or TVI_ROOT: at the top) after
// `insertAfter` (TVI_FIRST, TVI_LAST or a sibling); the new item, null on failure.
plat::HTREEITEM TreeViewInsertItem(plat::HWND tree, plat::HTREEITEM parent, plat::HTREEITEM insertAfter,
                                   const char* text, plat::LPARAM value);
// The first item, depth first from `item` itself (each child searched whole before the next), whose
// value is `value`; null when there is none.
plat::HTREEITEM TreeViewWalk(plat::HWND tree, plat::HTREEITEM item, plat::LPARAM value);
plat::LPARAM TreeViewGetItemData(plat::HWND tree, plat::HTREEITEM item);
plat::BOOL TreeViewSetItemData(plat::HWND tree, plat::HTREEITEM item, plat::LPARAM value);
// Sets the image and the selected image to `image`.
plat::BOOL TreeViewSetItemImage(plat::HWND tree, plat::HTREEITEM item, int image);
int TreeViewGetItemImage(plat::HWND tree, plat::HTREEITEM item);
// The item under the cursor, null for none.
plat::HTREEITEM TreeViewHitTestCursor(plat::HWND tree);
// Copies at most size - 1 characters of the item's text and a terminator.
plat::BOOL TreeViewGetItemText(plat::HWND tree, plat::HTREEITEM item, char* buffer, int size);
plat::BOOL TreeViewSetItemText(plat::HWND tree, plat::HTREEITEM item, const char* text);

// ---- Edit control and window text ----

// Selects line `line` (counted from 1; 0 counts as 1) without its line end and scrolls it into view;
// nothing happens for a line that does not exist or is empty.
void SelectEditLine(plat::HWND edit, int line);
// The first two characters of the item's (or window's) text: the first in the low byte, the second in
// the next, the upper bytes 0.
plat::DWORD GetDlgItemChars(plat::HWND dialog, int id);
plat::DWORD GetWindowChars(plat::HWND window);

}  // namespace TOOLFUNC_window
