// Clipboard tools: text in, text out (taking it off the clipboard), and emptying the clipboard.
#pragma once

#include "plat/types.h"

namespace TOOLFUNC_window {

// Puts `text` on the clipboard as CF_TEXT in place of everything there, and closes the clipboard again.
// Returns 1; 0 when the memory cannot be had, the clipboard cannot be opened or the text not set.
plat::BOOL PutClipboardText(plat::HWND owner, const char* text);
// Takes the clipboard's text (CF_TEXT, else CF_OEMTEXT), at most 2046 characters, and empties the
// clipboard once it has read some. Returns the library's one 2048-byte buffer, which every call
// rewrites: empty when the clipboard cannot be opened or holds no text (then nothing is removed).
const char* GetClipboardText(plat::HWND owner);
// Empties the clipboard; returns CloseClipboard's result, or 0 when the clipboard cannot be opened.
plat::BOOL ClearClipboard(plat::HWND owner);

}  // namespace TOOLFUNC_window
