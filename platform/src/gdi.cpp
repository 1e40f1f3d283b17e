// Fonts and device contexts as handle tables; text is measured with a fixed width per character.
#include "plat/gdi.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "plat/error.h"
#include "user_handle.h"

namespace plat {
namespace {

std::mutex g_mutex;
// Built on first use: the programs call the layer from their static constructors too.
std::map<HGDIOBJ, LOGFONTA>& Fonts() {
  static std::map<HGDIOBJ, LOGFONTA> value;
  return value;
}

std::map<HDC, HGDIOBJ>& SelectedFonts() {
  static std::map<HDC, HGDIOBJ> value;
  return value;
}

LOGFONTA GuiFontRecord() {
  LOGFONTA font{};
  font.lfHeight = -11;
  font.lfWeight = FW_NORMAL;
  std::strcpy(font.lfFaceName, "MS Shell Dlg");
  return font;
}

// The stock font is made once and never freed; DeleteObject refuses it.
HGDIOBJ GuiFont() {
  static HGDIOBJ font = [] {
    HGDIOBJ handle = detail::NewUserHandle<HGDIOBJ>();
    Fonts()[handle] = GuiFontRecord();
    return handle;
  }();
  return font;
}

bool IsSelectedAnywhere(HGDIOBJ object) {
  for (const auto& [dc, font] : SelectedFonts()) {
    if (font == object) return true;
  }
  return false;
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  GuiFont();
  HFONT handle = detail::NewUserHandle<HFONT>();
  LOGFONTA& kept = Fonts()[handle];
  kept = *font;
  kept.lfFaceName[LF_FACESIZE - 1] = '\0';
  return handle;
}

HGDIOBJ GetStockObject(int index) {
  if (index != DEFAULT_GUI_FONT) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  return GuiFont();
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = Fonts().find(object);
  if (found == Fonts().end()) return 0;
  if (buffer == nullptr) return sizeof(LOGFONTA);
  int copied = size < static_cast<int>(sizeof(LOGFONTA)) ? size : static_cast<int>(sizeof(LOGFONTA));
  if (copied <= 0) return 0;
  std::memcpy(buffer, &found->second, copied);
  return copied;
}

BOOL DeleteObject(HGDIOBJ object) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (object == GuiFont() || IsSelectedAnywhere(object)) return FALSE;
  return Fonts().erase(object) == 1 ? TRUE : FALSE;
}

HDC GetDC(HWND window) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  HDC dc = detail::NewUserHandle<HDC>();
  SelectedFonts()[dc] = GuiFont();
  return dc;
}

int ReleaseDC(HWND, HDC dc) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return SelectedFonts().erase(dc) == 1 ? 1 : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto selected = SelectedFonts().find(dc);
  if (selected == SelectedFonts().end() || Fonts().count(object) == 0) return nullptr;
  HGDIOBJ previous = selected->second;
  selected->second = object;
  return previous;
}

int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto selected = SelectedFonts().find(dc);
  if (selected == SelectedFonts().end() || text == nullptr) return 0;
  // The GUI font's metrics, 7 by 13 pixels at a height of 11, scaled for any other height.
  int height = std::abs(Fonts()[selected->second].lfHeight);
  if (height == 0) height = 11;
  const int charWidth = (7 * height + 5) / 11;
  const int lineHeight = (13 * height + 5) / 11;
  if ((format & DT_CALCRECT) == 0 || rect == nullptr) return lineHeight;

  size_t length = count < 0 ? std::strlen(text) : static_cast<size_t>(count);
  int lines = 1;
  size_t longest = 0;
  size_t current = 0;
  for (size_t i = 0; i < length; ++i) {
    // Line breaks take no width; on a single line they do not break it either.
    if (text[i] == '\n' && (format & DT_SINGLELINE) == 0) {
      ++lines;
      current = 0;
    }
    if (text[i] == '\n' || text[i] == '\r') continue;
    if (++current > longest) longest = current;
  }
  rect->right = rect->left + static_cast<LONG>(longest) * charWidth;
  rect->bottom = rect->top + lines * lineHeight;
  return lines * lineHeight;
}

}  // namespace plat
