// The connection to the service manager: dispatcher thread, service main function, control handler.
#include <mutex>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

plat::SERVICE_STATUS CServiceWindow::m_ServiceStatus = {};
plat::SERVICE_STATUS_HANDLE CServiceWindow::m_hServiceStatus = nullptr;
bool CServiceWindow::m_bService = false;
std::atomic<bool> CServiceWindow::m_bServiceRunning{false};
plat::CRITICAL_SECTION CServiceWindow::m_csServiceStatus;
plat::HANDLE CServiceWindow::m_hServiceThread = nullptr;

namespace {

// Held by the creator from before the dispatcher thread exists until its handle is stored, and taken by
// the thread before it reads the handle: otherwise the thread may read its place before the handle is in it.
std::mutex g_serviceThreadHandover;

void RaiseCheckPoint() {
  plat::CriticalSectionLock lock(&CServiceWindow::m_csServiceStatus);
  ++CServiceWindow::m_ServiceStatus.dwCheckPoint;
}

}  // namespace

plat::HANDLE CServiceWindow::CreateServiceThread() {
  std::lock_guard<std::mutex> handover(g_serviceThreadHandover);
  m_hServiceThread = plat::CreateThread(nullptr, 0, StartCTIService, &m_hServiceThread, 0, nullptr);
  return m_hServiceThread;
}

plat::DWORD CServiceWindow::StartCTIService(plat::LPVOID handlePlace) {
  LogMessage(kLogInfo, "CServiceWindow::StartCTIService");
  std::atomic<plat::HANDLE> ownHandle{nullptr};
  {
    std::lock_guard<std::mutex> handover(g_serviceThreadHandover);
    ownHandle = *static_cast<plat::HANDLE*>(handlePlace);
  }
  static char serviceName[] = "Velcora";
  const plat::SERVICE_TABLE_ENTRYA table[] = {{serviceName, ServiceMain}, {nullptr, nullptr}};
  plat::BOOL result = plat::StartServiceCtrlDispatcherA(table);
  LogMessage(kLogTrace, "Stopping StartService 0x%08X",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(ownHandle.load())));
  TOOLFUNC_process::CloseHandleAndExitThread(&ownHandle);
  return static_cast<plat::DWORD>(result);
}

void CServiceWindow::ServiceMain(plat::DWORD, plat::LPSTR*) {
  LogMessage(kLogTrace, "CServiceWindow::ServiceMain");
  const plat::SERVICE_STATUS_HANDLE statusHandle =
      plat::RegisterServiceCtrlHandlerA(TOOLFUNC_service::ServiceName, Handler);
  {
    // The main thread reports through it too (pause and continue from the menu).
    plat::CriticalSectionLock lock(&m_csServiceStatus);
    m_hServiceStatus = statusHandle;
  }
  SetStatus(plat::SERVICE_START_PENDING);
  LogMessage(kLogTrace, "Handler registering: 0x%08X",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(statusHandle)));
  if (statusHandle == nullptr) {
    LogMessage(kLogError, "No Service Handle");
    SetError(4);
    SetStatus(plat::SERVICE_STOPPED);
    return;
  }
  {
    plat::CriticalSectionLock lock(&m_csServiceStatus);
    m_ServiceStatus.dwWin32ExitCode = 0;
    m_ServiceStatus.dwCheckPoint = 0;
    m_ServiceStatus.dwWaitHint = 0;
  }
  m_bServiceRunning = true;
  SetStatus(plat::SERVICE_RUNNING);
  while (m_bServiceRunning) plat::Sleep(250);
  plat::Sleep(2500);
  SetStatus(plat::SERVICE_STOPPED);
  plat::PostMessageA(m_hWnd, plat::WM_DESTROY, 0, 0);
  LogMessage(kLogInfo, "ServiceMain Finished");
}

void CServiceWindow::SetStatus(plat::DWORD state) {
  LogMessage(kLogDetail, "CServiceWindow::SetStatus %d", state);
  plat::CriticalSectionLock lock(&m_csServiceStatus);
  if (!m_bService || m_ServiceStatus.dwCurrentState == state) return;
  m_ServiceStatus.dwCurrentState = state;
  plat::SetServiceStatus(m_hServiceStatus, &m_ServiceStatus);
}

void CServiceWindow::SetError(plat::DWORD code) {
  LogMessage(kLogTrace, "CServiceWindow::SetError %d", code);
  plat::CriticalSectionLock lock(&m_csServiceStatus);
  if (m_hServiceStatus == nullptr) return;
  m_ServiceStatus.dwCurrentState = plat::SERVICE_STOPPED;
  m_ServiceStatus.dwWin32ExitCode = plat::ERROR_SERVICE_SPECIFIC_ERROR;
  m_ServiceStatus.dwServiceSpecificExitCode = code;
  plat::SetServiceStatus(m_hServiceStatus, &m_ServiceStatus);
}

void CServiceWindow::Handler(plat::DWORD control) {
  LogMessage(kLogTrace, "CServiceWindow::Handler %d", control);
  switch (control) {
    case plat::SERVICE_CONTROL_STOP:
      LogMessage(kLogTrace, "SERVICE_CONTROL_STOP");
      m_pThis->OnStop();
      break;
    case plat::SERVICE_CONTROL_PAUSE:
      LogMessage(kLogTrace, "SERVICE_CONTROL_PAUSE");
      m_pThis->OnPause();
      break;
    case plat::SERVICE_CONTROL_CONTINUE:
      LogMessage(kLogTrace, "SERVICE_CONTROL_CONTINUE");
      m_pThis->OnContinue();
      break;
    case plat::SERVICE_CONTROL_INTERROGATE:
      LogMessage(kLogTrace, "SERVICE_CONTROL_INTERROGATE");
      m_pThis->OnInterrogate();
      break;
    case plat::SERVICE_CONTROL_SHUTDOWN:
      LogMessage(kLogTrace, "SERVICE_CONTROL_SHUTDOWN");
      m_pThis->OnShutdown();
      break;
  }
  plat::CriticalSectionLock lock(&m_csServiceStatus);
  plat::SetServiceStatus(m_hServiceStatus, &m_ServiceStatus);
}

void CServiceWindow::OnStop() {
  LogMessage(kLogTrace, "CServiceWindow::OnStop");
  m_bServiceRunning = false;
  ResetInstanceCount();
  RaiseCheckPoint();
  plat::PostMessageA(m_hWnd, WM_MESSAGE_SERVICE, plat::SERVICE_STOPPED, 0);
}

void CServiceWindow::OnPause() {
  LogMessage(kLogTrace, "CServiceWindow::OnPause");
  RaiseCheckPoint();
  plat::PostMessageA(m_hWnd, WM_MESSAGE_SERVICE, plat::SERVICE_PAUSED, 0);
}

void CServiceWindow::OnContinue() {
  LogMessage(kLogTrace, "CServiceWindow::OnContinue");
  RaiseCheckPoint();
  plat::PostMessageA(m_hWnd, WM_MESSAGE_SERVICE, plat::SERVICE_RUNNING, 0);
}

void CServiceWindow::OnShutdown() {
  LogMessage(kLogTrace, "CServiceWindow::OnShutdown");
  SetStatus(plat::SERVICE_STOPPED);
  plat::SendMessageA(m_hWnd, plat::WM_DESTROY, 0, 0);
}

void CServiceWindow::OnInterrogate() { LogMessage(kLogTrace, "CServiceWindow::OnInterrogate"); }
