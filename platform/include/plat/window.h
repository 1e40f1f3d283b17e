// Windows of the process: classes, the tree below the desktop, user data, show state, the foreground
// window, and the per-thread message queues that drive window procedures.
#pragma once

#include "plat/types.h"

namespace plat {

// Opaque handles of user-interface resources; only their identity matters here.
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HMENU__;
using HMENU = HMENU__*;

using ATOM = WORD;

// A numbered resource (or class atom) in place of a name: the number in the low word of the pointer.
inline LPSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(id)); }
inline LPSTR MAKEINTATOM(ATOM atom) { return MAKEINTRESOURCEA(atom); }

constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;

constexpr int GWL_USERDATA = -21;
constexpr int GWLP_USERDATA = -21;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_ID = -12;

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_POWERBROADCAST = 0x0218;
constexpr UINT WM_USER = 0x0400;

// The key state of a mouse message (wParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;

// Which icon WM_GETICON asks for.
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;
constexpr WPARAM ICON_SMALL2 = 2;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;

constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;

// Where SetWindowPos puts the window in the Z order.
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;

constexpr int CW_USEDEFAULT = -2147483647 - 1;  // 0x80000000
constexpr int COLOR_BTNFACE = 15;
inline LPCSTR const IDC_ARROW = MAKEINTRESOURCEA(32512);

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct WNDCLASSEXA {
  UINT cbSize;  // sizeof(WNDCLASSEXA), or kWindowClassSize32 as in a 32-bit program
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;  // a name, or MAKEINTATOM of a registered class
  HICON hIconSm;
};

// The size WNDCLASSEXA has in a 32-bit program, which the programs write as they would there.
constexpr UINT kWindowClassSize32 = 48;

// What GetClassInfoA reports of a class.
struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

struct WINDOWINFO {
  DWORD cbSize;
  RECT rcWindow;
  RECT rcClient;
  DWORD dwStyle;
  DWORD dwExStyle;
  DWORD dwWindowStatus;
  UINT cxWindowBorders;
  UINT cyWindowBorders;
  ATOM atomWindowType;  // the window's class
  WORD wCreatorVersion;
};

// What WM_NCCREATE and WM_CREATE carry in lParam: the arguments of CreateWindowExA.
struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};

struct MSG {
  HWND hwnd;  // null for a thread message
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;  // GetTickCount() when posted
  POINT pt;    // the cursor position when posted
};

// ---- Classes ----

// Registers a window class under its name (compared without case, taken process-wide). Returns its atom;
// 0 with ERROR_CLASS_ALREADY_EXISTS when the name is taken, ERROR_INVALID_PARAMETER for a null class,
// a wrong cbSize, no name or no procedure.
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// What is known of the class named (or MAKEINTATOM-numbered) `className`: its style, procedure, instance,
// icons, cursor and name (pointing into the layer); the instance is not compared. FALSE with
// ERROR_CLASS_DOES_NOT_EXIST for an unknown class, ERROR_INVALID_PARAMETER for a null record.
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* windowClass);
// Removes a class named (or MAKEINTATOM-numbered) `className`; the instance is not compared. FALSE with
// ERROR_CLASS_DOES_NOT_EXIST for an unknown class, ERROR_CLASS_HAS_WINDOWS while windows of it exist.
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
// The system cursor for IDC_ARROW with a null instance, the same handle on every call; sets no error.
// Null with ERROR_RESOURCE_NAME_NOT_FOUND for anything else: no program carries cursors here.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName);

// ---- Windows ----

// Creates a window of the class named (or MAKEINTATOM-numbered) `className`, owned by the calling
// thread, below `parent` (null: the desktop) on top of its siblings, shown when `style` has WS_VISIBLE.
// CW_USEDEFAULT position or size gives 0. Sends WM_NCCREATE and WM_CREATE (lParam: a CREATESTRUCTA) to
// the class procedure before it returns; FALSE from WM_NCCREATE or -1 from WM_CREATE destroys the
// window again and gives null without setting an error. Null with ERROR_CLASS_DOES_NOT_EXIST for an
// unknown class, ERROR_INVALID_WINDOW_HANDLE for a bad parent.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);

