// Tests of the font, device-context and text-measuring area of the platform layer.
#include "plat/gdi.h"

#include <gtest/gtest.h>

#include <cstring>

#include "plat/error.h"

namespace {

using namespace plat;

LOGFONTA FontOfHeight(LONG height) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWeight = 600;
  font.lfUnderline = 1;
  std::strcpy(font.lfFaceName, "Courier new");
  return font;
}

TEST(Gdi, AFontKeepsItsRecordUntilDeleted) {
  LOGFONTA wanted = FontOfHeight(20);
  HFONT font = CreateFontIndirectA(&wanted);
  ASSERT_NE(font, nullptr);

  LOGFONTA read{};
  EXPECT_EQ(GetObjectA(font, sizeof read, &read), static_cast<int>(sizeof read));
  EXPECT_EQ(read.lfHeight, 20);
  EXPECT_EQ(read.lfWeight, 600);
  EXPECT_EQ(read.lfUnderline, 1);
  EXPECT_STREQ(read.lfFaceName, "Courier new");
  EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
  // A short buffer gets the record's head only.
  LONG height = 0;
  EXPECT_EQ(GetObjectA(font, sizeof height, &height), static_cast<int>(sizeof height));
  EXPECT_EQ(height, 20);

  EXPECT_TRUE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_EQ(GetObjectA(font, sizeof read, &read), 0);

  SetLastError(0);
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Gdi, TheStockGuiFontIsSharedAndCannotBeDeleted) {
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT), font);
  EXPECT_EQ(GetStockObject(0), nullptr);
  LOGFONTA read{};
  ASSERT_GT(GetObjectA(font, sizeof read, &read), 0);
  EXPECT_EQ(read.lfHeight, -11);
  EXPECT_FALSE(DeleteObject(font));
}

TEST(Gdi, AContextStartsWithTheGuiFontAndKeepsASelectedFontAlive) {
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  LOGFONTA wanted = FontOfHeight(22);
  HFONT font = CreateFontIndirectA(&wanted);
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_FALSE(DeleteObject(font)) << "a selected font must not go";
  EXPECT_EQ(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)), font);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(SelectObject(dc, font), nullptr) << "a deleted font cannot be selected";
  EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
  EXPECT_EQ(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT)), nullptr);

  SetLastError(0);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x1234)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Gdi, MeasuringGivesSevenPixelsPerCharacterOfTheGuiFont) {
  struct Case {
    const char* text;
    int count;
    UINT format;
    LONG right;
    LONG bottom;
  } cases[] = {
      {"Name", -1, DT_CALCRECT, 10 + 28, 20 + 13},
      {"Name", 2, DT_CALCRECT, 10 + 14, 20 + 13},
      {"", -1, DT_CALCRECT, 10, 20 + 13},
      {"ab\nabcd", -1, DT_CALCRECT, 10 + 28, 20 + 26},
      {"ab\nabcd", -1, DT_CALCRECT | DT_SINGLELINE, 10 + 42, 20 + 13},
  };
  HDC dc = GetDC(nullptr);
  for (const Case& c : cases) {
    RECT rect{10, 20, 1000, 30};
    EXPECT_EQ(DrawTextA(dc, c.text, c.count, &rect, c.format), c.bottom - 20) << c.text;
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, c.right) << c.text << " " << c.count;
    EXPECT_EQ(rect.bottom, c.bottom) << c.text << " " << c.count;
  }
  // A font twice the height measures twice as wide; without DT_CALCRECT nothing changes.
  LOGFONTA wanted = FontOfHeight(-22);
  HFONT font = CreateFontIndirectA(&wanted);
  HGDIOBJ previous = SelectObject(dc, font);
  RECT rect{0, 0, 5, 5};
  DrawTextA(dc, "abc", -1, &rect, DT_CALCRECT);
  EXPECT_EQ(rect.right, 42);
  RECT untouched{0, 0, 5, 5};
  EXPECT_EQ(DrawTextA(dc, "abc", -1, &untouched, 0), 26);
  EXPECT_EQ(untouched.right, 5);
  SelectObject(dc, previous);
  DeleteObject(font);
  EXPECT_EQ(DrawTextA(dc, nullptr, -1, &rect, DT_CALCRECT), 0);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(DrawTextA(dc, "abc", -1, &rect, DT_CALCRECT), 0) << "a released context";
}

}  // namespace
