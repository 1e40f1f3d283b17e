// The common open and save file dialogs; nobody sits in front of them here, so a test answers them.
#pragma once

#include <cstddef>

#include "plat/types.h"

namespace plat {

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;

using LPOFNHOOKPROC = UINT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct OPENFILENAMEA {
  DWORD lStructSize;  // sizeof(OPENFILENAMEA), or OPENFILENAME_SIZE_VERSION_400A for the older form
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;  // pairs of description and pattern, each ending in a terminator, then one more
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // from 1
  LPSTR lpstrFile;     // in: the name proposed; out: the path chosen
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
  // The fields the newer form adds; a record of the older size ends before them.
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};

// The older form's size: it ends where the newer form's fields begin (76 against 88 bytes in a 32-bit
// program, wider here).
constexpr DWORD OPENFILENAME_SIZE_VERSION_400A = offsetof(OPENFILENAMEA, pvReserved);

// Ask for a file to open or a name to save under. The answer comes from the test hook
// (plat/testing/dialog.h): TRUE when it chose a file (its path is in lpstrFile), FALSE when it
// cancelled. FALSE without asking for a null record, a size other than the two forms', or when no hook
// is set.
BOOL GetOpenFileNameA(OPENFILENAMEA* record);
BOOL GetSaveFileNameA(OPENFILENAMEA* record);

}  // namespace plat
