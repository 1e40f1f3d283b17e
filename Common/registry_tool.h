// The registry class of the tool library with its window position store, the bounded value read and the
// telephony provider lookup.
#pragma once

#include "plat/registry.h"
#include "plat/types.h"
#include "plat/window.h"

namespace TOOLFUNC_registry {

// One registry key under a root, opened for writing where the account may, else for reading.
class CRegTool {
 public:
  CRegTool();
  virtual ~CRegTool();
  CRegTool(const CRegTool&) = delete;
  CRegTool& operator=(const CRegTool&) = delete;

  // Creates or opens the key with full access, else opens it read-only; the last attempt's error code.
  plat::LONG Open(plat::HKEY root, const char* path);
  // Opens an existing key with full access, else read-only; never creates it.
  plat::LONG OpenExisting(plat::HKEY root, const char* path);
  // Flushes and closes the open key, if any.
  void Close();
  // Creates (or opens) a subkey of the open key and closes it again.
  void CreateSubKey(const char* name);

  // 1 when the value was read, else 0; a missing or empty value gives the default (when not null).
  // The text always ends inside the buffer.
  int ReadString(const char* name, char* buffer, plat::DWORD size, const char* defaultText);
  plat::LONG WriteString(const char* name, const char* text);
  // 1 when the value was read, else 0 with the default stored; a value shorter than 4 bytes leaves the
  // rest of the destination 0.
  int ReadDword(const char* name, plat::DWORD* destination, plat::DWORD defaultValue);
  plat::LONG WriteDword(const char* name, plat::DWORD value);
  plat::LONG ReadBinary(const char* name, void* buffer, plat::DWORD size);
  plat::LONG WriteBinary(const char* name, const void* data, plat::DWORD size);

  // Opens `path` under `root` and deletes its subkey `name` (only a subkey without subkeys).
  void DeleteSubKey(plat::HKEY root, const char* path, const char* name);
  // Deletes the key and all its subkeys; stops at a subkey that cannot be deleted, leaving the key.
  plat::LONG DeleteKeyRecursive(plat::HKEY root, const char* path);

  // The window position store: the window's outer rectangle in screen coordinates under
  // HKEY_CURRENT_USER "<base>\Windows\<title>" ("WndBottom", "WndLeft", "WndRight", "WndTop"). A window
  // without a title is neither stored nor restored; registry failures go unreported.
  static void SaveWindowPos(plat::HWND window, const char* base);
  // 0 for a window without a title or a key that cannot be opened; else 1, having moved the window to
  // the stored rectangle (and activated it) when one is stored.
  static int RestoreWindowPos(plat::HWND window, const char* base);
  // The window and, when asked, each of its direct children. Restoring centres the window (never a
  // child) on its parent when its own position could not be restored.
  static void SaveWindowPosTree(plat::HWND window, const char* base, plat::BOOL withChildren);
  static void RestoreWindowPosTree(plat::HWND window, const char* base, plat::BOOL withChildren);

 protected:
  plat::HKEY m_hRootKey = nullptr;
  plat::HKEY m_hKey = nullptr;
  plat::DWORD m_dwDisposition = 0;
};

// Reads the value into the buffer when it fits: its registry error code (ERROR_MORE_DATA when not).
plat::LONG QueryValue(plat::HKEY key, const char* name, void* buffer, plat::DWORD size);

// The permanent identifier under which the telephony provider list names the library's file (name and
// extension compared without case); 0 when it is not listed.
plat::DWORD GetTapiProviderId(const char* libraryPath);

}  // namespace TOOLFUNC_registry
