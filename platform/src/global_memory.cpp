// Global memory blocks in a process-wide table, each with its bytes and its lock count.
#include "plat/global_memory.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "plat/error.h"
#include "plat/testing/global_memory.h"

namespace plat {
namespace {

struct Block {
  std::unique_ptr<BYTE[]> bytes;
  SIZE_T size = 0;
  UINT lockCount = 0;
};

std::mutex g_mutex;
std::map<uintptr_t, Block> g_blocks;
// Handle values count up from here and are never reused, so a freed handle stays unknown.
uintptr_t g_nextHandle = 0x10000;
bool g_failNextAlloc = false;

// The block of `handle`, or null with ERROR_INVALID_HANDLE. Called with g_mutex held.
Block* Find(HGLOBAL handle) {
  auto found = g_blocks.find(reinterpret_cast<uintptr_t>(handle));
  if (found != g_blocks.end()) return &found->second;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block block;
  if (!g_failNextAlloc) block.bytes.reset(new (std::nothrow) BYTE[bytes == 0 ? 1 : bytes]);
  g_failNextAlloc = false;
  if (!block.bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Without GMEM_ZEROINIT the contents are undefined; a fill other than 0 shows callers that count on it.
  std::memset(block.bytes.get(), (flags & GMEM_ZEROINIT) != 0 ? 0 : 0xCD, bytes);
  block.size = bytes;
  const uintptr_t handle = g_nextHandle;
  g_nextHandle += 0x10;
  g_blocks.emplace(handle, std::move(block));
  return reinterpret_cast<HGLOBAL>(handle);
}

LPVOID GlobalLock(HGLOBAL handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(handle);
  if (block == nullptr || block->size == 0) return nullptr;
  ++block->lockCount;
  return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(handle);
  if (block == nullptr) return FALSE;
  if (block->lockCount == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--block->lockCount > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

SIZE_T GlobalSize(HGLOBAL handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Block* block = Find(handle);
  return block != nullptr ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Find(handle) == nullptr) return handle;
  g_blocks.erase(reinterpret_cast<uintptr_t>(handle));
  return nullptr;
}

void FailNextGlobalAllocForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_failNextAlloc = true;
}

size_t GlobalBlockCountForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_blocks.size();
}

}  // namespace plat
