// Test seams of the folder selection dialog and the shell's item lists: who picks the folder, and the
// lists not yet freed.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "plat/shell_folder.h"

namespace plat {

// What the dialog shows when the hook is asked.
struct FolderDialogView {
  HWND dialog;
  HWND owner;
  std::string title;
  UINT flags;
  LPSTR displayName;      // the caller's buffer, as it is now
  std::string selection;  // the selected folder's path; empty when nothing was selected
};
// Picks the folder "the user" chooses in SHBrowseForFolderA (a Windows-form path), nullopt to cancel;
// without a hook every dialog is cancelled. Called without any lock of the layer held.
void SetFolderChoiceForTesting(std::function<std::optional<std::string>(const FolderDialogView&)> choose);
// The item lists handed out and not yet freed through the allocator.
LONG ItemListsInUseForTesting();

}  // namespace plat
