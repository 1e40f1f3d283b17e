// Shell and desktop models: program start, the notification area, icons, menus and popup-menu choice.
#include "plat/shell.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/process.h"
#include "plat/testing/shell.h"
#include "user_handle.h"

namespace plat {
namespace {

// One lock for all shell state below; it is never held while a test hook or the window manager runs.
std::mutex g_mutex;
std::vector<ShellExecution> g_executions;

std::string TextOf(LPCSTR text) { return text ? text : ""; }

void Record(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT showCommand) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_executions.push_back(
      {owner, TextOf(verb), TextOf(file), TextOf(parameters), TextOf(directory), showCommand});
}

HINSTANCE Result(int code) { return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(code)); }

int ShellErrorOf(DWORD error) {
  switch (error) {
    case ERROR_PATH_NOT_FOUND:
      return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_FORMAT:
      return SE_ERR_ACCESSDENIED;
    default:
      return SE_ERR_FNF;
  }
}

}  // namespace

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT showCommand) {
  Record(owner, verb, file, parameters, directory, showCommand);
  if (verb != nullptr && *verb != '\0' && std::string(verb) != "open") {
    SetLastError(ERROR_INVALID_FUNCTION);
    return Result(SE_ERR_NOASSOC);
  }
  if (file == nullptr || *file == '\0') {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return Result(SE_ERR_FNF);
  }
  std::string commandLine = "\"" + std::string(file) + "\"";
  if (parameters != nullptr && *parameters != '\0') commandLine += " " + std::string(parameters);

  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(file, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory && *directory ? directory : nullptr, &startup, &started))
    return Result(ShellErrorOf(GetLastError()));
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  return Result(42);
}

std::vector<ShellExecution> TakeShellExecutions() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(g_executions, {});
}

// ---- Icons and menus

namespace {

// Built on first use: the programs call the layer from their static constructors too.
std::map<HICON, UINT>& IconResources() {
  static std::map<HICON, UINT> value;
  return value;
}

struct MenuItem {
  UINT state;  // MF_GRAYED and MF_DISABLED bits
  bool separator;
  UINT command;
  HMENU submenu;  // the menu an MF_POPUP item opens, null for the others
  std::string text;
};

// A menu bar and a popup menu differ only on the screen, so both are a list of items here.
// Built on first use: the programs call the layer from their static constructors too.
std::map<HMENU, std::vector<MenuItem>>& Menus() {
  static std::map<HMENU, std::vector<MenuItem>> value;
  return value;
}
// Built on first use: the programs call the layer from their static constructors too.
std::map<UINT, std::function<HMENU()>>& MenuResources() {
  static std::map<UINT, std::function<HMENU()>> value;
  return value;
}

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED;

// The caller holds g_mutex. The menu's items; null with ERROR_INVALID_MENU_HANDLE for a bad menu.
std::vector<MenuItem>* MenuOf(HMENU menu) {
  auto found = Menus().find(menu);
  if (found != Menus().end()) return &found->second;
  SetLastError(ERROR_INVALID_MENU_HANDLE);
  return nullptr;
}

// The caller holds g_mutex. Depth first through the submenus, as Windows looks up a command.
MenuItem* ItemByCommand(std::vector<MenuItem>& items, UINT command) {
  for (MenuItem& item : items) {
    if (item.submenu != nullptr) {
      auto inner = Menus().find(item.submenu);
      if (inner == Menus().end()) continue;
      if (MenuItem* found = ItemByCommand(inner->second, command)) return found;
    } else if (!item.separator && item.command == command) {
      return &item;
    }
  }
  return nullptr;
}

// The caller holds g_mutex. The item named by `item` as MF_BYCOMMAND or MF_BYPOSITION says; null when
// there is none, with ERROR_INVALID_MENU_HANDLE for a bad menu.
MenuItem* FindItem(HMENU menu, UINT item, UINT flags) {
  std::vector<MenuItem>* items = MenuOf(menu);
  if (items == nullptr) return nullptr;
  if (flags & MF_BYPOSITION) return item < items->size() ? &(*items)[item] : nullptr;
  return ItemByCommand(*items, item);
}

// The caller holds g_mutex.
void DestroyWithSubmenus(HMENU menu) {
  auto found = Menus().find(menu);
  if (found == Menus().end()) return;
  std::vector<MenuItem> items = std::move(found->second);
  Menus().erase(found);
  for (const MenuItem& item : items)
    if (item.submenu != nullptr) DestroyWithSubmenus(item.submenu);
}

HMENU NewMenu() {
  std::lock_guard<std::mutex> lock(g_mutex);
  HMENU menu = detail::NewUserHandle<HMENU>();
  Menus()[menu];
  return menu;
}

// Resource numbers live in the low 16 bits of the name; a text name cannot be one of the program's.
bool ResourceNumberOf(LPCSTR name, UINT* number) {
  if ((reinterpret_cast<ULONG_PTR>(name) >> 16) != 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
  }
  *number = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
  return true;
}

}  // namespace

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  UINT number = 0;
  if (!ResourceNumberOf(name, &number)) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  HICON icon = detail::NewUserHandle<HICON>();
  IconResources()[icon] = number;
  return icon;
}

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int, int, UINT) {
  if (type != IMAGE_ICON) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadIconA(instance, name);
}

BOOL DestroyIcon(HICON icon) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (IconResources().erase(icon) == 0) {
    SetLastError(ERROR_INVALID_CURSOR_HANDLE);
    return FALSE;
  }
  return TRUE;
}

UINT IconResourceForTesting(HICON icon) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = IconResources().find(icon);
  return found == IconResources().end() ? 0 : found->second;
}

HMENU CreateMenu() { return NewMenu(); }

