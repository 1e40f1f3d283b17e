// The clipboard: one per machine, opened by one window of one thread at a time, holding global memory
// blocks by format.
#pragma once

#include <string>

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

// For tests: while `held`, another program has the clipboard open and every OpenClipboard fails.
void HoldClipboardOpenForTesting(bool held);
// For tests: another program put exactly `bytes` (no terminator added) as `format`, in place of a block
// already there.
void PutClipboardDataForTesting(UINT format, const std::string& bytes);
// For tests: the next SetClipboardData fails (ERROR_NOT_ENOUGH_MEMORY) and leaves the block the caller's.
void FailNextSetClipboardDataForTesting();
// For tests: closed, not held, and empty with every block freed.
void ResetClipboardForTesting();

}  // namespace plat
