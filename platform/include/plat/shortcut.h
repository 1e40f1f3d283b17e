// Shell shortcuts, kept as a small text file of this system's own instead of the shell's binary form.
#pragma once

#include <string>

#include "plat/com.h"
#include "plat/types.h"

namespace plat {

// A shortcut being built: what it starts and with which arguments.
class ShellLink {
 public:
  // Null counts as empty.
  void SetPath(LPCSTR target);
  void SetArguments(LPCSTR arguments);

  // Writes the shortcut file `fileName` (a Windows-form path in UTF-16), replacing one that is there;
  // `remember` is taken and has no effect. Returns 0, or HRESULT_FROM_WIN32 of ERROR_PATH_NOT_FOUND when
  // the folder is missing, ERROR_ACCESS_DENIED where the file may not be written, ERROR_INVALID_PARAMETER
  // for a null or empty name or a target or arguments holding a line break, which the file cannot keep.
  LONG Save(LPCWSTR fileName, BOOL remember) const;

 private:
  std::string m_target;
  std::string m_arguments;
};

// What a shortcut file holds.
struct ShortcutContents {
  std::string target;
  std::string arguments;
};

// Reads the shortcut file back: TRUE with its contents; FALSE with ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when it is missing, ERROR_BAD_FORMAT for a file that is no shortcut.
BOOL ReadShortcut(LPCSTR fileName, ShortcutContents* contents);

}  // namespace plat
