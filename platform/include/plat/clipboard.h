// The clipboard: one per machine, opened by one window of one thread at a time, holding global memory
// blocks by format.
#pragma once

#include "plat/global_memory.h"
#include "plat/types.h"

namespace plat {

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_OEMTEXT = 7;
constexpr UINT CF_LOCALE = 16;

// Opens the clipboard for `owner` (null: for the calling thread alone) on the calling thread; TRUE again
// when the same owner on the same thread has it open. FALSE with ERROR_ACCESS_DENIED while any other
// owner, thread or program has it open; FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that does
// not exist.
BOOL OpenClipboard(HWND owner);
// Closes the clipboard; FALSE with ERROR_CLIPBOARD_NOT_OPEN unless the calling thread has it open.
BOOL CloseClipboard();
// Removes every format and frees their blocks; FALSE with ERROR_CLIPBOARD_NOT_OPEN unless the calling
// thread has it open.
BOOL EmptyClipboard();
// Puts `block` on the clipboard as `format`, in place of (and freeing) a block already there; the
// clipboard owns the block from now on. Returns the block; null with ERROR_CLIPBOARD_NOT_OPEN unless
// the calling thread has it open, null with ERROR_INVALID_PARAMETER for a null block (rendering on
// request is not offered). No other format is derived from it.
HANDLE SetClipboardData(UINT format, HANDLE block);
// The block held as `format` (still the clipboard's), null when there is none; null with
// ERROR_CLIPBOARD_NOT_OPEN unless the calling thread has it open.
HANDLE GetClipboardData(UINT format);
// Whether the clipboard holds `format`; needs no opening.
BOOL IsClipboardFormatAvailable(UINT format);

}  // namespace plat
