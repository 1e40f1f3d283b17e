// Tests of the font tools: each font's record as the system keeps it.
#include "font_tools.h"

#include <gtest/gtest.h>

#include <cstring>

#include "plat/gdi.h"

namespace {

TEST(FontTools, EachFontCarriesItsHeightWeightUnderlineAndFace) {
  struct Case {
    const char* name;
    plat::HFONT (*create)(int height);
    int height;
    plat::LONG weight;
    plat::BYTE underline;
    const char* face;
  };
  const Case cases[] = {
      {"fixed", TOOLFUNC_window::CreateFixedFont, 14, 400, 0, "Courier new"},
      {"fixed, negative height", TOOLFUNC_window::CreateFixedFont, -11, 400, 0, "Courier new"},
      {"underlined", TOOLFUNC_window::CreateUnderlinedFont, 12, 400, 1, ""},
      {"plain", TOOLFUNC_window::CreatePlainFont, -13, 400, 0, ""},
      {"semibold", TOOLFUNC_window::CreateSemiboldFont, 16, 600, 0, ""},
  };
  for (const Case& c : cases) {
    plat::HFONT font = c.create(c.height);
    ASSERT_NE(nullptr, font) << c.name;
    plat::LOGFONTA record;
    std::memset(&record, 0x7F, sizeof(record));
    ASSERT_EQ(static_cast<int>(sizeof(record)), plat::GetObjectA(font, sizeof(record), &record)) << c.name;
    EXPECT_EQ(c.height, record.lfHeight) << c.name;
    EXPECT_EQ(c.weight, record.lfWeight) << c.name;
    EXPECT_EQ(c.underline, record.lfUnderline) << c.name;
    EXPECT_STREQ(c.face, record.lfFaceName) << c.name;
    // Everything else is left to the system's defaults.
    EXPECT_EQ(0, record.lfWidth) << c.name;
    EXPECT_EQ(0, record.lfEscapement) << c.name;
    EXPECT_EQ(0, record.lfOrientation) << c.name;
    EXPECT_EQ(0, record.lfItalic) << c.name;
    EXPECT_EQ(0, record.lfStrikeOut) << c.name;
    EXPECT_EQ(0, record.lfCharSet) << c.name;
    EXPECT_EQ(0, record.lfOutPrecision) << c.name;
    EXPECT_EQ(0, record.lfClipPrecision) << c.name;
    EXPECT_EQ(0, record.lfQuality) << c.name;
    EXPECT_EQ(0, record.lfPitchAndFamily) << c.name;
    EXPECT_TRUE(plat::DeleteObject(font)) << c.name;
  }
}

}  // namespace
