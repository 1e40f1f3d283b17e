// The window procedure of the hidden window, the notification icon, its menu and the icon thread.
#include <mutex>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

namespace {

constexpr plat::WPARAM PBT_APMQUERYSUSPEND = 0;
constexpr plat::WPARAM PBT_APMQUERYSTANDBY = 1;
constexpr plat::LRESULT BROADCAST_QUERY_DENY = 0x424D5144;
// The mouse messages that the notification area hands on through the icon's callback message.
constexpr plat::LPARAM WM_LBUTTONDBLCLK = 0x0203;
constexpr plat::LPARAM WM_RBUTTONUP = 0x0205;

// The icon thread adds the icon again from m_NotifyIconData while the main thread changes its picture.
std::mutex g_notifyIconDataLock;

// Shows `icon` as the notification icon's picture.
void ChangeIconPicture(plat::HICON icon) {
  std::lock_guard<std::mutex> lock(g_notifyIconDataLock);
  CServiceWindow::m_NotifyIconData.hIcon = icon;
  plat::Shell_NotifyIconA(plat::NIM_MODIFY, &CServiceWindow::m_NotifyIconData);
}

}  // namespace

plat::LRESULT CServiceWindow::WindowProc(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                                         plat::LPARAM lParam) {
  switch (message) {
    case plat::WM_DESTROY:
      plat::PostQuitMessage(0);
      return 0;
    case plat::WM_CLOSE:
      plat::DestroyWindow(window);
      return 1;
    case plat::WM_COMMAND:
      LogMessage(kLogTrace, "WM_COMMAND 0x%08X 0x%08X", static_cast<unsigned>(wParam),
                 static_cast<unsigned>(lParam));
      m_pThis->DispatchMenuMessages(wParam);
      return 0;
    case plat::WM_POWERBROADCAST:
      if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMQUERYSTANDBY) return BROADCAST_QUERY_DENY;
      break;
    case WM_MESSAGE_SHELL_ICON:
      LogMessage(kLogTrace, "WM_MESSAGE_SHELL_ICON");
      m_pThis->DispatchIconMessages(lParam);
      return 0;
    case WM_MESSAGE_SOCKET:
      return m_pThis->DispatchSocketMessage(static_cast<plat::SOCKET>(wParam), lParam);
    case WM_MESSAGE_LINE_EVENT: {
      auto* event = reinterpret_cast<PIPE_LINE_EVENT*>(lParam);
      LineEventFunction2(event->dwSequence, event->htLine, event->htCall, event->dwMsg, event->dwParam1,
                         event->dwParam2, event->dwParam3);
      delete event;
      return 0;
    }
    case WM_MESSAGE_CREATION_FAILED:
      OnCreationFailed(static_cast<plat::DWORD>(wParam), static_cast<plat::LONG>(lParam));
      return 0;
    case WM_MESSAGE_SERVICE:
      LogMessage(kLogTrace, "WM_MESSAGE_SERVICE");
      m_pThis->DispatchServiceMessages(static_cast<plat::DWORD>(wParam));
      return 0;
  }
  return plat::DefWindowProcA(window, message, wParam, lParam);
}

plat::LRESULT CServiceWindow::DispatchSocketMessage(plat::SOCKET socket, plat::LPARAM lParam) {
  const plat::WORD event = plat::WSAGETSELECTEVENT(lParam);
  const plat::WORD error = plat::WSAGETSELECTERROR(lParam);
  switch (event) {
    case plat::FD_READ:
      if (error == 0) ReceiveData();
      return 1;
    case plat::FD_ACCEPT:
      LogMessage(kLogInfo, "FD_ACCEPT");
      if (error != 0) return 0;
      if (m_ClientSock == plat::INVALID_SOCKET) {
        NewConnection();
      } else {
        int length = sizeof(m_SockAddr);
        plat::SOCKET refused = plat::accept(m_Sock, reinterpret_cast<plat::sockaddr*>(&m_SockAddr), &length);
        char peer[64];
        plat::BoundedCopy(peer, sizeof(peer), plat::inet_ntoa(m_SockAddr.sin_addr));
        LogMessage(kLogError, "Illegal connection from %s refused.", peer);
        if (refused != plat::INVALID_SOCKET) plat::closesocket(refused);
      }
      return 0;
    case plat::FD_CLOSE:
      LogMessage(kLogInfo, "FD_CLOSE 0x%08X", static_cast<unsigned>(socket));
      if (socket == m_ClientSock) CloseClientSocket();
      CloseAllLines();
      return 1;
  }
  return 0;
}

