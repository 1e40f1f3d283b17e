// Test seams of the shell: the programs started, the icons loaded, the popup menu choices and the
// notification area as it stands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plat/shell.h"

namespace plat {

// Every ShellExecuteA call of this process, in order, whatever it returned.
struct ShellExecution {
  HWND owner;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  INT showCommand;
};
std::vector<ShellExecution> TakeShellExecutions();

// The resource number the icon was loaded from; 0 for an unknown or freed icon.
UINT IconResourceForTesting(HICON icon);

// The command "the user" picks from the menu that TrackPopupMenuEx shows (0: none); an empty function
// picks nothing. Called without any lock of the layer held.
void SetPopupMenuChoiceForTesting(std::function<UINT(HMENU)> choose);
// Every TrackPopupMenuEx call of this process, in order, whatever it returned.
struct PopupMenuCall {
  HMENU menu;
  UINT flags;
  int x;
  int y;
  HWND window;
};
std::vector<PopupMenuCall> TakePopupMenuCalls();

// What the notification area shows for (window, id); not shown: all empty.
struct NotifyIconState {
  bool shown;
  HICON icon;
  std::string tip;
  UINT callbackMessage;
};
NotifyIconState NotifyIconStateForTesting(HWND window, UINT id);
// The notification area loses every icon, as when the shell restarts; a later NIM_ADD shows an icon
// again.
void LoseNotifyIconsForTesting();

}  // namespace plat
