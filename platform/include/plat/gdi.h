// Fonts, device contexts and text measurement: enough drawing surface to size text, nothing is painted.
#pragma once

#include "plat/types.h"
#include "plat/window.h"

namespace plat {

struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
using HFONT = HGDIOBJ;
struct HDC__;
using HDC = HDC__*;

constexpr int LF_FACESIZE = 32;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_SEMIBOLD = 600;

struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
};

constexpr int DEFAULT_GUI_FONT = 17;

// A new font object holding a copy of `font`; null with ERROR_INVALID_PARAMETER for a null record.
HFONT CreateFontIndirectA(const LOGFONTA* font);
// The stock object numbered `index` (only DEFAULT_GUI_FONT, a font of height -11 with the face
// "MS Shell Dlg", is modelled); the same handle on every call, never to be deleted. Null for others.
HGDIOBJ GetStockObject(int index);
// For a font: copies min(size, sizeof(LOGFONTA)) bytes of its record into `buffer` and returns that
// count; with a null buffer returns sizeof(LOGFONTA). 0 for an object that is not a font.
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
// Frees a font made by CreateFontIndirectA and returns TRUE; FALSE for a stock object, an object still
// selected into a device context, or an unknown handle.
BOOL DeleteObject(HGDIOBJ object);

// A device context of `window` (the screen's for null): a new handle, DEFAULT_GUI_FONT selected.
// Null with ERROR_INVALID_WINDOW_HANDLE for a window that does not exist.
HDC GetDC(HWND window);
// Frees a context from GetDC: 1, or 0 for an unknown context.
int ReleaseDC(HWND window, HDC dc);
// Selects a font into the context; returns the font selected before, null for a bad context or object.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_CALCRECT = 0x0400;

// Only measuring is modelled: with DT_CALCRECT sets `rect`'s right edge to left + the widest line's
// width and its bottom edge to top + the lines' height and returns that height (a "\n" starts a line
// unless DT_SINGLELINE is given). Every character is a fixed share of the
// selected font's height: width 7 and height 13 pixels per character and line for a height of 11 or
// -11, scaled in proportion otherwise. `count` -1 measures up to the terminator. Without DT_CALCRECT
// nothing is drawn and the height is returned; 0 for a bad context or a null text.
int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format);

}  // namespace plat
