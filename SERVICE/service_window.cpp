// CServiceWindow: the settings, the order of start and shutdown, and the message loop.
#include "service_window.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "plat/fault.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/module.h"
#include "plat/profile.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "plat/winmain.h"
#include "provider.h"
#include "winmain.h"

using TOOLFUNC_debug::LogMessage;

plat::BOOL g_bFeatureOrigin = 0;
plat::BOOL g_bFeatureFilterFeatures = 0;
plat::BOOL g_bFeatureRefreshStatus = 0;

CServiceWindow* CServiceWindow::m_pThis = nullptr;
plat::DWORD CServiceWindow::m_dwPortNumber = 0;
char CServiceWindow::m_szDriver[plat::MAX_PATH] = "";
plat::CRITICAL_SECTION CServiceWindow::m_csLineList;
plat::CRITICAL_SECTION CServiceWindow::m_csTapiCall;
plat::CRITICAL_SECTION CServiceWindow::m_csSend;
CLineObject* CServiceWindow::m_pLineRoot = nullptr;
plat::HWND CServiceWindow::m_hWnd = nullptr;
plat::NOTIFYICONDATAA CServiceWindow::m_NotifyIconData = {};
plat::HICON CServiceWindow::m_hIconRunning = nullptr;
plat::HICON CServiceWindow::m_hIconPaused = nullptr;
plat::HMENU CServiceWindow::m_hMainMenu = nullptr;
plat::HMENU CServiceWindow::m_hPopupMenu = nullptr;
std::atomic<plat::DWORD> CServiceWindow::m_dwIconThreadId{0};
std::atomic<plat::HANDLE> CServiceWindow::m_hIconThread{nullptr};

namespace {

// A settings key as text: the empty text when missing, at most 258 characters.
void ReadSetting(const char* key, char (&value)[plat::MAX_PATH]) {
  plat::GetPrivateProfileStringA("General", key, "", value, TOOLFUNC_file::kPathCapacity, g_szIniFile);
}

// The way the 32-bit atoi reads a number: leading blanks, a sign, digits; anything else ends it, and a
// value beyond the 32-bit range stops at its limit.
plat::DWORD ReadNumberSetting(const char* key) {
  char value[plat::MAX_PATH];
  ReadSetting(key, value);
  return static_cast<plat::DWORD>(TOOLFUNC_string::ReadDecimal(value));
}

// The log directory that LogBaseDir names: a leading "\" or ".\" is the program directory.
void LogDirectory(const char* setting, char (&directory)[plat::MAX_PATH]) {
  bool fromProgram = (setting[0] == '\\' && setting[1] != '\\') || (setting[0] == '.' && setting[1] == '\\');
  if (setting[0] != '\0' && !fromProgram) {
    TOOLFUNC_string::CopyBounded(directory, setting, TOOLFUNC_file::kPathCapacity);
    return;
  }
  TOOLFUNC_string::CopyBounded(directory, TOOLFUNC_file::GetModuleDirectory(), TOOLFUNC_file::kPathCapacity);
  TOOLFUNC_file::AddBackslash(directory);
  if (fromProgram) {
    size_t length = std::strlen(directory);
    std::snprintf(directory + length, TOOLFUNC_file::kPathCapacity - length, "%s",
                  setting + (setting[0] == '\\' ? 1 : 2));
  }
}

}  // namespace

CServiceWindow::CServiceWindow() {
  LogMessage(kLogTrace, "CServiceWindow::CServiceWindow");
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  InitializeVariable();
  PrepareWindow();
  plat::ShowWindow(m_hWnd, plat::SW_HIDE);
  StartSystem();
  plat::Shell_NotifyIconA(plat::NIM_ADD, &m_NotifyIconData);
  CompleteStartStatus(true);
  // The thread reads the identifier as its run flag the moment it starts, so it is set before.
  m_dwIconThreadId = 0xFFFFFFFF;
  plat::DWORD iconThreadId = 0;
  m_hIconThread = plat::CreateThread(nullptr, 2048, IconThread, nullptr, 0, &iconThreadId);
  if (m_hIconThread != nullptr) m_dwIconThreadId = iconThreadId;
  LogMessage(kLogInfo, "Service started");
}

