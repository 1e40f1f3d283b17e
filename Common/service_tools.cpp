// The service tools: each opens the service manager and the service, makes its calls and closes both.
#include "service_tools.h"

#include <cstdio>
#include <vector>

#include "path_tools.h"
#include "plat/debug.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/machine.h"
#include "plat/module.h"
#include "plat/path.h"
#include "plat/service.h"
#include "plat/shell.h"
#include "plat/time.h"
#include "plat/window.h"
#include "plat/winmain.h"
#include "registry_tool.h"
#include "window_tools.h"

plat::HINSTANCE g_hInstance = nullptr;

namespace TOOLFUNC_service {
namespace {

// The manager and one service of it, both closed when the object goes.
class ServiceHandles {
 public:
  ServiceHandles(const char* name, plat::DWORD managerAccess, plat::DWORD serviceAccess) {
    m_manager = plat::OpenSCManagerA(nullptr, nullptr, managerAccess);
    if (m_manager != nullptr) m_service = plat::OpenServiceA(m_manager, name, serviceAccess);
  }
  ~ServiceHandles() {
    if (m_service != nullptr) plat::CloseServiceHandle(m_service);
    if (m_manager != nullptr) plat::CloseServiceHandle(m_manager);
  }
  ServiceHandles(const ServiceHandles&) = delete;
  ServiceHandles& operator=(const ServiceHandles&) = delete;

  plat::SC_HANDLE get() const { return m_service; }

 private:
  plat::SC_HANDLE m_manager = nullptr;
  plat::SC_HANDLE m_service = nullptr;
};

void ChangeServiceType(const char* name, plat::DWORD serviceType, const char* dependencies) {
  ServiceHandles service(name, plat::SC_MANAGER_MODIFY_BOOT_CONFIG, plat::SERVICE_CHANGE_CONFIG);
  if (service.get() == nullptr) return;
  plat::ChangeServiceConfigA(service.get(), serviceType, plat::SERVICE_NO_CHANGE, plat::SERVICE_NO_CHANGE,
                             nullptr, nullptr, nullptr, dependencies, nullptr, nullptr, nullptr);
}

}  // namespace

int InstallService() {
  char path[plat::MAX_PATH] = "";
  // A cut path would register some other program; the call has set why it failed as the last error.
  const plat::DWORD length = plat::GetModuleFileNameA(g_hInstance, path, TOOLFUNC_file::kPathCapacity);
  if (length == 0 || length >= TOOLFUNC_file::kPathCapacity) return 0;
  return CreateServiceEx(plat::SERVICE_INTERACTIVE_PROCESS, ServiceName, path, plat::SERVICE_AUTO_START, "\0",
                         ServiceDescription, ServiceDisplayName);
}

int CreateServiceEx(plat::DWORD extraType, const char* name, const char* programPath, plat::DWORD startType,
                    const char* dependencies, const char* description, const char* displayName) {
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_CREATE_SERVICE);
  if (manager == nullptr) return 0;
  char drive[3] = "";
  char directory[plat::MAX_PATH] = "";
  plat::SplitPath(programPath, drive, sizeof(drive), directory, TOOLFUNC_file::kPathCapacity, nullptr, 0,
                  nullptr, 0);
  char commandLine[4096];
  std::snprintf(commandLine, 4095, "\"%s\" -D -C \"%s%s%s\" -L \"%s%s%s\" -cwd \"%s%s\"", programPath, drive,
                directory, "VELCORA.ini", drive, directory, "log4j-config.xml", drive, directory);
  int result = CreateServiceEntry(manager, extraType, name, commandLine, startType, dependencies, description,
                                  displayName);
  plat::CloseServiceHandle(manager);
  return result;
}

int CreateServiceEntry(plat::SC_HANDLE manager, plat::DWORD extraType, const char* name,
                       const char* imagePath, plat::DWORD startType, const char* dependencies,
                       const char* description, const char* displayName) {
  plat::SC_HANDLE service =
      plat::CreateServiceA(manager, name, displayName ? displayName : name, plat::SERVICE_ALL_ACCESS,
                           plat::SERVICE_WIN32_OWN_PROCESS | extraType, startType, plat::SERVICE_ERROR_NORMAL,
                           imagePath, nullptr, nullptr, dependencies, nullptr, nullptr);
  if (service == nullptr) return 0;
  if (description != nullptr) {
    plat::SERVICE_DESCRIPTIONA text = {const_cast<char*>(description)};
    plat::ChangeServiceConfig2A(service, plat::SERVICE_CONFIG_DESCRIPTION, &text);
  }
  plat::CloseServiceHandle(service);
  return 1;
}

int EnsureServiceStopped() {
  if (!ServiceExists(ServiceName)) return 1;
  plat::DWORD state = QueryServiceState(ServiceName);
  if (state != plat::SERVICE_STOPPED) {
    ControlServiceByName(plat::SERVICE_CONTROL_STOP, ServiceName, plat::SC_MANAGER_ALL_ACCESS,
                         plat::SERVICE_ALL_ACCESS);
    for (int poll = 0; poll < 100; ++poll) {
      state = QueryServiceState(ServiceName);
      if (state == plat::SERVICE_STOPPED) break;
      plat::Sleep(100);
    }
  }
  if (state == plat::SERVICE_STOPPED) return 1;
  plat::MessageBoxA(nullptr, "Please stop Service and try again.", "Installation abortet",
                    plat::MB_OK | plat::MB_ICONINFORMATION | plat::MB_TOPMOST);
  return 0;
}

