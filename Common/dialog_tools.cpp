// The open and save dialogs with the record form the running system understands.
#include "dialog_tools.h"

#include <cstdio>

#include "path_tools.h"
#include "plat/dialog.h"
#include "plat/path.h"
#include "plat/system_info.h"

namespace TOOLFUNC_window {
namespace {

enum class Dialog { Open, Save };

plat::BOOL ShowFileDialog(Dialog dialog, plat::HWND owner, const char* title, char* path,
                          const char* filter) {
  plat::OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  plat::GetVersionExA(&version);
  // NT 4.0 refuses the record of the newer size, so it gets the older form.
  const bool isNt4 = version.dwPlatformId == plat::VER_PLATFORM_WIN32_NT && version.dwMajorVersion == 4 &&
                     version.dwMinorVersion == 0;

  char drive[plat::MAX_PATH] = "";
  char directory[plat::MAX_PATH] = "";
  plat::SplitPath(path, drive, sizeof(drive), directory, sizeof(directory), nullptr, 0, nullptr, 0);
  char initialDirectory[plat::MAX_PATH] = "";
  std::snprintf(initialDirectory, sizeof(initialDirectory), "%s%s", drive, directory);

  plat::OPENFILENAMEA record{};
  record.lStructSize = isNt4 ? plat::OPENFILENAME_SIZE_VERSION_400A : sizeof(record);
  record.hwndOwner = owner;
  record.lpstrFilter = filter;
  record.nFilterIndex = 1;
  record.lpstrFile = path;
  record.nMaxFile = TOOLFUNC_file::kPathCapacity;
  record.lpstrInitialDir = initialDirectory;
  record.lpstrTitle = title;
  record.Flags = plat::OFN_HIDEREADONLY | plat::OFN_OVERWRITEPROMPT;
  if (dialog == Dialog::Open) return plat::GetOpenFileNameA(&record) ? 1 : 0;
  if (!isNt4) record.Flags |= plat::OFN_PATHMUSTEXIST;
  return plat::GetSaveFileNameA(&record) ? 1 : 0;
}

}  // namespace

plat::BOOL OpenFileDialog(plat::HWND owner, const char* title, char* path, const char* filter) {
  return ShowFileDialog(Dialog::Open, owner, title, path, filter);
}

plat::BOOL SaveFileDialog(plat::HWND owner, const char* title, char* path, const char* filter) {
  return ShowFileDialog(Dialog::Save, owner, title, path, filter);
}

}  // namespace TOOLFUNC_window
