// The shell and desktop: starting programs, the notification icon, icons, menus and popup menus.
#pragma once

#include <functional>

#include "plat/types.h"
#include "plat/window.h"

namespace plat {

constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_NOASSOC = 31;

// Starts the program `file` (the verb null or "open"; the file is found as CreateProcessA finds a
// program) with `parameters` behind its name on the command line, in `directory` when given, with the
// show state `showCommand`, and does not wait for it. Returns a value above 32 on success, else
// SE_ERR_FNF, SE_ERR_PNF or SE_ERR_ACCESSDENIED, or SE_ERR_NOASSOC for another verb (there is no file
// association here); sets the last error as CreateProcessA does.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand);

// ---- Resources of the program

constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;

// The program's icon numbered `name` (a MAKEINTRESOURCEA value; the pictures themselves are not
// modelled, so every number names an icon): a new handle on every call, never reused. Null with
// ERROR_RESOURCE_NAME_NOT_FOUND for a name that is text.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
// LoadIconA for `type` IMAGE_ICON, whatever the size and flags; null with ERROR_INVALID_PARAMETER for
// any other type.
HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags);
// Frees the icon and returns TRUE; FALSE with ERROR_INVALID_CURSOR_HANDLE for an unknown or freed icon.
BOOL DestroyIcon(HICON icon);

// ---- Menus

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;

// A new empty menu bar / popup menu; never null.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Appends an item: MF_STRING with command `idOrSubmenu` and `text`, MF_POPUP with the menu
// `idOrSubmenu` (which then belongs to `menu`) and `text`, or MF_SEPARATOR; MF_GRAYED / MF_DISABLED
// give its state. Returns TRUE; FALSE with ERROR_INVALID_MENU_HANDLE when `menu` or the submenu of an
// MF_POPUP item is not a menu, or the submenu is `menu` itself.
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text);
// Frees the menu with all its submenus and returns TRUE; FALSE with ERROR_INVALID_MENU_HANDLE for an
// unknown or freed menu.
BOOL DestroyMenu(HMENU menu);

// Makes `build` the program's menu resource numbered `id` (replacing an earlier one); LoadMenuA calls it
// for every load. A program registers its menus at start-up, before it loads them.
void RegisterMenuResource(UINT id, std::function<HMENU()> build);
// A new menu built by the resource registered under the number `name`; null with
// ERROR_RESOURCE_NAME_NOT_FOUND when no resource has that number or the name is text.
HMENU LoadMenuA(HINSTANCE instance, LPCSTR name);

// The submenu of the item at `position`; null when that item opens none, or with
// ERROR_INVALID_MENU_HANDLE for a bad menu.
HMENU GetSubMenu(HMENU menu, int position);
// The number of items; -1 with ERROR_INVALID_MENU_HANDLE for a bad menu.
int GetMenuItemCount(HMENU menu);
// The command of the item at `position` (0 for a separator); 0xFFFFFFFF for an item that opens a
// submenu, a position past the end or a bad menu (ERROR_INVALID_MENU_HANDLE).
UINT GetMenuItemID(HMENU menu, int position);
// Copies the text of the item (by MF_BYCOMMAND, which searches the submenus too, or MF_BYPOSITION) into
// `buffer`, at most `size` - 1 characters and a terminator, and returns the number copied; with a null
// buffer returns the text's length. 0 when there is no such item (ERROR_INVALID_MENU_HANDLE for a bad
// menu).
int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags);
// Sets the item's state to `flags`' MF_ENABLED, MF_GRAYED or MF_DISABLED bits; the item is found as by
// GetMenuStringA. Returns its previous state bits, or -1 when there is no such item
// (ERROR_INVALID_MENU_HANDLE for a bad menu).
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The item's state bits (MF_GRAYED, MF_DISABLED, MF_SEPARATOR); for an item that opens a submenu
// MF_POPUP with the submenu's item count in bits 8 to 15. 0xFFFFFFFF when there is no such item
// (ERROR_INVALID_MENU_HANDLE for a bad menu).
UINT GetMenuState(HMENU menu, UINT item, UINT flags);

// ---- Popup menus

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RETURNCMD = 0x0100;

// The exclusion rectangle of a popup menu; not modelled, callers pass null.
struct TPMPARAMS;
using LPTPMPARAMS = TPMPARAMS*;

// There is no one to pick from a menu here: the choice comes from the test hook (plat/testing/shell.h),
// and a grayed or disabled item, an unknown command or no hook count as no choice. With TPM_RETURNCMD
// returns the chosen command, 0 for none. Otherwise posts WM_COMMAND (the command, 0) to `window` for a
// choice and returns TRUE. FALSE with ERROR_INVALID_MENU_HANDLE for a bad menu,
// ERROR_INVALID_WINDOW_HANDLE for a bad window.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND window, LPTPMPARAMS params);

// ---- The notification icon

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

// The published field order; the programs write cbSize 504, the 32-bit size, and any value is taken.
struct NOTIFYICONDATAA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  CHAR szInfo[256];
  union {
    UINT uTimeout;
    UINT uVersion;
  };
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
  GUID guidItem;
};
using PNOTIFYICONDATAA = NOTIFYICONDATAA*;

// The icon of (hWnd, uID): NIM_ADD shows it with the fields that uFlags names (NIF_MESSAGE, NIF_ICON,
// NIF_TIP; the others empty), NIM_MODIFY changes the named fields, NIM_DELETE removes it. Returns
// TRUE; FALSE when ADD finds the icon already shown (nothing changes), MODIFY or DELETE find it not
// shown, for another message or null data. Sets no last error.
BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

}  // namespace plat