void CServiceWindow::DispatchServiceMessages(plat::DWORD state) {
  LogMessage(kLogTrace, "CServiceWindow::DispatchServiceMessages 0x%08X", state);
  // Running and paused differ only in their names, icons and which of the two menu items is offered.
  auto enter = [](const char* name, plat::DWORD pending, plat::DWORD reached, plat::HICON icon,
                  plat::UINT continueItem, plat::UINT stopItem) {
    LogMessage(kLogTrace, "%s", name);
    SetStatus(pending);
    ChangeIconPicture(icon);
    plat::EnableMenuItem(m_hPopupMenu, ID_MENU_CONTINUE, plat::MF_BYCOMMAND | continueItem);
    plat::EnableMenuItem(m_hPopupMenu, ID_MENU_STOP, plat::MF_BYCOMMAND | stopItem);
    SetStatus(reached);
  };
  switch (state) {
    case plat::SERVICE_RUNNING:
      enter("SERVICE_RUNNING", plat::SERVICE_CONTINUE_PENDING, plat::SERVICE_RUNNING, m_hIconRunning,
            plat::MF_GRAYED, plat::MF_ENABLED);
      break;
    case plat::SERVICE_PAUSED:
      enter("SERVICE_PAUSED", plat::SERVICE_PAUSE_PENDING, plat::SERVICE_PAUSED, m_hIconPaused,
            plat::MF_ENABLED, plat::MF_GRAYED);
      break;
    case plat::SERVICE_STOPPED:
      LogMessage(kLogTrace, "SERVICE_STOPPED");
      SetStatus(plat::SERVICE_STOP_PENDING);
      plat::Sleep(1000);
      SetStatus(plat::SERVICE_STOPPED);
      break;
  }
}

void CServiceWindow::CompleteStartStatus(bool running) {
  LogMessage(kLogTrace, "CServiceWindow::CompleteStartStatus");
  ChangeIconPicture(running ? m_hIconRunning : m_hIconPaused);
}

void CServiceWindow::DispatchMenuMessages(plat::WPARAM command) {
  LogMessage(kLogTrace, "CServiceWindow::DispatchMenuMessages 0x%08X", static_cast<unsigned>(command));
  // Through the service manager while the service main function runs, else on the window itself.
  auto control = [](const char* logText, plat::DWORD code, plat::UINT message, plat::WPARAM state) {
    LogMessage(kLogTrace, "%s", logText);
    if (m_bServiceRunning)
      TOOLFUNC_service::ControlServiceByName(code, TOOLFUNC_service::ServiceName, plat::SC_MANAGER_ALL_ACCESS,
                                             plat::SERVICE_ALL_ACCESS);
    else
      plat::SendMessageA(m_hWnd, message, state, 0);
  };
  switch (command) {
    case ID_MENU_SETTINGS:
      TOOLFUNC_service::OpenControlPanelApplet(m_hWnd, TOOLFUNC_service::AppletWindowTag,
                                               TOOLFUNC_service::AppletFile);
      break;
    case ID_MENU_CONTINUE:
      control("Startiog", plat::SERVICE_CONTROL_CONTINUE, WM_MESSAGE_SERVICE, plat::SERVICE_RUNNING);
      break;
    case ID_MENU_STOP:
      control("Stopping", plat::SERVICE_CONTROL_PAUSE, WM_MESSAGE_SERVICE, plat::SERVICE_PAUSED);
      break;
    case ID_MENU_END:
      control("Finishing", plat::SERVICE_CONTROL_STOP, plat::WM_DESTROY, 0);
      break;
  }
}

void CServiceWindow::DispatchIconMessages(plat::LPARAM mouse) {
  LogMessage(kLogTrace, "CServiceWindow::DispatchIconMessages 0x%08X", static_cast<unsigned>(mouse));
  if (mouse == WM_LBUTTONDBLCLK)
    TOOLFUNC_service::OpenControlPanelApplet(m_hWnd, TOOLFUNC_service::AppletWindowTag,
                                             TOOLFUNC_service::AppletFile);
  else if (mouse == WM_RBUTTONUP)
    TOOLFUNC_window::TrackPopupMenuAtCursor(m_hWnd, m_hPopupMenu);
}

plat::DWORD CServiceWindow::IconThread(plat::LPVOID) {
  uint16_t passes = 0;
  while (m_dwIconThreadId != 0) {
    // A notification area that was recreated has lost the icon; adding it again brings it back.
    if (++passes % 250 == 0) {
      std::lock_guard<std::mutex> lock(g_notifyIconDataLock);
      plat::Shell_NotifyIconA(plat::NIM_ADD, &m_NotifyIconData);
    }
    plat::Sleep(10);
  }
  TOOLFUNC_process::CloseHandleAndExitThread(&m_hIconThread);
  return 0;
}