void CServiceWindow::InitializeVariable() {
  LogMessage(kLogTrace, "CServiceWindow::InitializeVariable");
  m_pThis = this;
  plat::InitializeCriticalSection(&m_csLineList);
  plat::InitializeCriticalSection(&m_csTapiCall);
  plat::InitializeCriticalSection(&m_csSend);
  // Never deleted: the control handler may still report on the dispatcher thread while the main thread
  // runs the destructor after a shutdown control.
  plat::InitializeCriticalSection(&m_csServiceStatus);
  m_pLineRoot = new CLineObject(0xFFFFFFFF);

  m_dwPortNumber = ReadNumberSetting("loginPort");
  ReadSetting("Driver", m_szDriver);
  g_bFeatureOrigin = ReadNumberSetting("FeatureOrigin") != 0;
  g_bFeatureFilterFeatures = ReadNumberSetting("FeatureFilterFeatures") != 0;
  g_bFeatureRefreshStatus = ReadNumberSetting("FeatureRefreshStatus") != 0;
  g_LoggingFile.SetDebugLevel(ReadNumberSetting("DebugLevel"));
  g_LoggingFile.SetDebugLine(ReadNumberSetting("DebugLine"));
  g_LoggingFile.SetMaxDebugFiles(ReadNumberSetting("MaxDebugFiles"));
  g_LoggingFile.SetMaxDebugLines(ReadNumberSetting("MaxDebugLines"));
  char logBaseDir[plat::MAX_PATH];
  ReadSetting("LogBaseDir", logBaseDir);

  char directory[plat::MAX_PATH];
  LogDirectory(logBaseDir, directory);
  if (plat::GetFileAttributesA(directory) == plat::INVALID_FILE_ATTRIBUTES)
    plat::CreateDirectoryA(directory, nullptr);
  TOOLFUNC_file::AddBackslash(directory);
  char pattern[plat::MAX_PATH];
  std::snprintf(pattern, TOOLFUNC_file::kPathCapacity, "%sVELCORA%%d.LOG", directory);
  g_LoggingFile.SetFileNamePattern(pattern);

  m_hServiceStatus = nullptr;
  m_ServiceStatus = {};
  m_ServiceStatus.dwServiceType = plat::SERVICE_WIN32_OWN_PROCESS | plat::SERVICE_INTERACTIVE_PROCESS;
  m_ServiceStatus.dwCurrentState = plat::SERVICE_STOPPED;
  m_ServiceStatus.dwControlsAccepted =
      plat::SERVICE_ACCEPT_STOP | plat::SERVICE_ACCEPT_PAUSE_CONTINUE | plat::SERVICE_ACCEPT_SHUTDOWN;
  LogMessage(kLogTrace, "m_dwPortNumber %d", m_dwPortNumber);
}

void CServiceWindow::PrepareWindow() {
  LogMessage(kLogTrace, "CServiceWindow::PrepareWindow");
  plat::WNDCLASSEXA windowClass = {};
  windowClass.cbSize = plat::kWindowClassSize32;
  windowClass.style = plat::CS_VREDRAW | plat::CS_HREDRAW | plat::CS_DBLCLKS;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = g_hInstance;
  windowClass.hCursor = plat::LoadCursorA(nullptr, plat::IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<plat::HBRUSH>(static_cast<uintptr_t>(plat::COLOR_BTNFACE + 1));
  windowClass.lpszClassName = "Velcora";
  if (plat::RegisterClassExA(&windowClass) == 0) {
    LogMessage(kLogError, "RegisterClassEx failed");
    return;
  }
  m_hWnd = plat::CreateWindowExA(0, "Velcora", "Velcora", plat::WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                 nullptr, nullptr, g_hInstance, nullptr);
  LogMessage(kLogTrace, "Create m_hWnd 0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_hWnd)));

  m_NotifyIconData = {};
  m_NotifyIconData.cbSize = 504;
  m_NotifyIconData.hWnd = m_hWnd;
  m_NotifyIconData.uID = 0x844;
  m_NotifyIconData.uFlags = plat::NIF_MESSAGE | plat::NIF_ICON | plat::NIF_TIP;
  m_NotifyIconData.uCallbackMessage = WM_MESSAGE_SHELL_ICON;
  plat::BoundedCopy(m_NotifyIconData.szTip, 127, "Wendrath Velcora");
  m_hIconRunning = static_cast<plat::HICON>(plat::LoadImageA(
      g_hInstance, plat::MAKEINTRESOURCEA(IDI_SERVICE_RUNNING), plat::IMAGE_ICON, 16, 16, 0));
  m_hIconPaused = static_cast<plat::HICON>(
      plat::LoadImageA(g_hInstance, plat::MAKEINTRESOURCEA(IDI_SERVICE_PAUSED), plat::IMAGE_ICON, 16, 16, 0));
  m_NotifyIconData.hIcon = m_hIconPaused;

  RegisterResources();
  m_hMainMenu = plat::LoadMenuA(g_hInstance, plat::MAKEINTRESOURCEA(IDR_ICON_MENU));
  m_hPopupMenu = plat::GetSubMenu(m_hMainMenu, 0);
  plat::EnableMenuItem(m_hPopupMenu, ID_MENU_CONTINUE, plat::MF_BYCOMMAND | plat::MF_GRAYED);
  LogMessage(kLogTrace, "Create m_hMainMenu 0x%08X",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_hMainMenu)));
  LogMessage(kLogTrace, "Create m_hPopupMenu 0x%08X",
             static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_hPopupMenu)));
}

