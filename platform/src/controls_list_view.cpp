// The list view: columns, items with their subitems, states, images and values, and its searches.
#include <string>
#include <vector>

#include "control_classes.h"
#include "plat/codepage.h"

namespace plat::detail {
namespace {

constexpr UINT kUnticked = 0x1000;  // state image 1, the empty check box

template <typename Record>
Record* RecordOf(LPARAM lParam) {
  return reinterpret_cast<Record*>(lParam);
}

class ListViewContents {
 public:
  explicit ListViewContents(const CREATESTRUCTA&) {}

  std::optional<LRESULT> Answer(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    const int index = static_cast<int>(wParam);
    switch (message) {
      case LVM_GETITEMCOUNT:
        return static_cast<LRESULT>(m_items.size());
      case LVM_GETITEMA:
        return lParam != 0 && GetItem(*RecordOf<LVITEMA>(lParam));
      case LVM_SETITEMA:
        return lParam != 0 && SetItem(*RecordOf<LVITEMA>(lParam));
      case LVM_INSERTITEMA:
        return lParam != 0 ? InsertItem(*RecordOf<const LVITEMA>(lParam)) : -1;
      case LVM_DELETEITEM:
        if (!IsItem(index)) return FALSE;
        m_items.erase(m_items.begin() + index);
        return TRUE;
      case LVM_DELETEALLITEMS:
        m_items.clear();
        return TRUE;
      case LVM_GETNEXTITEM:
        return NextItem(index, static_cast<UINT>(lParam));
      case LVM_FINDITEMA:
        return lParam != 0 ? FindItem(index, *RecordOf<const LVFINDINFOA>(lParam)) : -1;
      case LVM_GETCOLUMNA:
        return lParam != 0 && GetColumn(index, *RecordOf<LVCOLUMNA>(lParam));
      case LVM_SETCOLUMNA:
        return lParam != 0 && SetColumn(index, *RecordOf<const LVCOLUMNA>(lParam));
      case LVM_INSERTCOLUMNA:
        return lParam != 0 ? InsertColumn(index, *RecordOf<const LVCOLUMNA>(lParam)) : -1;
      case LVM_SETITEMSTATE:
        return lParam != 0 && SetItemState(index, *RecordOf<const LVITEMA>(lParam));
      case LVM_GETITEMSTATE:
        return IsItem(index) ? static_cast<LRESULT>(m_items[index].state & static_cast<UINT>(lParam)) : 0;
      case LVM_GETITEMTEXTA: {
        auto* item = RecordOf<LVITEMA>(lParam);
        if (item == nullptr || !IsItem(index)) return 0;
        return CopyToBuffer(CellOf(m_items[index], item->iSubItem).text, item->pszText, item->cchTextMax);
      }
      case LVM_SETITEMTEXTA: {
        auto* item = RecordOf<const LVITEMA>(lParam);
        if (item == nullptr || !IsItem(index) || item->iSubItem < 0) return FALSE;
        Cell(m_items[index], item->iSubItem).text = TextOf(item->pszText);
        return TRUE;
      }
      case LVM_SETEXTENDEDLISTVIEWSTYLE:
        return SetExtendedStyle(static_cast<DWORD>(wParam), static_cast<DWORD>(lParam));
      case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return m_extendedStyle;
    }
    return std::nullopt;
  }

 private:
  struct CellContents {
    std::string text;
    int image = 0;
  };
  struct Item {
    std::vector<CellContents> cells;  // the item's own first, then its subitems as far as set
    UINT state = 0;
    LPARAM value = 0;
  };
  struct Column {
    int format;
    int width;
    std::string text;
    int subItem;
    int order;
  };

  bool IsItem(int index) const { return index >= 0 && static_cast<size_t>(index) < m_items.size(); }
  bool IsColumn(int index) const { return index >= 0 && static_cast<size_t>(index) < m_columns.size(); }
  bool Checkboxes() const { return (m_extendedStyle & LVS_EX_CHECKBOXES) != 0; }

  static const CellContents& CellOf(const Item& item, int subItem) {
    static const CellContents kEmpty;
    return subItem >= 0 && static_cast<size_t>(subItem) < item.cells.size() ? item.cells[subItem] : kEmpty;
  }
  static CellContents& Cell(Item& item, int subItem) {
    if (item.cells.size() <= static_cast<size_t>(subItem))
      item.cells.resize(static_cast<size_t>(subItem) + 1);
    return item.cells[subItem];
  }

  // Only one item has the focus.
  void ApplyState(size_t index, UINT state, UINT mask) {
    UINT& kept = m_items[index].state;
    kept = (kept & ~mask) | (state & mask);
    if ((mask & state & LVIS_FOCUSED) == 0) return;
    for (size_t other = 0; other < m_items.size(); ++other) {
      if (other != index) m_items[other].state &= ~LVIS_FOCUSED;
    }
  }

  bool GetItem(LVITEMA& record) const {
    if (!IsItem(record.iItem) || record.iSubItem < 0) return false;
    const Item& item = m_items[record.iItem];
    const CellContents& cell = CellOf(item, record.iSubItem);
    if (record.mask & LVIF_TEXT) CopyToBuffer(cell.text, record.pszText, record.cchTextMax);
    if (record.mask & LVIF_IMAGE) record.iImage = cell.image;
    if (record.mask & LVIF_PARAM) record.lParam = item.value;
    if (record.mask & LVIF_STATE) record.state = item.state & record.stateMask;
    return true;
  }

