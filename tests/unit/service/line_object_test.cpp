// Tests of the line list: chain operations, ownership, the five finders and the lookups that skip the root.
#include "line_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "line_lookup.h"
#include "service_window.h"

namespace {

// Counts destructions, to show each object of the chain is deleted exactly once.
int g_destroyed = 0;
class CountedLine : public CLineObject {
 public:
  explicit CountedLine(plat::DWORD deviceId) : CLineObject(deviceId) {}
  ~CountedLine() override { ++g_destroyed; }
};

CLineObject* Line(CLineObject& root, plat::DWORD deviceId, const char* address) {
  auto* line = new CountedLine(deviceId);
  std::strcpy(line->GetAddress(), address);
  root.AddObject(line);
  return line;
}

TEST(LineList, AnEmptyListHoldsTheRootAlone) {
  CLineObject root(0xFFFFFFFF);
  EXPECT_EQ(1, root.GetNumberOfObjects());
  EXPECT_EQ(nullptr, root.GetObjectFromAddress("201"));
  EXPECT_EQ(nullptr, root.GetObjectFromHtLine(4));
  EXPECT_EQ(nullptr, root.GetObjectFromDeviceID(0));
  // The root itself takes part in every search.
  EXPECT_EQ(&root, root.GetObjectFromAddress(""));
  EXPECT_EQ(&root, root.GetObjectFromHdLine(0));
  EXPECT_EQ(&root, root.GetObjectFromClientLine(0));
  EXPECT_EQ(&root, root.GetObjectFromHtLine(0));
  EXPECT_EQ(&root, root.GetObjectFromDeviceID(0xFFFFFFFF));
}

TEST(LineList, AddObjectAppendsAtTheTail) {
  CLineObject root(0xFFFFFFFF);
  CLineObject* first = Line(root, 0, "201");
  EXPECT_EQ(first, root.GetNext());
  EXPECT_EQ(&root, first->GetPrev());
  CLineObject* second = Line(root, 1, "202");
  CLineObject* third = Line(root, 2, "203");
  EXPECT_EQ(4, root.GetNumberOfObjects());
  EXPECT_EQ(second, first->GetNext());
  EXPECT_EQ(third, second->GetNext());
  EXPECT_EQ(second, third->GetPrev());
  EXPECT_EQ(nullptr, third->GetNext());
}

TEST(LineList, FindersReturnTheFirstMatchFromTheRoot) {
  CLineObject root(0xFFFFFFFF);
  CLineObject* a = Line(root, 0, "201");
  CLineObject* b = Line(root, 1, "201");
  a->SetHdLine(0x11);
  a->SetClientLine(7);
  a->SetHtLine(0x40);
  b->SetHdLine(0x22);
  b->SetClientLine(8);
  b->SetHtLine(0x44);
  EXPECT_EQ(a, root.GetObjectFromAddress("201")) << "equal addresses: the one nearer the root";
  EXPECT_EQ(nullptr, root.GetObjectFromAddress("2011"));
  EXPECT_EQ(nullptr, root.GetObjectFromAddress("20")) << "whole texts, case-sensitive";
  EXPECT_EQ(b, root.GetObjectFromHdLine(0x22));
  EXPECT_EQ(b, root.GetObjectFromClientLine(8));
  EXPECT_EQ(a, root.GetObjectFromHtLine(0x40));
  EXPECT_EQ(b, root.GetObjectFromDeviceID(1));
  EXPECT_EQ(b, b->GetObjectFromDeviceID(1)) << "a search starts at the object it is called on";
  EXPECT_EQ(nullptr, b->GetObjectFromDeviceID(0));
}

TEST(LineList, RemoveObjectRelinksTheNeighboursAndDeletesOnlyTheObject) {
  g_destroyed = 0;
  {
    CLineObject root(0xFFFFFFFF);
    CLineObject* first = Line(root, 0, "201");
    CLineObject* middle = Line(root, 1, "202");
    CLineObject* last = Line(root, 2, "203");
    CLineObject::RemoveObject(middle);
    EXPECT_EQ(1, g_destroyed);
    EXPECT_EQ(last, first->GetNext());
    EXPECT_EQ(first, last->GetPrev());
    CLineObject::RemoveObject(last);
    EXPECT_EQ(nullptr, first->GetNext()) << "the predecessor becomes the tail";
    CLineObject::RemoveObject(nullptr);
    EXPECT_EQ(2, root.GetNumberOfObjects());
  }
  EXPECT_EQ(3, g_destroyed) << "deleting the root deletes the rest of the chain once";
}

TEST(LineList, ResetClearsEveryField) {
  CLineObject line(5);
  line.SetHdLine(1);
  line.SetClientLine(2);
  line.SetHtLine(3);
  line.SetAPIVersion(0x20000);
  line.SetCallFeatures(0xFF);
  std::strcpy(line.GetLineName(), "Line 1");
  line.Reset();
  EXPECT_EQ(0u, line.GetHdLine() | line.GetClientLine() | line.GetHtLine() | line.GetAPIVersion() |
                    line.GetCallFeatures() | line.GetDeviceID());
  EXPECT_STREQ("", line.GetLineName());
  EXPECT_EQ(line.GetHdLinePtr(), &line.hdLine);
}

// A client's or the provider's 0 or empty name finds the root first; the lookups find no line there,
// and the client's number finds only an open line.
TEST(LineLookup, TheRootAndClosedLinesAreNoLineToFind) {
  CLineObject root(0xFFFFFFFF);
  CLineObject* open = Line(root, 0, "201");
  open->SetHtLine(4);
  open->SetClientLine(7);
  CLineObject* closed = Line(root, 1, "202");
  closed->SetClientLine(9);  // a number left behind on a line that is not open
  CServiceWindow::m_pLineRoot = &root;
  struct Case {
    const char* lookup;
    CLineObject* found;
    CLineObject* expected;
  } cases[] = {
      {"address 201", line_lookup::ByAddress("201"), open},
      {"empty address", line_lookup::ByAddress(""), nullptr},
      {"client number 7", line_lookup::ByClientNumber(7), open},
      {"client number 0", line_lookup::ByClientNumber(0), nullptr},
      {"client number of a closed line", line_lookup::ByClientNumber(9), nullptr},
      {"line handle 4", line_lookup::ByHtLine(4), open},
      {"line handle 0", line_lookup::ByHtLine(0), nullptr},
      {"device 1", line_lookup::ByDeviceId(1), closed},
      {"the root's device", line_lookup::ByDeviceId(0xFFFFFFFF), nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, c.found) << c.lookup;
  CServiceWindow::m_pLineRoot = nullptr;
  EXPECT_EQ(nullptr, line_lookup::ByHtLine(4)) << "no list";
}

}  // namespace
