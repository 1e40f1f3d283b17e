// Window tools that walk the window tree: the searches, the owner walk, centring, style and user-data
// bits, rectangles and a window's icon.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "plat/process.h"
#include "plat/window.h"
#include "window_tools.h"

namespace TOOLFUNC_window {
namespace {

// What the searches compare at most of a title or class name.
constexpr int kNameCapacity = 127;

// The first window, depth first in Z order from `root` itself, that `matches`; null when there is none.
template <typename Match>
plat::HWND FindDepthFirst(plat::HWND root, const Match& matches) {
  if (matches(root)) return root;
  for (plat::HWND child = plat::GetWindow(root, plat::GW_CHILD); child != nullptr;
       child = plat::GetWindow(child, plat::GW_HWNDNEXT)) {
    if (plat::HWND found = FindDepthFirst(child, matches)) return found;
  }
  return nullptr;
}

bool TitleBeginsWith(plat::HWND window, const char* text) {
  char title[kNameCapacity] = "";
  plat::GetWindowTextA(window, title, kNameCapacity);
  return std::strncmp(title, text, std::min<size_t>(std::strlen(text), kNameCapacity)) == 0;
}

plat::DWORD LongOf(plat::HWND window, int index) {
  return static_cast<plat::DWORD>(plat::GetWindowLongA(window, index));
}

void ChangeBits(plat::HWND window, int index, plat::DWORD bits, bool set) {
  const plat::DWORD value = LongOf(window, index);
  plat::SetWindowLongA(window, index, static_cast<plat::LONG>(set ? value | bits : value & ~bits));
}

plat::DWORD ProcessOf(plat::HWND window) {
  plat::DWORD process = 0;
  plat::GetWindowThreadProcessId(window, &process);
  return process;
}

plat::HICON ClassIcon(plat::HINSTANCE instance, plat::LPCSTR className) {
  plat::WNDCLASSA windowClass{};
  return plat::GetClassInfoA(instance, className, &windowClass) ? windowClass.hIcon : nullptr;
}

}  // namespace

plat::HWND FindWindowByUserData(plat::HWND root, plat::DWORD value) {
  // Compared as 32-bit values, so a tag with the top bit set matches whatever the width of the data.
  return FindDepthFirst(root,
                        [value](plat::HWND window) { return LongOf(window, plat::GWL_USERDATA) == value; });
}

plat::HWND FindOwnWindowByUserData(plat::DWORD value) {
  plat::HWND found = FindWindowByUserData(plat::GetDesktopWindow(), value);
  return found != nullptr && ProcessOf(found) == plat::GetCurrentProcessId() ? found : nullptr;
}

plat::HWND FindWindowById(plat::HWND root, int id) {
  return FindDepthFirst(root, [id](plat::HWND window) {
    return plat::GetWindowLongPtrA(window, plat::GWLP_ID) == static_cast<plat::LONG_PTR>(id);
  });
}

plat::HWND FindWindowByClass(plat::HWND root, const char* className) {
  return FindDepthFirst(root, [className](plat::HWND window) {
    char name[kNameCapacity] = "";
    plat::GetClassNameA(window, name, kNameCapacity);
    return std::strncmp(name, className, kNameCapacity) == 0;
  });
}

plat::HWND FindWindowByTitle(plat::HWND root, const char* text) {
  return FindDepthFirst(root, [text](plat::HWND window) { return TitleBeginsWith(window, text); });
}

plat::HWND FindWindowByTitleAndStyle(plat::HWND root, const char* text, plat::DWORD bits) {
  return FindDepthFirst(root, [text, bits](plat::HWND window) {
    return TitleBeginsWith(window, text) && (LongOf(window, plat::GWL_STYLE) & bits) != 0;
  });
}

plat::HWND FindWindowByTitleAndExStyle(plat::HWND root, const char* text, plat::DWORD bits) {
  return FindDepthFirst(root, [text, bits](plat::HWND window) {
    return TitleBeginsWith(window, text) && (LongOf(window, plat::GWL_EXSTYLE) & bits) != 0;
  });
}

plat::HWND FindTopLevelOwner(plat::HWND window) {
  const plat::DWORD process = ProcessOf(window);
  for (plat::HWND parent = plat::GetParent(window); parent != nullptr && ProcessOf(parent) == process;
       parent = plat::GetParent(parent)) {
    window = parent;
  }
  return window;
}

void CenterOnParent(plat::HWND window) {
  plat::HWND reference = plat::GetParent(window);
  if (reference == nullptr) reference = plat::GetDesktopWindow();
  plat::RECT area{};
  plat::GetWindowRect(reference, &area);
  // A desktop at least twice as wide as high is taken for two screens side by side: the left one counts.
  if (area.bottom != 0 && area.right / area.bottom >= 2) area.right /= 2;
  plat::RECT own{};
  plat::GetWindowRect(window, &own);
  const plat::LONG halfWidth = (own.right - own.left) / 2;
  const plat::LONG halfHeight = (own.bottom - own.top) / 2;
  plat::SetWindowPos(window, plat::HWND_TOP, (area.left + area.right) / 2 - halfWidth,
                     (area.top + area.bottom) / 2 - halfHeight, 0, 0, plat::SWP_NOSIZE);
}

void AddStyle(plat::HWND window, plat::DWORD bits) { ChangeBits(window, plat::GWL_STYLE, bits, true); }
void RemoveStyle(plat::HWND window, plat::DWORD bits) { ChangeBits(window, plat::GWL_STYLE, bits, false); }
void AddExStyle(plat::HWND window, plat::DWORD bits) { ChangeBits(window, plat::GWL_EXSTYLE, bits, true); }
void RemoveExStyle(plat::HWND window, plat::DWORD bits) {
  ChangeBits(window, plat::GWL_EXSTYLE, bits, false);
}

// The user data may be a whole pointer: it is read and written at its full width so that only the flag
// bit changes.
void SetUserDataFlag(plat::HWND window, plat::BOOL flag) {
  const plat::LONG_PTR data = plat::GetWindowLongPtrA(window, plat::GWLP_USERDATA);
  plat::SetWindowLongPtrA(window, plat::GWLP_USERDATA,
                          flag != plat::FALSE ? data | 1 : data & ~plat::LONG_PTR{1});
}

plat::BOOL GetUserDataFlag(plat::HWND window) {
  return static_cast<plat::BOOL>(plat::GetWindowLongPtrA(window, plat::GWLP_USERDATA) & 1);
}

void NormalizeWindowRect(plat::RECT* rect) {
  if (rect->bottom > rect->top && rect->right > rect->left && rect->bottom > 0 && rect->right > 0) return;
  *rect = {0, 0, 600, 400};
}

void ScreenToClientRect(plat::HWND window, plat::RECT* rect) {
  plat::POINT topLeft = {rect->left, rect->top};
  plat::POINT bottomRight = {rect->right, rect->bottom};
  plat::ScreenToClient(window, &topLeft);
  plat::ScreenToClient(window, &bottomRight);
  *rect = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

plat::HICON GetWindowIcon(plat::HWND window, plat::HINSTANCE instance) {
  if (window == nullptr) return nullptr;
  for (plat::WPARAM kind : {plat::ICON_SMALL, plat::ICON_SMALL2, plat::ICON_BIG}) {
    if (plat::LRESULT icon = plat::SendMessageA(window, plat::WM_GETICON, kind, 0)) {
      return reinterpret_cast<plat::HICON>(icon);
    }
  }
  plat::WINDOWINFO info{};
  info.cbSize = sizeof(info);
  plat::GetWindowInfo(window, &info);
  if (plat::HICON icon = ClassIcon(instance, plat::MAKEINTATOM(info.atomWindowType))) return icon;
  char className[kNameCapacity + 1] = "";
  plat::GetClassNameA(window, className, sizeof(className));
  return ClassIcon(instance, className);
}

}  // namespace TOOLFUNC_window
