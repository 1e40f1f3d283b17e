// Service installation and control by service name, and the tool that opens the settings applet.
#pragma once

#include "plat/service.h"
#include "plat/types.h"

// The program's module handle; each program's main function sets it.
extern plat::HINSTANCE g_hInstance;

namespace TOOLFUNC_service {

// The user data by which both programs find the settings applet's window.
constexpr plat::DWORD AppletWindowTag = 0xFE93852A;

// The service entry both programs make, and the files that make up the installed system.
constexpr char ServiceName[] = "Velcora";
constexpr char ServiceDisplayName[] = "Wendrath Velcora";
constexpr char ServiceDescription[] = "Provides a Telvane interface for TAPI devices";
constexpr char ServiceProgramFile[] = "VELCORA.EXE";
constexpr char AppletFile[] = "VELCORA.CPL";

// Registers the running program as the service "Velcora" with the command line of CreateServiceEx.
int InstallService();
// Creates the entry `name` (own process plus `extraType`) that starts `programPath` in service mode
// with the settings and log configuration beside it; 1 when created, else 0.
int CreateServiceEx(plat::DWORD extraType, const char* name, const char* programPath, plat::DWORD startType,
                    const char* dependencies, const char* description, const char* displayName);
// What both installers share: creates the entry `name` through `manager` with its registered command line
// `imagePath`, the display name (else the name), SERVICE_ALL_ACCESS, own process plus `extraType`, normal
// error control, no group, no account, and sets the description when one is given; 1 when created.
int CreateServiceEntry(plat::SC_HANDLE manager, plat::DWORD extraType, const char* name,
                       const char* imagePath, plat::DWORD startType, const char* dependencies,
                       const char* description, const char* displayName);
// Stops "Velcora" and waits up to about 10 s; 1 when it is absent or stopped, else 0 after a message box.
int EnsureServiceStopped();
// Starts the service (code 0) or sends it the control code; the call's result, 0 without handles.
plat::BOOL ControlServiceByName(plat::DWORD code, const char* name, plat::DWORD managerAccess,
                                plat::DWORD serviceAccess);
// Deletes the entry; DeleteService's result, 0 without handles.
plat::BOOL RemoveService(const char* name);
// 1 when the service can be opened, else 0.
int ServiceExists(const char* name);
// The current state (SERVICE_STOPPED ... SERVICE_PAUSED); 0 when it cannot be read.
plat::DWORD QueryServiceState(const char* name);
// The configured start type; 0 when it cannot be read.
plat::DWORD QueryServiceStartType(const char* name);
// Makes the system's telephony service run in a process of its own.
void SetTapiServiceOwnProcess();
// Changes the service type and the dependency list of the service, nothing else.
void ChangeServiceTypeAndDependencies(plat::DWORD serviceType, const char* name, const char* dependencies);
// The program path registered for the service, else the running program's; a buffer the next call
// overwrites.
char* GetServiceImagePath(const char* name);
// Brings the window that carries `tag` to the front; without one, starts the applet through the
// control-panel runner.
void OpenControlPanelApplet(plat::HWND owner, plat::DWORD tag, const char* applet);

}  // namespace TOOLFUNC_service
