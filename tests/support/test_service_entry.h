// The entry "Velcora" that runs the layer's test service program, and the end of a service's process,
// for tests of the service tools and the service manager.
#pragma once

#include <string>

#include "plat/service.h"

namespace testsupport {

// Enters `command` (the quoted program path and its arguments) as the demand-started service "Velcora";
// false when the entry cannot be made.
bool InstallServiceEntry(const std::string& command);
// Enters `program` (a host path) as the demand-started service "Velcora" in the test service's `mode`;
// false when the entry cannot be made.
bool InstallTestService(const std::string& program, const std::string& mode);

// The manager's record of service `name`, with its process; false when there is no such service (any
// more).
bool QueryServiceProcess(const std::string& name, plat::SERVICE_STATUS_PROCESS& status);

// Kills the process that the manager reports for service `name`, if any, and waits up to 30 s until
// the service reads as stopped (or is gone); false when it still does not. The test service's modes
// that never end by themselves end here.
bool EndServiceProcess(const std::string& name);

// While it lives, each plat::Sleep of `pauseMilliseconds`, on any thread, first waits until service
// `name` reads as stopped (30 s at most): a tool's polls for the end of a service that does stop
// cannot run out before it, however busy the machine.
class PausesWaitForTheStop {
 public:
  PausesWaitForTheStop(const std::string& name, plat::DWORD pauseMilliseconds);
  ~PausesWaitForTheStop();
  PausesWaitForTheStop(const PausesWaitForTheStop&) = delete;
  PausesWaitForTheStop& operator=(const PausesWaitForTheStop&) = delete;
};

}  // namespace testsupport
