// The account model behind tokens and file security: it holds only the privileges a test grants.
#include "plat/security.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "handle_table.h"
#include "plat/error.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/testing/security.h"

namespace plat {
namespace {

// The privileges the system knows, with the identifiers Windows gives them.
struct KnownPrivilege {
  const char* name;
  DWORD value;
};
constexpr KnownPrivilege kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},
    {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14},
    {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},
    {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
    {"SeUndockPrivilege", 25},
};

const KnownPrivilege* FindPrivilege(const char* name) {
  for (const KnownPrivilege& privilege : kPrivileges)
    if (strcasecmp(privilege.name, name) == 0) return &privilege;
  return nullptr;
}

class TokenObject : public detail::KernelObject {
 public:
  explicit TokenObject(DWORD access) : m_access(access) {}
  DWORD access() const { return m_access; }

 private:
  DWORD m_access;
};

// Held privileges by identifier, each with its enabled state; one account for the whole process.
std::mutex g_mutex;
std::map<DWORD, bool>& Held() {
  static std::map<DWORD, bool> value;
  return value;
}

struct Sid {
  SID_IDENTIFIER_AUTHORITY authority;
  std::vector<DWORD> subAuthorities;
};

std::string SidText(const Sid* sid) {
  if (sid == nullptr) return std::string();
  unsigned long long authority = 0;
  for (BYTE byte : sid->authority.Value) authority = authority << 8 | byte;
  std::string text = "S-1-" + std::to_string(authority);
  for (DWORD sub : sid->subAuthorities) text += "-" + std::to_string(sub);
  return text;
}

}  // namespace

struct ACL {
  std::vector<SecurityEntryRecord> entries;
};

namespace {

std::set<ACL*> g_acls;
// Host files whose ownership the account took here.
std::set<std::string> g_taken;
std::vector<SecurityCallRecord> g_calls;

bool HeldAndEnabled(DWORD privilege) {
  auto held = Held().find(privilege);
  return held != Held().end() && held->second;
}

}  // namespace

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
  if (token == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (process != GetCurrentProcess()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *token = detail::AddHandle(std::make_shared<TokenObject>(desiredAccess));
  return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR name, LUID* luid) {
  const KnownPrivilege* privilege = name ? FindPrivilege(name) : nullptr;
  if (privilege == nullptr || luid == nullptr) {
    SetLastError(privilege == nullptr ? ERROR_NO_SUCH_PRIVILEGE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  luid->LowPart = privilege->value;
  luid->HighPart = 0;
  return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState, DWORD,
                           TOKEN_PRIVILEGES*, DWORD* returnLength) {
  auto* object = dynamic_cast<TokenObject*>(detail::FindHandle(token).get());
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(object->access() & TOKEN_ADJUST_PRIVILEGES)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (returnLength != nullptr) *returnLength = 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (disableAll) {
    for (auto& held : Held()) held.second = false;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  if (newState == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool allAssigned = true;
  for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
    auto held = Held().find(entry.Luid.LowPart);
    if (entry.Luid.HighPart != 0 || held == Held().end()) {
      allAssigned = false;
      continue;
    }
    held->second = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount, DWORD sub0,
                              DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6,
                              DWORD sub7, PSID* sid) {
  if (authority == nullptr || sid == nullptr || subAuthorityCount == 0 || subAuthorityCount > 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD all[] = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
  *sid = new Sid{*authority, std::vector<DWORD>(all, all + subAuthorityCount)};
  return TRUE;
}

PSID FreeSid(PSID sid) {
  delete static_cast<Sid*>(sid);
  return nullptr;
}

DWORD SetEntriesInAclA(ULONG count, EXPLICIT_ACCESS_A* entries, PACL oldAcl, PACL* newAcl) {
  if (newAcl == nullptr || (count != 0 && entries == nullptr)) return ERROR_INVALID_PARAMETER;
  auto acl = std::make_unique<ACL>();
  if (oldAcl != nullptr) acl->entries = oldAcl->entries;
  for (ULONG i = 0; i < count; ++i) {
    const EXPLICIT_ACCESS_A& entry = entries[i];
    if (entry.Trustee.TrusteeForm != TRUSTEE_IS_SID || entry.Trustee.ptstrName == nullptr)
      return ERROR_INVALID_PARAMETER;
    acl->entries.push_back({SidText(reinterpret_cast<const Sid*>(entry.Trustee.ptstrName)),
                            entry.grfAccessPermissions, entry.grfAccessMode, entry.grfInheritance,
                            entry.Trustee.TrusteeType});
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  *newAcl = acl.release();
  g_acls.insert(*newAcl);
  return ERROR_SUCCESS;
}

void* LocalFree(void* memory) {
  if (memory == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto found = g_acls.find(static_cast<ACL*>(memory));
  if (found == g_acls.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  delete *found;
  g_acls.erase(found);
  return nullptr;
}

DWORD SetNamedSecurityInfoA(LPSTR objectName, SE_OBJECT_TYPE objectType, SECURITY_INFORMATION securityInfo,
                            PSID owner, PSID, PACL dacl, PACL) {
  SecurityCallRecord record{
      objectName ? objectName : "", securityInfo, SidText(static_cast<Sid*>(owner)), {}, ERROR_SUCCESS};
  std::lock_guard<std::mutex> lock(g_mutex);
  if (dacl != nullptr) record.dacl = dacl->entries;
  std::string host = objectName ? ToHostPath(objectName) : std::string();
  struct stat status;
  bool wantsOwner = (securityInfo & OWNER_SECURITY_INFORMATION) != 0;
  bool wantsDacl = (securityInfo & DACL_SECURITY_INFORMATION) != 0;
  if (objectType != SE_FILE_OBJECT || objectName == nullptr || (wantsOwner && owner == nullptr) ||
      (wantsDacl && dacl == nullptr))
    record.result = ERROR_INVALID_PARAMETER;
  else if (stat(host.c_str(), &status) != 0)
    record.result = ERROR_FILE_NOT_FOUND;
  else if (wantsOwner && !HeldAndEnabled(FindPrivilege("SeTakeOwnershipPrivilege")->value))
    record.result = ERROR_ACCESS_DENIED;
  else if (wantsDacl && !wantsOwner && status.st_uid != geteuid() && g_taken.count(host) == 0)
    record.result = ERROR_ACCESS_DENIED;
  else if (wantsOwner)
    g_taken.insert(host);
  g_calls.push_back(record);
  return record.result;
}

std::vector<SecurityCallRecord> TakeSecurityCallsForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(g_calls, {});
}

void SetHeldPrivilegesForTesting(const std::vector<std::string>& names) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Held().clear();
  for (const std::string& name : names)
    if (const KnownPrivilege* privilege = FindPrivilege(name.c_str())) Held()[privilege->value] = false;
}

bool IsPrivilegeEnabledForTesting(const std::string& name) {
  const KnownPrivilege* privilege = FindPrivilege(name.c_str());
  std::lock_guard<std::mutex> lock(g_mutex);
  if (privilege == nullptr) return false;
  auto held = Held().find(privilege->value);
  return held != Held().end() && held->second;
}

}  // namespace plat
