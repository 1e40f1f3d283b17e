// The entry "Velcora" that runs the layer's test service program, for tests of the service tools.
#pragma once

#include <string>

namespace testsupport {

// Enters `program` (a host path) as the demand-started service "Velcora" in the test service's `mode`;
// false when the entry cannot be made.
bool InstallTestService(const std::string& program, const std::string& mode);

}  // namespace testsupport