void CServiceWindow::StartSystem() {
  LogMessage(kLogError, "CServiceWindow::StartSystem");
  LoadTapiLibrary();
  Wait(5000);
  if (!PrepareTapiInfos()) {
    LogMessage(kLogError, "LoadTapiLibrary Error");
    if (g_hTspiLibrary != nullptr) plat::FreeLibrary(g_hTspiLibrary);
    // A provider that cannot be prepared is a failed start: the service manager must see it as one.
    // The process ends as from the start-up, past static destructors, its log shut down in order.
    std::quick_exit(1);
  }
  if (!StartTcpIp()) LogMessage(kLogError, "Network Error");
  LogMessage(kLogTrace, "StartSystem finished");
}

void CServiceWindow::Wait(plat::DWORD value) {
  plat::DWORD step = value / 100;
  for (plat::DWORD i = 0; i < step; ++i) plat::Sleep(step);
}

int CServiceWindow::Loop() {
  LogMessage(kLogTrace, "CServiceWindow::Loop");
  plat::MSG message;
  while (plat::GetMessageA(&message, nullptr, 0, 0) > 0) {
    plat::TranslateMessage(&message);
    plat::DispatchMessageA(&message);
  }
  LogMessage(kLogTrace, "TERMINATE");
  return static_cast<int>(message.wParam);
}

CServiceWindow::~CServiceWindow() {
  LogMessage(kLogTrace, "CServiceWindow::~CServiceWindow");
  LogMessage(kLogInfo, "Shutdown Service");
  m_dwIconThreadId = 0;
  plat::Sleep(100);
  // The icon thread may be closing its handle at this moment: whichever of the two takes it closes it.
  if (plat::HANDLE iconThread = m_hIconThread.exchange(nullptr)) {
    plat::TerminateThread(iconThread, 0);
    plat::CloseHandle(iconThread);
  }
  StopTcpIp();
  ShutdownTapi();
  plat::Shell_NotifyIconA(plat::NIM_DELETE, &m_NotifyIconData);
  plat::DestroyMenu(m_hPopupMenu);
  m_hPopupMenu = nullptr;
  plat::DestroyMenu(m_hMainMenu);
  m_hMainMenu = nullptr;
  if (plat::GetFileAttributesA(g_szIniFile) != plat::INVALID_FILE_ATTRIBUTES) {
    char line[32];
    std::snprintf(line, sizeof(line), "%d", static_cast<int>(g_LoggingFile.GetDebugLine()));
    plat::WritePrivateProfileStringA("General", "DebugLine", line, g_szIniFile);
  }
  plat::DestroyWindow(m_hWnd);
  plat::UnregisterClassA("Velcora", g_hInstance);
  LogMessage(kLogInfo, "Service end");
  // A provider whose shutdown faulted stays loaded, and its threads may still call back: the lines and
  // the locks they use stay as long as it does.
  if (g_hTspiLibrary != nullptr) return;
  delete m_pLineRoot;
  m_pLineRoot = nullptr;
  plat::DeleteCriticalSection(&m_csLineList);
  plat::DeleteCriticalSection(&m_csTapiCall);
  plat::DeleteCriticalSection(&m_csSend);
}

void CServiceWindow::ShutdownTapi() {
  LogMessage(kLogTrace, "CServiceWindow::ShutdownTapi");
  plat::DWORD fault = plat::GuardedCall([] {
    if (g_hTspiLibrary == nullptr) return;
    LogMessage(kLogInfo, "Shutdown TAPI");
    CloseAllLines();
    g_TspiEntryPoints.TSPI_providerShutdown(g_dwTSPIVersion, g_dwPermanentProviderID);
    plat::FreeLibrary(g_hTspiLibrary);
    g_hTspiLibrary = nullptr;
  });
  if (fault != 0) LogMessage(kLogError, ">>> TSPI_providerShutdown Exception Code 0x%08X", fault);
}
