// Test seams of the security model: the file security calls made and the privileges the account holds.
#pragma once

#include <string>
#include <vector>

#include "plat/security.h"

namespace plat {

// Each SetNamedSecurityInfoA call, the SIDs in text form ("S-1-5-32-544").
struct SecurityEntryRecord {
  std::string trustee;
  DWORD permissions;
  ACCESS_MODE mode;
  DWORD inheritance;
  TRUSTEE_TYPE trusteeType;
};
struct SecurityCallRecord {
  std::string objectName;
  SECURITY_INFORMATION securityInfo;
  std::string owner;
  std::vector<SecurityEntryRecord> dacl;
  DWORD result;
};
std::vector<SecurityCallRecord> TakeSecurityCallsForTesting();

// The privileges the account holds (none at the start; all of them disabled), and whether one is
// enabled now.
void SetHeldPrivilegesForTesting(const std::vector<std::string>& names);
bool IsPrivilegeEnabledForTesting(const std::string& name);

}  // namespace plat
