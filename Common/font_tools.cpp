// Fonts from a record that is zero apart from the height, the weight, the underline and the face.
#include "font_tools.h"

#include <cstring>

#include "plat/gdi.h"

namespace TOOLFUNC_window {
namespace {

plat::HFONT CreateFontOf(int height, plat::LONG weight, bool isUnderlined, const char* face) {
  plat::LOGFONTA font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfUnderline = isUnderlined ? 1 : 0;
  std::strncpy(font.lfFaceName, face, sizeof(font.lfFaceName) - 1);
  return plat::CreateFontIndirectA(&font);
}

}  // namespace

plat::HFONT CreateFixedFont(int height) {
  return CreateFontOf(height, plat::FW_NORMAL, false, "Courier new");
}

plat::HFONT CreateUnderlinedFont(int height) { return CreateFontOf(height, plat::FW_NORMAL, true, ""); }

plat::HFONT CreatePlainFont(int height) { return CreateFontOf(height, plat::FW_NORMAL, false, ""); }

plat::HFONT CreateSemiboldFont(int height) { return CreateFontOf(height, plat::FW_SEMIBOLD, false, ""); }

}  // namespace TOOLFUNC_window
