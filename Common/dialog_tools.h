// File dialog tools: ask for a file to open or a name to save under, starting in the given path's folder.
#pragma once

#include "plat/types.h"

namespace TOOLFUNC_window {

// Shows the dialog owned by `owner` with `title` and `filter` (description and pattern pairs), first
// filter chosen, starting in the drive and directory of `path`, which must hold MAX_PATH characters; the
// chosen path (at most TOOLFUNC_file::kPathCapacity bytes with its terminator) comes back in `path`. Returns
// 1 when a file was chosen, 0 when the dialog was cancelled (then `path` is left alone by the dialog).
plat::BOOL OpenFileDialog(plat::HWND owner, const char* title, char* path, const char* filter);
// The same for saving: an existing file is confirmed first, and on systems after NT 4.0 the chosen
// path's directory must exist.
plat::BOOL SaveFileDialog(plat::HWND owner, const char* title, char* path, const char* filter);

}  // namespace TOOLFUNC_window
