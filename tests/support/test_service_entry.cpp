// The entry "Velcora" that runs the layer's test service program, for tests of the service tools.
#include "support/test_service_entry.h"

#include "plat/path.h"
#include "plat/service.h"

namespace testsupport {

bool InstallTestService(const std::string& program, const std::string& mode) {
  plat::SC_HANDLE manager = plat::OpenSCManagerA(nullptr, nullptr, plat::SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  std::string command = "\"" + plat::ToWindowsPath(program) + "\" Velcora " + mode;
  plat::SC_HANDLE service = plat::CreateServiceA(
      manager, "Velcora", "Wendrath Velcora", plat::SERVICE_ALL_ACCESS, 0x110, plat::SERVICE_DEMAND_START,
      plat::SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (service != nullptr) plat::CloseServiceHandle(service);
  plat::CloseServiceHandle(manager);
  return service != nullptr;
}

}  // namespace testsupport
