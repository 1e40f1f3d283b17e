// The clipboard as one process-wide table of format to block, with who has it open, under one mutex.
#include "plat/clipboard.h"

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "plat/error.h"
#include "plat/testing/clipboard.h"
#include "plat/window.h"

namespace plat {
namespace {

// Who has the clipboard open; another program has no thread of this process.
struct Opener {
  std::thread::id thread;
  HWND window;
};

std::mutex g_mutex;
std::optional<Opener> g_opener;
std::map<UINT, HANDLE> g_formats;
bool g_failNextSet = false;

// Whether the calling thread has the clipboard open; sets ERROR_CLIPBOARD_NOT_OPEN when not. Called
// with g_mutex held.
bool OpenedByCaller() {
  if (g_opener && g_opener->thread == std::this_thread::get_id()) return true;
  SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
  return false;
}

// Called with g_mutex held.
void Put(UINT format, HANDLE block) {
  HANDLE& held = g_formats[format];
  if (held != nullptr && held != block) GlobalFree(held);
  held = block;
}

// Called with g_mutex held.
void FreeAll() {
  for (const auto& entry : g_formats) GlobalFree(entry.second);
  g_formats.clear();
}

}  // namespace

BOOL OpenClipboard(HWND owner) {
  if (owner != nullptr && !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  const std::thread::id me = std::this_thread::get_id();
  if (g_opener && (g_opener->thread != me || g_opener->window != owner)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  g_opener = Opener{me, owner};
  return TRUE;
}

BOOL CloseClipboard() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!OpenedByCaller()) return FALSE;
  g_opener.reset();
  return TRUE;
}

BOOL EmptyClipboard() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!OpenedByCaller()) return FALSE;
  FreeAll();
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE block) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!OpenedByCaller()) return nullptr;
  if (block == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (g_failNextSet) {
    g_failNextSet = false;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Put(format, block);
  return block;
}

HANDLE GetClipboardData(UINT format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!OpenedByCaller()) return nullptr;
  auto found = g_formats.find(format);
  return found != g_formats.end() ? found->second : nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_formats.count(format) != 0 ? TRUE : FALSE;
}

void HoldClipboardOpenForTesting(bool held) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (held) {
    g_opener = Opener{std::thread::id(), nullptr};
  } else if (g_opener && g_opener->thread == std::thread::id()) {
    g_opener.reset();
  }
}

void PutClipboardDataForTesting(UINT format, const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!bytes.empty()) {
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  Put(format, block);
}

void FailNextSetClipboardDataForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_failNextSet = true;
}

void ResetClipboardForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_opener.reset();
  g_failNextSet = false;
  FreeAll();
}

}  // namespace plat