HMENU CreatePopupMenu() { return NewMenu(); }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, LPCSTR text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<MenuItem>* items = MenuOf(menu);
  if (items == nullptr) return FALSE;
  MenuItem item = {flags & kStateBits, (flags & MF_SEPARATOR) != 0, 0, nullptr, ""};
  if (flags & MF_POPUP) {
    item.submenu = reinterpret_cast<HMENU>(idOrSubmenu);
    if (item.submenu == menu || MenuOf(item.submenu) == nullptr) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
  } else if (!item.separator) {
    item.command = static_cast<UINT>(idOrSubmenu);
  }
  if (!item.separator) item.text = TextOf(text);
  items->push_back(std::move(item));
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (MenuOf(menu) == nullptr) return FALSE;
  DestroyWithSubmenus(menu);
  return TRUE;
}

void RegisterMenuResource(UINT id, std::function<HMENU()> build) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuResources()[id] = std::move(build);
}

HMENU LoadMenuA(HINSTANCE, LPCSTR name) {
  UINT number = 0;
  if (!ResourceNumberOf(name, &number)) return nullptr;
  std::function<HMENU()> build;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = MenuResources().find(number);
    if (found != MenuResources().end()) build = found->second;
  }
  if (!build) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  // Built outside the lock: the builder makes its menus through the calls above.
  return build();
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuItem* item = FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return item ? item->submenu : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::vector<MenuItem>* items = MenuOf(menu);
  return items ? static_cast<int>(items->size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuItem* item = FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return item && item->submenu == nullptr ? item->command : 0xFFFFFFFF;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuItem* found = FindItem(menu, item, flags);
  if (found == nullptr) return 0;
  if (buffer == nullptr) return static_cast<int>(found->text.size());
  if (size <= 0) return 0;
  size_t copied = std::min(found->text.size(), static_cast<size_t>(size - 1));
  std::copy_n(found->text.begin(), copied, buffer);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuItem* found = FindItem(menu, item, flags);
  if (found == nullptr) return -1;
  UINT previous = found->state;
  found->state = flags & kStateBits;
  return static_cast<BOOL>(previous);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuItem* found = FindItem(menu, item, flags);
  if (found == nullptr) return 0xFFFFFFFF;
  if (found->separator) return found->state | MF_SEPARATOR;
  if (found->submenu == nullptr) return found->state;
  auto submenu = Menus().find(found->submenu);
  size_t count = submenu == Menus().end() ? 0 : std::min<size_t>(submenu->second.size(), 0xFF);
  return static_cast<UINT>(count << 8) | MF_POPUP | found->state;
}

// ---- Popup menus

namespace {

std::function<UINT(HMENU)> g_choosePopupItem;
std::vector<PopupMenuCall> g_popupMenuCalls;

// Whether `command` names an item of `menu` or its submenus that can be picked.
bool IsChoosable(HMENU menu, UINT command) {
  std::lock_guard<std::mutex> lock(g_mutex);
  MenuItem* item = FindItem(menu, command, MF_BYCOMMAND);
  return item != nullptr && item->state == MF_ENABLED;
}

}  // namespace

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND window, LPTPMPARAMS) {
  std::function<UINT(HMENU)> choose;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_popupMenuCalls.push_back({menu, flags, x, y, window});
    if (MenuOf(menu) == nullptr) return FALSE;
    choose = g_choosePopupItem;
  }
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  UINT command = choose ? choose(menu) : 0;
  if (command != 0 && !IsChoosable(menu, command)) command = 0;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  if (command != 0) PostMessageA(window, WM_COMMAND, command, 0);
  return TRUE;
}

void SetPopupMenuChoiceForTesting(std::function<UINT(HMENU)> choose) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_choosePopupItem = std::move(choose);
}

std::vector<PopupMenuCall> TakePopupMenuCalls() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(g_popupMenuCalls, {});
}

// ---- The notification area

namespace {

// Built on first use: the programs call the layer from their static constructors too.
std::map<std::pair<HWND, UINT>, NotifyIconState>& ShownIcons() {
  static std::map<std::pair<HWND, UINT>, NotifyIconState> value;
  return value;
}

void ApplyNamedFields(const NOTIFYICONDATAA& data, NotifyIconState* icon) {
  if (data.uFlags & NIF_MESSAGE) icon->callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) icon->icon = data.hIcon;
  // The tip field need not be terminated; the area shows at most 127 characters of it.
  if (data.uFlags & NIF_TIP)
    icon->tip.assign(data.szTip, std::find(data.szTip, data.szTip + sizeof(data.szTip) - 1, '\0'));
}

}  // namespace

BOOL Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
  if (data == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto shown = ShownIcons().find({data->hWnd, data->uID});
  switch (message) {
    case NIM_ADD: {
      if (shown != ShownIcons().end()) return FALSE;
      NotifyIconState added = {true, nullptr, "", 0};
      ApplyNamedFields(*data, &added);
      ShownIcons().emplace(std::make_pair(data->hWnd, data->uID), std::move(added));
      return TRUE;
    }
    case NIM_MODIFY:
      if (shown == ShownIcons().end()) return FALSE;
      ApplyNamedFields(*data, &shown->second);
      return TRUE;
    case NIM_DELETE:
      if (shown == ShownIcons().end()) return FALSE;
      ShownIcons().erase(shown);
      return TRUE;
  }
  return FALSE;
}

NotifyIconState NotifyIconStateForTesting(HWND window, UINT id) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto shown = ShownIcons().find({window, id});
  return shown == ShownIcons().end() ? NotifyIconState{false, nullptr, "", 0} : shown->second;
}

void LoseNotifyIconsForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ShownIcons().clear();
}

}  // namespace plat
