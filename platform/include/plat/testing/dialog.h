// Test seam of the common file dialogs: who answers them.
#pragma once

#include <functional>

#include "plat/dialog.h"

namespace plat {

// Who answers GetOpenFileNameA and GetSaveFileNameA from now on (an empty function: nobody). It
// receives which dialog asks and the caller's record; it writes the chosen path into lpstrFile within
// nMaxFile and returns TRUE, or returns FALSE for cancel.
enum class FileDialogKind { Open, Save };
void SetFileDialogAnswerForTesting(std::function<BOOL(FileDialogKind kind, OPENFILENAMEA* record)> answer);

}  // namespace plat
