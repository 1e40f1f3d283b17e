// Tests of the tree view: inserting and deleting items, their relations and fields, and the hit test.
#include <gtest/gtest.h>

#include <string>

#include "plat/controls.h"
#include "plat/window.h"

namespace {

// A tree view 200 by 100 pixels of the test, destroyed when it ends.
class TreeView : public ::testing::Test {
 protected:
  TreeView() : m_tree(Make()) {}
  ~TreeView() override { plat::DestroyWindow(m_tree); }
  static plat::HWND Make() {
    return plat::CreateWindowExA(0, plat::WC_TREEVIEWA, "", 0, 10, 20, 200, 100, nullptr, nullptr, nullptr,
                                 nullptr);
  }

  template <typename Record>
  plat::LRESULT Send(plat::UINT message, plat::WPARAM wParam, Record* record) {
    return plat::SendMessageA(m_tree, message, wParam, reinterpret_cast<plat::LPARAM>(record));
  }
  plat::HTREEITEM Insert(plat::HTREEITEM parent, plat::HTREEITEM after, const char* text,
                         plat::LPARAM value = 0) {
    plat::TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = plat::TVIF_TEXT | plat::TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text);
    insert.item.lParam = value;
    return reinterpret_cast<plat::HTREEITEM>(Send(plat::TVM_INSERTITEMA, 0, &insert));
  }
  plat::HTREEITEM Related(plat::WPARAM relation, plat::HTREEITEM item) {
    return reinterpret_cast<plat::HTREEITEM>(Send(plat::TVM_GETNEXTITEM, relation, item));
  }
  std::string TextOf(plat::HTREEITEM item, int capacity = 32) {
    char text[64] = "(unread)";
    plat::TVITEMA record{};
    record.mask = plat::TVIF_TEXT | plat::TVIF_HANDLE;
    record.hItem = item;
    record.pszText = text;
    record.cchTextMax = capacity;
    Send(plat::TVM_GETITEMA, 0, &record);
    return text;
  }
  plat::LRESULT Count() { return plat::SendMessageA(m_tree, plat::TVM_GETCOUNT, 0, 0); }

  plat::HWND m_tree;
};

