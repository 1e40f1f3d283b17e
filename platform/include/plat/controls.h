// The built-in controls (edit, list box, combo box, list view, tree view): class names, messages,
// flags and records, and the text comparison their searches use.
#pragma once

#include "plat/types.h"
#include "plat/window.h"

// A window of one of these classes is made with CreateWindowExA like any other; no program registers
// them. Each keeps its contents until it is destroyed. Messages a control does not know go to
// DefWindowProcA. A control answers only on its own thread, as every window does.
namespace plat {

inline constexpr LPCSTR WC_EDITA = "EDIT";
inline constexpr LPCSTR WC_LISTBOXA = "LISTBOX";
inline constexpr LPCSTR WC_COMBOBOXA = "COMBOBOX";
inline constexpr LPCSTR WC_LISTVIEWA = "SysListView32";
inline constexpr LPCSTR WC_TREEVIEWA = "SysTreeView32";

// ---- Window text (any window; the edit control keeps its text as its window text) ----

constexpr UINT WM_SETTEXT = 0x000C;        // lParam: the text; TRUE
constexpr UINT WM_GETTEXT = 0x000D;        // wParam: buffer size, lParam: buffer; characters copied
constexpr UINT WM_GETTEXTLENGTH = 0x000E;  // the text's length

// ---- Edit control ----
// Without ES_MULTILINE the whole text is one line; with it, lines end at each CR LF.

constexpr DWORD ES_MULTILINE = 0x0004;

// wParam, lParam: DWORD* (or null) for the start and the end of the selection; returns both in one
// value, start in the low word and end in the high word.
constexpr UINT EM_GETSEL = 0x00B0;
// Selects from wParam to lParam (swapped when the end is before the start; -1 as end: to the end of the
// text; -1 as start: no selection, the caret stays). The caret goes to lParam.
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_SCROLLCARET = 0x00B7;   // nothing to scroll here; TRUE
constexpr UINT EM_GETLINECOUNT = 0x00BA;  // at least 1
// The index of the first character of line wParam (-1: the caret's line), -1 beyond the last line.
constexpr UINT EM_LINEINDEX = 0x00BB;
// The length of the line that holds character wParam (without its CR LF), 0 beyond the text; -1: the
// characters on the selection's lines that are not selected.
constexpr UINT EM_LINELENGTH = 0x00C1;

// ---- List box and combo box ----
// Entries keep the order they were added in; each carries an item value (0 at first). Searches
// compare without case (lstrcmpiA rules).

constexpr LRESULT LB_ERR = -1;
constexpr UINT LB_ADDSTRING = 0x0180;     // lParam: text; the new index
constexpr UINT LB_INSERTSTRING = 0x0181;  // wParam: index (-1: the end); the new index or LB_ERR
constexpr UINT LB_DELETESTRING = 0x0182;  // the entries left, or LB_ERR
constexpr UINT LB_RESETCONTENT = 0x0184;
// Selects entry wParam and returns it; -1 clears the selection and, like an index beyond the list,
// gives LB_ERR.
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;   // the selected index, LB_ERR for none
constexpr UINT LB_GETTEXT = 0x0189;     // copies the whole entry wParam and its terminator to lParam
constexpr UINT LB_GETTEXTLEN = 0x018A;  // the entry's length, LB_ERR for a bad index
constexpr UINT LB_GETCOUNT = 0x018B;
// The first entry after wParam (-1: from the top), going round once, that begins with the text lParam.
constexpr UINT LB_FINDSTRING = 0x018F;
constexpr UINT LB_GETITEMDATA = 0x0199;  // LB_ERR for a bad index
constexpr UINT LB_SETITEMDATA = 0x019A;  // TRUE, LB_ERR for a bad index

// The same messages for the list of a combo box.
constexpr LRESULT CB_ERR = -1;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_DELETESTRING = 0x0144;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
// No size is given: the whole entry and its terminator are copied, so ask CB_GETLBTEXTLEN first.
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_INSERTSTRING = 0x014A;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_FINDSTRING = 0x014C;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_GETITEMDATA = 0x0150;
constexpr UINT CB_SETITEMDATA = 0x0151;

// ---- List view ----
// Items and their subitems (columns from 1) each have a text and an image; the item also has a state
// and a value. With LVS_EX_CHECKBOXES every item has a check box as its state image (1: not ticked,
// 2: ticked); without, an item has no state image unless one is set.

constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
constexpr UINT LVM_GETITEMA = LVM_FIRST + 5;     // lParam: LVITEMA*; TRUE, FALSE for a bad item
constexpr UINT LVM_SETITEMA = LVM_FIRST + 6;     // lParam: LVITEMA*; TRUE, FALSE for a bad item
constexpr UINT LVM_INSERTITEMA = LVM_FIRST + 7;  // lParam: LVITEMA* (subitem 0); the new index or -1
constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;   // wParam: item; TRUE, FALSE for a bad item
constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
// The first item after wParam (-1: from the top) whose state has every LVNI_ bit of lParam; -1 for none.
constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
// The first item after wParam (-1: from the top) matching the LVFINDINFOA of lParam; -1 for none.
constexpr UINT LVM_FINDITEMA = LVM_FIRST + 13;
constexpr UINT LVM_GETCOLUMNA = LVM_FIRST + 25;     // wParam: column, lParam: LVCOLUMNA*
constexpr UINT LVM_SETCOLUMNA = LVM_FIRST + 26;     // wParam: column, lParam: LVCOLUMNA*
constexpr UINT LVM_INSERTCOLUMNA = LVM_FIRST + 27;  // the new column's index, -1 on failure
constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;   // wParam: item (-1: all), lParam: LVITEMA*
constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;   // wParam: item, lParam: mask; the state & mask
// wParam: item, lParam: LVITEMA* with subitem, buffer and cchTextMax; the characters copied.
constexpr UINT LVM_GETITEMTEXTA = LVM_FIRST + 45;
constexpr UINT LVM_SETITEMTEXTA = LVM_FIRST + 46;
// wParam: the bits to change (0: all), lParam: their new values; the extended style before.
constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;

constexpr DWORD LVS_EX_CHECKBOXES = 0x00000004;

constexpr UINT LVCF_FMT = 0x0001;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr UINT LVCF_SUBITEM = 0x0008;
constexpr UINT LVCF_ORDER = 0x0020;

constexpr int LVCFMT_LEFT = 0x0000;

constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_IMAGE = 0x0002;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;

constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_STATEIMAGEMASK = 0xF000;
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT index) { return index << 12; }