// Sends WM_DESTROY to the window and then to each of its descendants, then WM_NCDESTROY to them in
// reverse, each before it returns, and removes them. Pending sent messages for them are answered 0;
// posted ones stay in their queue and are dropped by DispatchMessageA. FALSE with
// ERROR_INVALID_WINDOW_HANDLE for a bad window, the desktop or one already being destroyed, and with
// ERROR_ACCESS_DENIED when the window belongs to another thread.
BOOL DestroyWindow(HWND window);

// The default handling: WM_CLOSE destroys the window (0), WM_NCCREATE lets the creation go on (TRUE),
// WM_POWERBROADCAST grants the request (TRUE), anything else gives 0. Sets no error of its own.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The root of every window of the process; never null.
HWND GetDesktopWindow();

// The window in relation `command` to `window` (GW_CHILD: its topmost child; GW_HWNDNEXT / GW_HWNDPREV:
// the sibling below / above it in the Z order; GW_HWNDFIRST / GW_HWNDLAST: the topmost / lowest
// sibling), null when there is none; null with ERROR_INVALID_WINDOW_HANDLE for a bad window.
HWND GetWindow(HWND window, UINT command);

// The topmost child of `window` (null: the desktop), null when it has none.
HWND GetTopWindow(HWND window);
// The window's parent, null for a top-level window (whose parent is the desktop) and for a bad window
// (ERROR_INVALID_WINDOW_HANDLE).
HWND GetParent(HWND window);
// The first window, depth first in Z order below `dialog`, whose GWLP_ID is `id`; null with
// ERROR_CONTROL_ID_NOT_FOUND when there is none.
HWND GetDlgItem(HWND dialog, int id);
// GetWindowTextA and SetWindowTextA of GetDlgItem(dialog, id); 0 / FALSE when there is no such item.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);

// The thread that owns the window, and in *processId (when not null) the process whose window it is.
// 0 for a bad window.
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);

// Whether `window` exists; sets no error.
BOOL IsWindow(HWND window);

// The window's user data (GWLP_USERDATA), 0 with ERROR_INVALID_WINDOW_HANDLE for a bad window and
// ERROR_INVALID_PARAMETER (87) for another index. The Set forms return the previous value. The Get
// form also reads GWL_STYLE (with WS_VISIBLE and WS_MINIMIZE as the window is now), GWL_EXSTYLE,
// GWLP_HINSTANCE and GWLP_ID (the menu or child id it was created with). The user data and both styles can
// be set; setting WS_VISIBLE or WS_MINIMIZE in GWL_STYLE shows or minimises the window as ShowWindow would.
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
// The low 32 bits of the same value.
LONG GetWindowLongA(HWND window, int index);
LONG SetWindowLongA(HWND window, int index, LONG value);

// Copies at most size - 1 characters of the title and a terminator; returns the characters copied.
// 0 with an empty buffer for no title, 0 with ERROR_INVALID_WINDOW_HANDLE for a bad window, 0 with
// nothing written for a null buffer or size below 1.
int GetWindowTextA(HWND window, LPSTR buffer, int size);
// Replaces the title (null: empty); FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad window.
BOOL SetWindowTextA(HWND window, LPCSTR text);
// Copies the class name as registered like GetWindowTextA; 0 for a window made without a class.
int GetClassNameA(HWND window, LPSTR buffer, int size);
// The window's rectangle on the desktop (its position adds up its ancestors'); FALSE with
// ERROR_INVALID_WINDOW_HANDLE for a bad window, ERROR_INVALID_PARAMETER for a null rectangle.
BOOL GetWindowRect(HWND window, RECT* rect);

