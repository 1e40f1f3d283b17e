// Access tokens, privileges and file security as a model of an account that holds only what a test gives it.
#pragma once

#include "plat/types.h"

namespace plat {

constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
};

// A token handle of the own account for `process` (the own process only). FALSE with
// ERROR_INVALID_HANDLE for any other process, ERROR_INVALID_PARAMETER without result.
BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);

// The identifier of a privilege name (compared ignoring case) on the local system (`systemName` null).
// FALSE with ERROR_NO_SUCH_PRIVILEGE for a name the system does not know.
BOOL LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, LUID* luid);

// Enables or disables each listed privilege the account holds. TRUE also when some are not held; the
// last error is then ERROR_NOT_ALL_ASSIGNED, else ERROR_SUCCESS. FALSE with ERROR_ACCESS_DENIED for a
// token opened without TOKEN_ADJUST_PRIVILEGES, ERROR_INVALID_HANDLE for a handle that is no token.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState, DWORD bufferLength,
                           TOKEN_PRIVILEGES* previousState, DWORD* returnLength);

// ---- Security identifiers, access lists and file security

using PSID = void*;
struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};
constexpr SID_IDENTIFIER_AUTHORITY SECURITY_WORLD_SID_AUTHORITY = {{0, 0, 0, 0, 0, 1}};
constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
constexpr DWORD SECURITY_WORLD_RID = 0;
constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;

constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD NO_INHERITANCE = 0;
enum ACCESS_MODE { NOT_USED_ACCESS, GRANT_ACCESS, SET_ACCESS, DENY_ACCESS, REVOKE_ACCESS };
enum TRUSTEE_FORM { TRUSTEE_IS_SID, TRUSTEE_IS_NAME };
enum TRUSTEE_TYPE {
  TRUSTEE_IS_UNKNOWN,
  TRUSTEE_IS_USER,
  TRUSTEE_IS_GROUP,
  TRUSTEE_IS_DOMAIN,
  TRUSTEE_IS_ALIAS,
  TRUSTEE_IS_WELL_KNOWN_GROUP
};
enum MULTIPLE_TRUSTEE_OPERATION { NO_MULTIPLE_TRUSTEE };
struct TRUSTEE_A {
  TRUSTEE_A* pMultipleTrustee;
  MULTIPLE_TRUSTEE_OPERATION MultipleTrusteeOperation;
  TRUSTEE_FORM TrusteeForm;
  TRUSTEE_TYPE TrusteeType;
  LPSTR ptstrName;
};
struct EXPLICIT_ACCESS_A {
  DWORD grfAccessPermissions;
  ACCESS_MODE grfAccessMode;
  DWORD grfInheritance;
  TRUSTEE_A Trustee;
};
struct ACL;
using PACL = ACL*;

enum SE_OBJECT_TYPE { SE_UNKNOWN_OBJECT_TYPE, SE_FILE_OBJECT };
using SECURITY_INFORMATION = DWORD;
constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x00000001;
constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x00000004;

// A SID of up to eight sub-authorities, freed with FreeSid. FALSE with ERROR_INVALID_PARAMETER for
// none or more than eight.
BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount, DWORD sub0,
                              DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6,
                              DWORD sub7, PSID* sid);
// Returns null.
PSID FreeSid(PSID sid);

// A new access list of the entries (trustees given as SIDs) after those of `oldAcl`, freed with
// LocalFree. ERROR_SUCCESS, or ERROR_INVALID_PARAMETER for a trustee that is no SID.
DWORD SetEntriesInAclA(ULONG count, EXPLICIT_ACCESS_A* entries, PACL oldAcl, PACL* newAcl);

// Frees what SetEntriesInAclA made and returns null; anything else is returned as it came, with
// ERROR_INVALID_HANDLE.
void* LocalFree(void* memory);

// Records the owner and/or access list for the file as the account may. The account may set the
// access list of a file its uid owns or whose ownership it took here; it may take ownership only with
// SeTakeOwnershipPrivilege enabled. The host file's modes and owner stay as they are. ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND for a missing file, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER for another
// object type or no SID or list for what is to be set.
DWORD SetNamedSecurityInfoA(LPSTR objectName, SE_OBJECT_TYPE objectType, SECURITY_INFORMATION securityInfo,
                            PSID owner, PSID group, PACL dacl, PACL sacl);

}  // namespace plat
