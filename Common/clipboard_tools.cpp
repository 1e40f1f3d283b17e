// Clipboard text through global memory blocks in CF_TEXT, with the library's one read buffer.
#include "clipboard_tools.h"

#include <algorithm>
#include <cstring>

#include "plat/clipboard.h"
#include "plat/global_memory.h"

namespace TOOLFUNC_window {
namespace {

constexpr size_t kBufferSize = 2048;
// The copy's limit counts the terminator, as the library's other bounded copies do: 2046 characters.
constexpr size_t kCopyCapacity = 2047;
// Rewritten by every call on any thread; callers copy what they keep.
char g_clipboardText[kBufferSize];

// Copies the block's text into the buffer, stopping at the block's end when another program left it
// unterminated. False when the block cannot be locked.
bool ReadText(plat::HGLOBAL block) {
  const char* text = static_cast<const char*>(plat::GlobalLock(block));
  if (text == nullptr) return false;
  const size_t length = strnlen(text, std::min(plat::GlobalSize(block), kCopyCapacity - 1));
  std::memcpy(g_clipboardText, text, length);
  g_clipboardText[length] = '\0';
  plat::GlobalUnlock(block);
  return true;
}

}  // namespace

plat::BOOL PutClipboardText(plat::HWND owner, const char* text) {
  const size_t size = std::strlen(text) + 1;
  plat::HGLOBAL block =
      plat::GlobalAlloc(plat::GMEM_MOVEABLE | plat::GMEM_ZEROINIT | plat::GMEM_DDESHARE, size);
  if (block == nullptr) return 0;
  void* bytes = plat::GlobalLock(block);
  if (bytes == nullptr) {
    plat::GlobalFree(block);
    return 0;
  }
  std::memcpy(bytes, text, size);
  // A block goes to the clipboard unlocked, and the clipboard is closed again so others can use it.
  plat::GlobalUnlock(block);
  if (!plat::OpenClipboard(owner)) {
    plat::GlobalFree(block);
    return 0;
  }
  plat::EmptyClipboard();
  const bool isSet = plat::SetClipboardData(plat::CF_TEXT, block) != nullptr;
  plat::CloseClipboard();
  // A block the clipboard did not take is still ours to free.
  if (!isSet) plat::GlobalFree(block);
  return isSet ? 1 : 0;
}

const char* GetClipboardText(plat::HWND owner) {
  g_clipboardText[0] = '\0';
  const bool hasText = plat::IsClipboardFormatAvailable(plat::CF_LOCALE) ||
                       plat::IsClipboardFormatAvailable(plat::CF_TEXT) ||
                       plat::IsClipboardFormatAvailable(plat::CF_OEMTEXT);
  if (!hasText || !plat::OpenClipboard(owner)) return g_clipboardText;
  plat::HGLOBAL block = plat::GetClipboardData(plat::CF_TEXT);
  if (block == nullptr) block = plat::GetClipboardData(plat::CF_OEMTEXT);
  // Reading takes the text off the clipboard; data that was not read (a locale alone) stays.
  if (block != nullptr && ReadText(block)) plat::EmptyClipboard();
  plat::CloseClipboard();
  return g_clipboardText;
}

plat::BOOL ClearClipboard(plat::HWND owner) {
  if (!plat::OpenClipboard(owner)) return 0;
  plat::EmptyClipboard();
  return plat::CloseClipboard();
}

}  // namespace TOOLFUNC_window