// Converts a point between the window's client coordinates and the screen. There is no frame here, so a
// window's client area is its whole rectangle. FALSE for a bad window or a null point.
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// The deepest visible window whose rectangle holds the screen point, the topmost in Z order at each level
// (right and bottom edges excluded); the desktop when no window holds it.
HWND WindowFromPoint(POINT point);
// Moves (x, y in the parent's client coordinates) and sizes the window unless SWP_NOMOVE / SWP_NOSIZE,
// and puts it after `insertAfter` in its siblings' Z order unless SWP_NOZORDER (HWND_TOP, HWND_TOPMOST and
// HWND_NOTOPMOST: on top; HWND_BOTTOM: at the bottom). Without SWP_NOACTIVATE a top-level window also
// becomes the foreground window. FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad window or the desktop.
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
// The rectangles (both the window's, in screen coordinates), styles and class atom of the window. FALSE for
// a bad window or a null record.
BOOL GetWindowInfo(HWND window, WINDOWINFO* info);

// Whether the window is minimised; FALSE for a bad window.
BOOL IsIconic(HWND window);
// Whether the window is shown; FALSE for a bad window.
BOOL IsWindowVisible(HWND window);
// Hides, shows, minimises or restores the window (SW_ values of plat/winmain.h); returns whether it was
// visible before. FALSE with ERROR_INVALID_WINDOW_HANDLE for a bad window.
BOOL ShowWindow(HWND window, int showCommand);

// Makes the window's top-level window the foreground window and puts it on top of the Z order; FALSE
// for a bad window.
BOOL SetForegroundWindow(HWND window);
// The foreground window, null when there is none.
HWND GetForegroundWindow();

// The cursor position; there is no pointer here, so it stays where SetCursorPos put it (0, 0 at first).
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

// ---- Messages ----
// Each thread gets its queue on its first message call or window; the queue and the thread's windows
// go when the thread ends, so nothing posted to them afterwards is kept.

// Appends the message to the queue of the window's thread (null window: the calling thread, as a
// thread message) and returns at once; messages of one poster keep their order. FALSE with
// ERROR_INVALID_WINDOW_HANDLE for a bad window.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Appends a thread message (hwnd null) to the queue of thread `threadId`. FALSE with
// ERROR_INVALID_THREAD_ID (1444) when that thread has no queue (never made one, or has ended).
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Marks the calling thread's queue to quit with `exitCode` once no posted message is left; sets no error.
void PostQuitMessage(int exitCode);

// Runs the window procedure and returns its result: directly when the window belongs to the calling
// thread; otherwise the owner thread runs it inside its next GetMessageA, PeekMessageA or SendMessageA
// (before any posted message) while the caller waits, answering messages sent to itself meanwhile.
// 0 with ERROR_INVALID_WINDOW_HANDLE for a bad window; 0 when the window or its thread goes first.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handles the messages sent to the calling thread, then takes the oldest posted message that passes
// the filter (window null: all; a window: it and its descendants; (HWND)-1: thread messages only;
// minMessage to maxMessage unless both are 0); with none left and a quit pending it takes WM_QUIT
// (wParam: the exit code) whatever the filter, and the quit is done. Waits as long as there is nothing
// to take. Returns 0 for WM_QUIT, else TRUE; -1 with ERROR_INVALID_WINDOW_HANDLE for a bad window
// filter (also one destroyed while it waits) and -1 with ERROR_INVALID_PARAMETER for a null message.
BOOL GetMessageA(MSG* message, HWND window, UINT minMessage, UINT maxMessage);
// As GetMessageA without waiting: TRUE with *message filled, FALSE when nothing passes the filter (or
// it is a bad window, ERROR_INVALID_WINDOW_HANDLE). PM_NOREMOVE leaves the message (and the quit) in
// place; sent messages are handled either way.
BOOL PeekMessageA(MSG* message, HWND window, UINT minMessage, UINT maxMessage, UINT removeFlags);
// There are no keyboard messages to translate: FALSE, sets no error.
BOOL TranslateMessage(const MSG* message);
// Calls the procedure of the message's window and returns its result; 0 without a call for a thread
// message, a window gone meanwhile or one of another thread. Sets no error.
LRESULT DispatchMessageA(const MSG* message);

}  // namespace plat