TEST_F(TreeView, InsertsItemsWhereTheyAreAskedFor) {
  plat::HTREEITEM second = Insert(nullptr, plat::TVI_LAST, "zwei");
  plat::HTREEITEM first = Insert(plat::TVI_ROOT, plat::TVI_FIRST, "eins");
  plat::HTREEITEM third = Insert(nullptr, plat::TVI_LAST, "drei");
  plat::HTREEITEM between = Insert(nullptr, second, "zweieinhalb");
  plat::HTREEITEM child = Insert(second, plat::TVI_LAST, "Kind");
  ASSERT_NE(nullptr, child);
  EXPECT_EQ(nullptr, Insert(nullptr, child, "kein Geschwister")) << "after an item of another parent";
  EXPECT_EQ(nullptr, Insert(reinterpret_cast<plat::HTREEITEM>(0x1234), plat::TVI_LAST, "ohne Eltern"));
  EXPECT_EQ(5, Count());

  struct Case {
    const char* what;
    plat::WPARAM relation;
    plat::HTREEITEM item;
    plat::HTREEITEM expected;
  } cases[] = {
      {"root", plat::TVGN_ROOT, nullptr, first},
      {"child of null", plat::TVGN_CHILD, nullptr, first},
      {"child of TVI_ROOT", plat::TVGN_CHILD, plat::TVI_ROOT, first},
      {"next of first", plat::TVGN_NEXT, first, second},
      {"next of second", plat::TVGN_NEXT, second, between},
      {"next of between", plat::TVGN_NEXT, between, third},
      {"next of last", plat::TVGN_NEXT, third, nullptr},
      {"previous of between", plat::TVGN_PREVIOUS, between, second},
      {"previous of first", plat::TVGN_PREVIOUS, first, nullptr},
      {"child", plat::TVGN_CHILD, second, child},
      {"child of a leaf", plat::TVGN_CHILD, child, nullptr},
      {"parent", plat::TVGN_PARENT, child, second},
      {"parent of a top item", plat::TVGN_PARENT, second, nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, Related(c.relation, c.item)) << c.what;
  EXPECT_EQ("Kind", TextOf(child));
}

TEST_F(TreeView, DeletingAnItemTakesItsSubtree) {
  plat::HTREEITEM top = Insert(nullptr, plat::TVI_LAST, "oben");
  plat::HTREEITEM middle = Insert(top, plat::TVI_LAST, "Mitte");
  plat::HTREEITEM leaf = Insert(middle, plat::TVI_LAST, "Blatt");
  plat::HTREEITEM other = Insert(nullptr, plat::TVI_LAST, "andere");
  EXPECT_EQ(plat::TRUE, Send(plat::TVM_DELETEITEM, 0, middle));
  EXPECT_EQ(2, Count());
  EXPECT_EQ(nullptr, Related(plat::TVGN_CHILD, top));
  EXPECT_EQ("(unread)", TextOf(leaf)) << "the child went with its parent";
  EXPECT_EQ(plat::FALSE, Send(plat::TVM_DELETEITEM, 0, leaf));
  EXPECT_EQ(plat::TRUE, Send(plat::TVM_DELETEITEM, 0, plat::TVI_ROOT));
  EXPECT_EQ(0, Count());
  EXPECT_EQ(nullptr, Related(plat::TVGN_ROOT, nullptr));
  EXPECT_EQ("(unread)", TextOf(other));
}

TEST_F(TreeView, ItemFieldsAreReadAndWrittenThroughTheMask) {
  plat::HTREEITEM item = Insert(nullptr, plat::TVI_LAST, "Kundenordner", 0x7FEE00001234);
  plat::TVITEMA record{};
  record.mask = plat::TVIF_IMAGE | plat::TVIF_SELECTEDIMAGE | plat::TVIF_HANDLE;
  record.hItem = item;
  record.iImage = 3;
  record.iSelectedImage = 4;
  EXPECT_EQ(plat::TRUE, Send(plat::TVM_SETITEMA, 0, &record));

  plat::TVITEMA read{};
  read.mask = plat::TVIF_IMAGE | plat::TVIF_SELECTEDIMAGE | plat::TVIF_PARAM | plat::TVIF_HANDLE;
  read.hItem = item;
  EXPECT_EQ(plat::TRUE, Send(plat::TVM_GETITEMA, 0, &read));
  EXPECT_EQ(3, read.iImage);
  EXPECT_EQ(4, read.iSelectedImage);
  EXPECT_EQ(static_cast<plat::LPARAM>(0x7FEE00001234), read.lParam) << "the value is pointer-sized";
  EXPECT_EQ("Kundenordner", TextOf(item)) << "fields outside the mask stay";
  EXPECT_EQ("Kund", TextOf(item, 5)) << "cchTextMax bounds the copy";

  plat::HWND otherTree = Make();
  record.hItem = item;
  EXPECT_EQ(plat::FALSE,
            plat::SendMessageA(otherTree, plat::TVM_SETITEMA, 0, reinterpret_cast<plat::LPARAM>(&record)))
      << "an item of another tree";
  plat::DestroyWindow(otherTree);
  record.hItem = plat::TVI_ROOT;
  EXPECT_EQ(plat::FALSE, Send(plat::TVM_GETITEMA, 0, &record));
}

TEST_F(TreeView, HitTestFindsTheItemOfTheRowInDepthFirstOrder) {
  plat::HTREEITEM first = Insert(nullptr, plat::TVI_LAST, "eins");
  plat::HTREEITEM child = Insert(first, plat::TVI_LAST, "Kind");
  plat::HTREEITEM second = Insert(nullptr, plat::TVI_LAST, "zwei");
  struct Case {
    plat::POINT point;
    plat::HTREEITEM item;
    plat::UINT flags;
  } cases[] = {
      {{5, 0}, first, plat::TVHT_ONITEM},      {{199, 15}, first, plat::TVHT_ONITEM},
      {{5, 16}, child, plat::TVHT_ONITEM},     {{5, 47}, second, plat::TVHT_ONITEM},
      {{5, 48}, nullptr, plat::TVHT_NOWHERE},  {{-1, 5}, nullptr, plat::TVHT_TOLEFT},
      {{200, 5}, nullptr, plat::TVHT_TORIGHT}, {{5, -1}, nullptr, plat::TVHT_ABOVE},
      {{5, 100}, nullptr, plat::TVHT_BELOW},   {{-5, 120}, nullptr, plat::TVHT_TOLEFT | plat::TVHT_BELOW},
  };
  for (const Case& c : cases) {
    plat::TVHITTESTINFO test{c.point, 0xDEAD, reinterpret_cast<plat::HTREEITEM>(1)};
    EXPECT_EQ(reinterpret_cast<plat::LRESULT>(c.item), Send(plat::TVM_HITTEST, 0, &test))
        << c.point.x << ", " << c.point.y;
    EXPECT_EQ(c.item, test.hItem) << c.point.x << ", " << c.point.y;
    EXPECT_EQ(c.flags, test.flags) << c.point.x << ", " << c.point.y;
  }
}

}  // namespace
