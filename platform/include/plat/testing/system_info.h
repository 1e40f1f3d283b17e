// Test seams of the system information: the version and names the program is told instead of the host's.
#pragma once

#include <optional>
#include <string>

#include "plat/system_info.h"

namespace plat {

// The platform, major and minor version GetVersionExA reports from now on; nullopt restores the default.
struct SystemVersion {
  DWORD platformId;
  DWORD majorVersion;
  DWORD minorVersion;
};
void SetSystemVersionForTesting(std::optional<SystemVersion> version);

// The names GetUserNameA and GetComputerNameA report from now on; nullopt restores the host's.
void SetUserNameForTesting(std::optional<std::string> name);
void SetComputerNameForTesting(std::optional<std::string> name);

}  // namespace plat
