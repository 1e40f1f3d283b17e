// A program on the start-up shim for the host signal tests: `signal_probe window|lingers|none|child`.
//
//   window   a top-level window on a thread of its own; WM_CLOSE destroys it and the program returns 5
//   lingers  the same window, but WM_CLOSE leaves it standing, as a shutdown that takes its time
//   none     no window and no service: nothing to ask, the program only waits
//   child    no window; starts "sleep 600" through the layer and waits
// It writes its lines to the file SIGNAL_PROBE_OUT names, each as soon as it happens: "ready" once it
// waits, "WM_CLOSE on the window's thread" or "WM_CLOSE on another thread", "child <process id>".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plat/handle.h"
#include "plat/process.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "plat/window.h"
#include "plat/winmain.h"

namespace {

std::string g_mode;
plat::DWORD g_windowThread = 0;

void Say(const std::string& line) {
  std::FILE* file = std::fopen(std::getenv("SIGNAL_PROBE_OUT"), "a");
  if (file == nullptr) return;
  std::fprintf(file, "%s\n", line.c_str());
  std::fclose(file);
}

plat::LRESULT WindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam, plat::LPARAM lParam) {
  switch (message) {
    case plat::WM_CLOSE:
      Say(plat::GetCurrentThreadId() == g_windowThread ? "WM_CLOSE on the window's thread"
                                                       : "WM_CLOSE on another thread");
      if (g_mode == "window") plat::DestroyWindow(window);
      return 0;
    case plat::WM_DESTROY:
      plat::PostQuitMessage(5);
      return 0;
  }
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

// The window lives on a thread of its own, so that the signal is seen to reach the window's thread and
// not merely the main one.
plat::DWORD WindowThread(plat::LPVOID) {
  g_windowThread = plat::GetCurrentThreadId();
  plat::WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.lpszClassName = "SignalProbe";
  plat::RegisterClassExA(&windowClass);
  plat::CreateWindowExA(0, "SignalProbe", "probe", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  Say("ready");
  plat::MSG message;
  while (plat::GetMessageA(&message, nullptr, 0, 0) > 0) plat::DispatchMessageA(&message);
  return static_cast<plat::DWORD>(message.wParam);
}

int StartSleeper() {
  char commandLine[] = "sleep 600";
  plat::STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  plat::PROCESS_INFORMATION started = {};
  if (!plat::CreateProcessA(nullptr, commandLine, nullptr, nullptr, plat::FALSE, 0, nullptr, nullptr,
                            &startup, &started))
    return 1;
  Say("child " + std::to_string(started.dwProcessId));
  plat::Sleep(plat::INFINITE);
  return 0;
}

}  // namespace

int WinMain(plat::HINSTANCE, plat::HINSTANCE, char* commandText, int) {
  g_mode = commandText;
  if (g_mode == "child") return StartSleeper();
  if (g_mode == "none") {
    Say("ready");
    plat::Sleep(plat::INFINITE);
    return 0;
  }
  plat::HANDLE thread = plat::CreateThread(nullptr, 0, WindowThread, nullptr, 0, nullptr);
  plat::WaitForSingleObject(thread, plat::INFINITE);
  plat::DWORD code = 0;
  plat::GetExitCodeThread(thread, &code);
  return static_cast<int>(code);
}
