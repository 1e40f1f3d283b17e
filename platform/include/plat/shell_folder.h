// The shell's item lists of folders, the shell's allocator that frees them and the folder selection
// dialog.
#pragma once

#include "plat/com.h"
#include "plat/types.h"
#include "plat/window.h"

namespace plat {

// An item list names one folder; here it is a heap block holding the folder's Windows-form path (at
// most MAX_PATH - 1 characters). Each list belongs to whoever received it and is freed through the
// shell's allocator.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// Bind contexts are not modelled; callers pass null.
struct IBindCtx;
using SFGAOF = ULONG;

// A new item list for the folder `name` (a Windows-form path in UTF-16) in `*list`, S_OK. The name is
// kept as given. On failure `*list` is null: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when no folder of
// that name exists (a file is no folder), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) for a name of
// MAX_PATH characters or more, E_INVALIDARG for a null or empty name or a null `list`. Attributes are
// not modelled: `*attributesOut`, when given, becomes 0.
HRESULT SHParseDisplayName(LPCWSTR name, IBindCtx* bindContext, LPITEMIDLIST* list, SFGAOF attributesIn,
                           SFGAOF* attributesOut);

// Copies the list's folder path into `path` (MAX_PATH bytes) and returns TRUE; FALSE with `path`
// emptied for a null list, FALSE for a null `path`.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);

// The shell's allocator, one for the process.
class IMalloc {
 public:
  // Frees a block the shell handed out (an item list); null is ignored.
  void Free(void* block);
  // Takes back the reference SHGetMalloc gave; returns the references left.
  ULONG Release();
};

// The shell's allocator with one more reference in `*allocator`, S_OK; E_INVALIDARG for null.
HRESULT SHGetMalloc(IMalloc** allocator);

// ---- The folder selection dialog

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_BROWSEFORCOMPUTER = 0x1000;

// What the dialog tells its callback, and what the callback may send to the dialog.
constexpr UINT BFFM_INITIALIZED = 1;
constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;

// The dialog's callback: the dialog window, the message, its argument and BROWSEINFOA::lParam.
using BFFCALLBACK = int (*)(HWND window, UINT message, LPARAM lParam, LPARAM data);

struct BROWSEINFOA {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;  // not modelled: every folder can be chosen
  LPSTR pszDisplayName;    // MAX_PATH bytes
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;  // not modelled: left as it is
};
using LPBROWSEINFOA = BROWSEINFOA*;

// Shows the dialog and returns a new item list of the folder chosen, its name (the path's last part, or
// the path itself for a drive's root) in pszDisplayName; null when nothing was chosen, the display name
// untouched. There is no one to pick a folder here: the dialog, a window of the calling thread, is
// created, its callback (when given) receives BFFM_INITIALIZED with lParam 0, and then the test hook
// (plat/testing/shell_folder.h) picks a folder or nothing. BFFM_SETSELECTIONA sent to the dialog
// selects the folder of the item list in lParam (wParam FALSE) or of the path text in lParam (wParam
// TRUE); null changes nothing. A chosen path that is no existing folder counts as nothing chosen. The
// dialog window is gone when this returns. Null with ERROR_INVALID_PARAMETER for a null record or
// display name buffer.
LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info);

}  // namespace plat
