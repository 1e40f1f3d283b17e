// Global memory blocks: the movable, lockable blocks the clipboard hands between programs.
#pragma once

#include <cstddef>

#include "plat/types.h"

namespace plat {

using HGLOBAL = HANDLE;
using SIZE_T = size_t;

constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;

// A new block of `bytes` bytes with lock count 0, zero-filled with GMEM_ZEROINIT (without it the
// contents are not zero). Every block is movable: the handle is not its address, GlobalLock gives
// that. Null with ERROR_NOT_ENOUGH_MEMORY when the memory cannot be had.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Raises the lock count and returns the block's first byte; the address stays valid until the block is
// freed. Null for a block of 0 bytes; null with ERROR_INVALID_HANDLE for a freed or unknown handle.
LPVOID GlobalLock(HGLOBAL block);
// Lowers the lock count: non-zero while still locked, else FALSE with ERROR_SUCCESS. FALSE with
// ERROR_NOT_LOCKED for a block that was not locked, ERROR_INVALID_HANDLE for a freed or unknown one.
BOOL GlobalUnlock(HGLOBAL block);
// The block's size in bytes; 0 with ERROR_INVALID_HANDLE for a freed or unknown handle.
SIZE_T GlobalSize(HGLOBAL block);
// Frees the block, locked or not, and returns null (also for a null handle); returns the handle with
// ERROR_INVALID_HANDLE for a freed or unknown one.
HGLOBAL GlobalFree(HGLOBAL block);

}  // namespace plat