  // A subitem has only a text and an image; the state and the value belong to the item.
  bool SetItem(const LVITEMA& record) {
    if (!IsItem(record.iItem) || record.iSubItem < 0) return false;
    Item& item = m_items[record.iItem];
    if (record.mask & LVIF_TEXT) Cell(item, record.iSubItem).text = TextOf(record.pszText);
    if (record.mask & LVIF_IMAGE) Cell(item, record.iSubItem).image = record.iImage;
    if (record.iSubItem != 0) return true;
    if (record.mask & LVIF_PARAM) item.value = record.lParam;
    if (record.mask & LVIF_STATE)
      ApplyState(static_cast<size_t>(record.iItem), record.state, record.stateMask);
    return true;
  }

  LRESULT InsertItem(const LVITEMA& record) {
    if (record.iItem < 0 || record.iSubItem != 0) return -1;
    const size_t index = std::min(static_cast<size_t>(record.iItem), m_items.size());
    Item item;
    item.cells.push_back({record.mask & LVIF_TEXT ? TextOf(record.pszText) : "",
                          record.mask & LVIF_IMAGE ? record.iImage : 0});
    if (record.mask & LVIF_PARAM) item.value = record.lParam;
    if (Checkboxes()) item.state = kUnticked;
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    if (record.mask & LVIF_STATE) ApplyState(index, record.state, record.stateMask);
    return static_cast<LRESULT>(index);
  }

  bool SetItemState(int index, const LVITEMA& record) {
    if (index == -1) {
      for (size_t each = 0; each < m_items.size(); ++each) ApplyState(each, record.state, record.stateMask);
      return true;
    }
    if (!IsItem(index)) return false;
    ApplyState(static_cast<size_t>(index), record.state, record.stateMask);
    return true;
  }

  static size_t FirstAfter(int start) { return start >= 0 ? static_cast<size_t>(start) + 1 : 0; }

  LRESULT NextItem(int start, UINT flags) const {
    UINT wanted = 0;
    if (flags & LVNI_SELECTED) wanted |= LVIS_SELECTED;
    if (flags & LVNI_FOCUSED) wanted |= LVIS_FOCUSED;
    for (size_t index = FirstAfter(start); index < m_items.size(); ++index) {
      if ((m_items[index].state & wanted) == wanted) return static_cast<LRESULT>(index);
    }
    return -1;
  }

  // LVFI_PARAM outweighs every other flag.
  bool Matches(const Item& item, const LVFINDINFOA& find) const {
    if (find.flags & LVFI_PARAM) return item.value == find.lParam;
    const std::string wanted = TextOf(find.psz);
    const std::string& text = CellOf(item, 0).text;
    if (find.flags & LVFI_PARTIAL)
      return lstrcmpiA(text.substr(0, wanted.size()).c_str(), wanted.c_str()) == 0;
    return (find.flags & LVFI_STRING) != 0 && lstrcmpiA(text.c_str(), wanted.c_str()) == 0;
  }

  LRESULT FindItem(int start, const LVFINDINFOA& find) const {
    const size_t first = FirstAfter(start);
    for (size_t index = first; index < m_items.size(); ++index) {
      if (Matches(m_items[index], find)) return static_cast<LRESULT>(index);
    }
    if ((find.flags & LVFI_WRAP) == 0) return -1;
    for (size_t index = 0; index < std::min(first, m_items.size()); ++index) {
      if (Matches(m_items[index], find)) return static_cast<LRESULT>(index);
    }
    return -1;
  }

  bool GetColumn(int index, LVCOLUMNA& record) const {
    if (!IsColumn(index)) return false;
    const Column& column = m_columns[index];
    if (record.mask & LVCF_FMT) record.fmt = column.format;
    if (record.mask & LVCF_WIDTH) record.cx = column.width;
    if (record.mask & LVCF_TEXT) CopyToBuffer(column.text, record.pszText, record.cchTextMax);
    if (record.mask & LVCF_SUBITEM) record.iSubItem = column.subItem;
    if (record.mask & LVCF_ORDER) record.iOrder = column.order;
    return true;
  }

  bool SetColumn(int index, const LVCOLUMNA& record) {
    if (!IsColumn(index)) return false;
    Column& column = m_columns[index];
    if (record.mask & LVCF_FMT) column.format = record.fmt;
    if (record.mask & LVCF_WIDTH) column.width = record.cx;
    if (record.mask & LVCF_TEXT) column.text = TextOf(record.pszText);
    if (record.mask & LVCF_SUBITEM) column.subItem = record.iSubItem;
    if (record.mask & LVCF_ORDER) column.order = record.iOrder;
    return true;
  }

  // A new column takes its place in the display order too.
  LRESULT InsertColumn(int index, const LVCOLUMNA& record) {
    if (index < 0) return -1;
    const int at = static_cast<int>(std::min(static_cast<size_t>(index), m_columns.size()));
    for (Column& column : m_columns) {
      if (column.order >= at) ++column.order;
    }
    Column column{LVCFMT_LEFT, 0, "", at, at};
    m_columns.insert(m_columns.begin() + at, column);
    SetColumn(at, record);
    m_columns[at].order = at;
    return at;
  }

  LRESULT SetExtendedStyle(DWORD mask, DWORD style) {
    const DWORD before = m_extendedStyle;
    if (mask == 0) mask = 0xFFFFFFFF;
    m_extendedStyle = (before & ~mask) | (style & mask);
    if (Checkboxes() != ((before & LVS_EX_CHECKBOXES) != 0)) {
      // Check boxes come to every item unticked and go with their state image.
      for (Item& item : m_items)
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) | (Checkboxes() ? kUnticked : 0);
    }
    return static_cast<LRESULT>(before);
  }

  std::vector<Item> m_items;
  std::vector<Column> m_columns;
  DWORD m_extendedStyle = 0;
};

}  // namespace

LRESULT ListViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ControlProcedure<ListViewContents>(window, message, wParam, lParam);
}

}  // namespace plat::detail