plat::BOOL ControlServiceByName(plat::DWORD code, const char* name, plat::DWORD managerAccess,
                                plat::DWORD serviceAccess) {
  ServiceHandles service(name, managerAccess, serviceAccess);
  if (service.get() == nullptr) return 0;
  if (code == 0) return plat::StartServiceA(service.get(), 0, nullptr);
  plat::SERVICE_STATUS status = {};
  return plat::ControlService(service.get(), code, &status);
}

plat::BOOL RemoveService(const char* name) {
  ServiceHandles service(name, plat::SC_MANAGER_ALL_ACCESS, plat::DELETE);
  if (service.get() == nullptr) return 0;
  return plat::DeleteService(service.get());
}

int ServiceExists(const char* name) {
  ServiceHandles service(name, plat::SC_MANAGER_CONNECT, plat::SERVICE_QUERY_CONFIG);
  return service.get() != nullptr ? 1 : 0;
}

plat::DWORD QueryServiceState(const char* name) {
  ServiceHandles service(name, plat::SC_MANAGER_CONNECT,
                         plat::SERVICE_QUERY_STATUS | plat::SERVICE_INTERROGATE);
  if (service.get() == nullptr) return 0;
  plat::SERVICE_STATUS status = {};
  if (!plat::QueryServiceStatus(service.get(), &status)) return 0;
  // A stopped service cannot be interrogated; the record then keeps what the query gave.
  plat::ControlService(service.get(), plat::SERVICE_CONTROL_INTERROGATE, &status);
  return status.dwCurrentState;
}

plat::DWORD QueryServiceStartType(const char* name) {
  ServiceHandles service(name, plat::SC_MANAGER_CONNECT, plat::SERVICE_QUERY_CONFIG);
  if (service.get() == nullptr) return 0;
  std::vector<unsigned char> buffer(236);
  plat::DWORD needed = 0;
  auto* config = reinterpret_cast<plat::QUERY_SERVICE_CONFIGA*>(buffer.data());
  if (!plat::QueryServiceConfigA(service.get(), config, static_cast<plat::DWORD>(buffer.size()), &needed)) {
    if (plat::GetLastError() != plat::ERROR_INSUFFICIENT_BUFFER) return 0;
    buffer.resize(needed);
    config = reinterpret_cast<plat::QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!plat::QueryServiceConfigA(service.get(), config, needed, &needed)) return 0;
  }
  return config->dwStartType;
}

void SetTapiServiceOwnProcess() { ChangeServiceType("tapisrv", plat::SERVICE_WIN32_OWN_PROCESS, nullptr); }

void ChangeServiceTypeAndDependencies(plat::DWORD serviceType, const char* name, const char* dependencies) {
  ChangeServiceType(name, serviceType, dependencies);
}

char* GetServiceImagePath(const char* name) {
  static char s_imagePath[plat::MAX_PATH];
  s_imagePath[0] = '\0';
  char keyPath[255];
  std::snprintf(keyPath, sizeof(keyPath), "SYSTEM\\CurrentControlSet\\Services\\%s", name);
  // Opened without creating it: asking for the path of a service must not make an entry appear.
  TOOLFUNC_registry::CRegTool key;
  if (key.OpenExisting(plat::HKEY_LOCAL_MACHINE, keyPath) == plat::ERROR_SUCCESS) {
    key.ReadString("ImagePath", s_imagePath, TOOLFUNC_file::kPathCapacity, nullptr);
    key.Close();
  }
  if (plat::GetFileAttributesA(s_imagePath) == plat::INVALID_FILE_ATTRIBUTES) {
    // A cut program path names some other file: nothing is given then.
    const plat::DWORD length =
        plat::GetModuleFileNameA(g_hInstance, s_imagePath, TOOLFUNC_file::kPathCapacity);
    if (length == 0 || length >= TOOLFUNC_file::kPathCapacity) s_imagePath[0] = '\0';
  }
  return s_imagePath;
}

void OpenControlPanelApplet(plat::HWND owner, plat::DWORD tag, const char* applet) {
  if (tag != 0) {
    if (plat::HWND window = TOOLFUNC_window::FindWindowByUserData(plat::GetDesktopWindow(), tag)) {
      TOOLFUNC_window::BringWindowToFront(window);
      return;
    }
  }
  // Without the system directory the runner would look for the applet wherever the caller stands: it
  // is not started then.
  char systemDirectory[plat::MAX_PATH] = "";
  const plat::UINT length = plat::GetSystemDirectoryA(systemDirectory, TOOLFUNC_file::kPathCapacity);
  if (length == 0 || length >= TOOLFUNC_file::kPathCapacity) return;
  char parameters[plat::MAX_PATH];
  std::snprintf(parameters, TOOLFUNC_file::kPathCapacity, "SHELL32.DLL,Control_RunDLL %s", applet);
  plat::ShellExecuteA(owner, nullptr, "RUNDLL32.EXE", parameters, systemDirectory, plat::SW_SHOWNORMAL);
}

}  // namespace TOOLFUNC_service
