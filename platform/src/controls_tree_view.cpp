// The tree view: items under items with their texts, images, states and values, and the hit test on
// rows of a fixed height.
#include <atomic>
#include <string>
#include <vector>

#include "control_classes.h"

namespace plat::detail {
namespace {

// Item handles of all trees come from one counter, so a handle never names an item of another tree.
HTREEITEM NewItemHandle() {
  static std::atomic<uintptr_t> last{0x30000};
  return reinterpret_cast<HTREEITEM>(last += 4);
}

class TreeViewContents {
 public:
  explicit TreeViewContents(const CREATESTRUCTA&) { m_nodes[TVI_ROOT]; }

  std::optional<LRESULT> Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case TVM_INSERTITEMA:
        return lParam != 0 ? Handle(Insert(*reinterpret_cast<const TVINSERTSTRUCTA*>(lParam))) : 0;
      case TVM_DELETEITEM:
        return Delete(reinterpret_cast<HTREEITEM>(lParam));
      case TVM_GETCOUNT:
        return static_cast<LRESULT>(m_nodes.size() - 1);
      case TVM_GETNEXTITEM:
        return Handle(Related(wParam, reinterpret_cast<HTREEITEM>(lParam)));
      case TVM_GETITEMA:
        return lParam != 0 && GetItem(*reinterpret_cast<TVITEMA*>(lParam));
      case TVM_SETITEMA:
        return lParam != 0 && SetItem(*reinterpret_cast<const TVITEMA*>(lParam));
      case TVM_HITTEST:
        return lParam != 0 ? Handle(HitTest(window, *reinterpret_cast<TVHITTESTINFO*>(lParam))) : 0;
    }
    return std::nullopt;
  }

 private:
  struct Node {
    HTREEITEM parent = nullptr;
    std::vector<HTREEITEM> children;
    std::string text;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;
    LPARAM value = 0;
  };

  static LRESULT Handle(HTREEITEM item) { return reinterpret_cast<LRESULT>(item); }

  // An item of this tree, not the root; null otherwise.
  Node* Item(HTREEITEM item) {
    auto found = m_nodes.find(item);
    return found == m_nodes.end() || item == TVI_ROOT ? nullptr : &found->second;
  }

  static HTREEITEM Top(HTREEITEM item) { return item == nullptr ? TVI_ROOT : item; }

  void Apply(Node& node, const TVITEMA& record) {
    if (record.mask & TVIF_TEXT) node.text = TextOf(record.pszText);
    if (record.mask & TVIF_IMAGE) node.image = record.iImage;
    if (record.mask & TVIF_SELECTEDIMAGE) node.selectedImage = record.iSelectedImage;
    if (record.mask & TVIF_PARAM) node.value = record.lParam;
    if (record.mask & TVIF_STATE)
      node.state = (node.state & ~record.stateMask) | (record.state & record.stateMask);
  }

  HTREEITEM Insert(const TVINSERTSTRUCTA& insert) {
    const HTREEITEM parent = Top(insert.hParent);
    auto found = m_nodes.find(parent);
    if (found == m_nodes.end()) return nullptr;
    std::vector<HTREEITEM>& siblings = found->second.children;
    auto position = siblings.end();
    if (insert.hInsertAfter == TVI_FIRST) {
      position = siblings.begin();
    } else if (insert.hInsertAfter != TVI_LAST) {
      position = std::find(siblings.begin(), siblings.end(), insert.hInsertAfter);
      if (position == siblings.end()) return nullptr;
      ++position;
    }
    const HTREEITEM item = NewItemHandle();
    siblings.insert(position, item);
    Node& node = m_nodes[item];
    node.parent = parent;
    Apply(node, insert.item);
    return item;
  }

  void Erase(HTREEITEM item) {
    for (HTREEITEM child : m_nodes[item].children) Erase(child);
    m_nodes.erase(item);
  }

  BOOL Delete(HTREEITEM item) {
    if (Top(item) == TVI_ROOT) {
      for (HTREEITEM top : m_nodes[TVI_ROOT].children) Erase(top);
      m_nodes[TVI_ROOT].children.clear();
      return TRUE;
    }
    Node* node = Item(item);
    if (node == nullptr) return FALSE;
    std::vector<HTREEITEM>& siblings = m_nodes[node->parent].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), item));
    Erase(item);
    return TRUE;
  }

  HTREEITEM Related(WPARAM relation, HTREEITEM item) {
    if (relation == TVGN_ROOT || (relation == TVGN_CHILD && Top(item) == TVI_ROOT)) {
      const std::vector<HTREEITEM>& tops = m_nodes[TVI_ROOT].children;
      return tops.empty() ? nullptr : tops.front();
    }
    Node* node = Item(item);
    if (node == nullptr) return nullptr;
    if (relation == TVGN_CHILD) return node->children.empty() ? nullptr : node->children.front();
    if (relation == TVGN_PARENT) return node->parent == TVI_ROOT ? nullptr : node->parent;
    const std::vector<HTREEITEM>& siblings = m_nodes[node->parent].children;
    auto position = std::find(siblings.begin(), siblings.end(), item);
    if (relation == TVGN_NEXT) return position + 1 == siblings.end() ? nullptr : *(position + 1);
    if (relation == TVGN_PREVIOUS) return position == siblings.begin() ? nullptr : *(position - 1);
    return nullptr;
  }

  bool GetItem(TVITEMA& record) {
    const Node* node = Item(record.hItem);
    if (node == nullptr) return false;
    if (record.mask & TVIF_TEXT) CopyToBuffer(node->text, record.pszText, record.cchTextMax);
    if (record.mask & TVIF_IMAGE) record.iImage = node->image;
    if (record.mask & TVIF_SELECTEDIMAGE) record.iSelectedImage = node->selectedImage;
    if (record.mask & TVIF_PARAM) record.lParam = node->value;
    if (record.mask & TVIF_STATE) record.state = node->state & record.stateMask;
    return true;
  }

  bool SetItem(const TVITEMA& record) {
    Node* node = Item(record.hItem);
    if (node == nullptr) return false;
    Apply(*node, record);
    return true;
  }

  // The items in the order of their rows: each before its children.
  void Rows(HTREEITEM parent, std::vector<HTREEITEM>& rows) {
    for (HTREEITEM child : m_nodes[parent].children) {
      rows.push_back(child);
      Rows(child, rows);
    }
  }

  HTREEITEM HitTest(HWND window, TVHITTESTINFO& test) {
    RECT area{};
    GetWindowRect(window, &area);
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    test.flags = 0;
    test.hItem = nullptr;
    if (test.pt.x < 0) test.flags |= TVHT_TOLEFT;
    if (test.pt.x >= width) test.flags |= TVHT_TORIGHT;
    if (test.pt.y < 0) test.flags |= TVHT_ABOVE;
    if (test.pt.y >= height) test.flags |= TVHT_BELOW;
    if (test.flags != 0) return nullptr;
    std::vector<HTREEITEM> rows;
    Rows(TVI_ROOT, rows);
    const size_t row = static_cast<size_t>(test.pt.y / TREE_VIEW_ROW_HEIGHT);
    if (row >= rows.size()) {
      test.flags = TVHT_NOWHERE;
      return nullptr;
    }
    test.flags = TVHT_ONITEM;
    test.hItem = rows[row];
    return test.hItem;
  }

  std::map<HTREEITEM, Node> m_nodes;  // TVI_ROOT holds the top items
};

}  // namespace

LRESULT TreeViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return ControlProcedure<TreeViewContents>(window, message, wParam, lParam);
}

}  // namespace plat::detail
