// Item lists as heap copies of folder paths, the shell's allocator and a folder dialog driven by a test
// hook.
#include "plat/shell_folder.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "plat/codepage.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/testing/shell_folder.h"

namespace plat {
namespace {

constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x8007000Eu);
constexpr char kDialogClass[] = "ShellFolderDialog";

std::atomic<LONG> g_listsInUse{0};
std::atomic<ULONG> g_allocatorReferences{0};
IMalloc g_allocator;

// Guards the hook; it is never held while the hook runs.
std::mutex g_mutex;
std::function<std::optional<std::string>(const FolderDialogView&)> g_choose;

const char* PathOf(LPCITEMIDLIST list) { return reinterpret_cast<const char*>(list); }

// A list for an existing folder, the name as given.
HRESULT ParseFolder(const std::string& name, LPITEMIDLIST* list) {
  *list = nullptr;
  if (name.empty()) return E_INVALIDARG;
  if (name.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  // Real heap blocks, so a list never freed shows as a leak and one used after its release as such.
  void* block = std::malloc(name.size() + 1);
  if (block == nullptr) return kOutOfMemory;
  std::memcpy(block, name.c_str(), name.size() + 1);
  ++g_listsInUse;
  *list = static_cast<LPITEMIDLIST>(block);
  return S_OK;
}

// The name the dialog shows for a folder: its path's last part; a drive's root has none.
std::string DisplayNameOf(const std::string& path) {
  size_t end = path.find_last_not_of("\\/");
  if (end == std::string::npos) return path;
  size_t separator = path.find_last_of("\\/", end);
  if (separator == std::string::npos) return path;
  return path.substr(separator + 1, end - separator);
}

// What the dialog window keeps: the folder selected so far.
struct DialogState {
  std::string selection;
};

LRESULT DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == BFFM_SETSELECTIONA) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (state != nullptr && lParam != 0)
      state->selection =
          wParam ? reinterpret_cast<LPCSTR>(lParam) : PathOf(reinterpret_cast<LPCITEMIDLIST>(lParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The class of the dialog window comes into being with the first dialog.
void RegisterDialogClass() {
  WNDCLASSA known;
  if (GetClassInfoA(nullptr, kDialogClass, &known)) return;
  WNDCLASSEXA dialogClass = {};
  dialogClass.cbSize = sizeof(dialogClass);
  dialogClass.lpfnWndProc = DialogProcedure;
  dialogClass.lpszClassName = kDialogClass;
  // Another thread may have registered it meanwhile, which serves as well.
  RegisterClassExA(&dialogClass);
}

}  // namespace

HRESULT SHParseDisplayName(LPCWSTR name, IBindCtx*, LPITEMIDLIST* list, SFGAOF, SFGAOF* attributesOut) {
  if (attributesOut != nullptr) *attributesOut = 0;
  if (list == nullptr) return E_INVALIDARG;
  *list = nullptr;
  if (name == nullptr || name[0] == 0) return E_INVALIDARG;
  size_t units = 0;
  while (name[units] != 0) ++units;
  if (units >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  std::vector<char> ansi(units + 1);
  WideCharToMultiByte(CP_ACP, 0, name, -1, ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
  return ParseFolder(ansi.data(), list);
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
  if (path == nullptr) return FALSE;
  path[0] = '\0';
  if (list == nullptr) return FALSE;
  std::strcpy(path, PathOf(list));
  return TRUE;
}

void IMalloc::Free(void* block) {
  if (block == nullptr) return;
  --g_listsInUse;
  std::free(block);
}

ULONG IMalloc::Release() {
  ULONG references = g_allocatorReferences.load();
  while (references > 0 && !g_allocatorReferences.compare_exchange_weak(references, references - 1)) {
  }
  return references > 0 ? references - 1 : 0;
}

HRESULT SHGetMalloc(IMalloc** allocator) {
  if (allocator == nullptr) return E_INVALIDARG;
  ++g_allocatorReferences;
  *allocator = &g_allocator;
  return S_OK;
}

LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info) {
  if (info == nullptr || info->pszDisplayName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  RegisterDialogClass();
  DialogState state;
  HWND dialog =
      CreateWindowExA(0, kDialogClass, nullptr, WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr, nullptr, &state);
  if (dialog == nullptr) return nullptr;
  if (info->lpfn != nullptr) info->lpfn(dialog, BFFM_INITIALIZED, 0, info->lParam);
  std::function<std::optional<std::string>(const FolderDialogView&)> choose;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    choose = g_choose;
  }
  std::optional<std::string> chosen;
  if (choose)
    chosen =
        choose(FolderDialogView{dialog, info->hwndOwner, info->lpszTitle != nullptr ? info->lpszTitle : "",
                                info->ulFlags, info->pszDisplayName, state.selection});
  DestroyWindow(dialog);
  LPITEMIDLIST list = nullptr;
  if (!chosen || FAILED(ParseFolder(*chosen, &list))) return nullptr;
  std::string displayName = DisplayNameOf(*chosen);
  std::memcpy(info->pszDisplayName, displayName.c_str(), displayName.size() + 1);
  return list;
}

void SetFolderChoiceForTesting(std::function<std::optional<std::string>(const FolderDialogView&)> choose) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_choose = std::move(choose);
}

LONG ItemListsInUseForTesting() { return g_listsInUse.load(); }

}  // namespace plat