constexpr LPARAM LVNI_ALL = 0x0000;
constexpr LPARAM LVNI_FOCUSED = 0x0001;
constexpr LPARAM LVNI_SELECTED = 0x0002;

constexpr UINT LVFI_PARAM = 0x0001;    // the item value equals lParam
constexpr UINT LVFI_STRING = 0x0002;   // the item text equals psz, without case
constexpr UINT LVFI_PARTIAL = 0x0008;  // with LVFI_STRING: the text begins with psz
constexpr UINT LVFI_WRAP = 0x0020;     // go on from the top after the last item

struct LVCOLUMNA {
  UINT mask;
  int fmt;
  int cx;
  LPSTR pszText;
  int cchTextMax;
  int iSubItem;
  int iImage;
  int iOrder;
};

struct LVITEMA {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;  // pointer-sized, so it can hold a heap block
  int iIndent;
};

struct LVFINDINFOA {
  UINT flags;
  LPCSTR psz;
  LPARAM lParam;
  POINT pt;
  UINT vkDirection;
};

// ---- Tree view ----
// Items are shown one under another in depth-first order, each a row TREE_VIEW_ROW_HEIGHT pixels high
// across the whole width, from the top of the client area: there is no collapsing or scrolling here.

struct HTREEITEM__;
using HTREEITEM = HTREEITEM__*;

inline HTREEITEM const TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000));
inline HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF));
inline HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE));

constexpr int TREE_VIEW_ROW_HEIGHT = 16;

constexpr UINT TV_FIRST = 0x1100;
// lParam: TVINSERTSTRUCTA* (parent null or TVI_ROOT: a top item; after TVI_FIRST, TVI_LAST or a sibling);
// the new item, null for a bad parent or sibling.
constexpr UINT TVM_INSERTITEMA = TV_FIRST + 0;
constexpr UINT TVM_DELETEITEM = TV_FIRST + 1;  // lParam: item with its subtree (TVI_ROOT or null: all)
constexpr UINT TVM_GETCOUNT = TV_FIRST + 5;
// wParam: TVGN_ relation, lParam: item; the related item, null for none. TVGN_CHILD of null or TVI_ROOT
// is the first top item.
constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;
constexpr UINT TVM_GETITEMA = TV_FIRST + 12;  // lParam: TVITEMA* naming its item; FALSE for a bad item
constexpr UINT TVM_SETITEMA = TV_FIRST + 13;
// lParam: TVHITTESTINFO* with a client point; fills flags and item, and returns the item (or null).
constexpr UINT TVM_HITTEST = TV_FIRST + 17;

constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;

constexpr WPARAM TVGN_ROOT = 0x0000;
constexpr WPARAM TVGN_NEXT = 0x0001;
constexpr WPARAM TVGN_PREVIOUS = 0x0002;
constexpr WPARAM TVGN_PARENT = 0x0003;
constexpr WPARAM TVGN_CHILD = 0x0004;

constexpr UINT TVHT_NOWHERE = 0x0001;  // in the client area below the last item
constexpr UINT TVHT_ONITEMICON = 0x0002;
constexpr UINT TVHT_ONITEMLABEL = 0x0004;
constexpr UINT TVHT_ONITEMSTATEICON = 0x0040;
constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON;
constexpr UINT TVHT_ABOVE = 0x0100;
constexpr UINT TVHT_BELOW = 0x0200;
constexpr UINT TVHT_TORIGHT = 0x0400;
constexpr UINT TVHT_TOLEFT = 0x0800;

struct TVITEMA {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;  // pointer-sized
};

struct TVINSERTSTRUCTA {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMA item;
};

struct TVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
};

}  // namespace plat
