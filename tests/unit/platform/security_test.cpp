// Tests of the account model: privileges, SIDs, access lists and file security.
#include "plat/testing/security.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/process.h"
#include "support/temp_dir.h"

namespace {

class Token : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetHeldPrivilegesForTesting({"SeDebugPrivilege"});
    ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_ADJUST_PRIVILEGES, &m_token));
  }
  void TearDown() override {
    plat::CloseHandle(m_token);
    plat::SetHeldPrivilegesForTesting({});
  }
  // Adjusts one privilege; the return value and the last error afterwards.
  std::pair<plat::BOOL, plat::DWORD> Adjust(plat::HANDLE token, const char* name, bool enable) {
    plat::TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    EXPECT_TRUE(plat::LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid));
    privileges.Privileges[0].Attributes = enable ? plat::SE_PRIVILEGE_ENABLED : 0;
    plat::SetLastError(12345);
    plat::BOOL result =
        plat::AdjustTokenPrivileges(token, plat::FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return {result, plat::GetLastError()};
  }
  plat::HANDLE m_token = nullptr;
};

TEST(LookupPrivilegeValue, KnowsTheSystemsNamesIgnoringCase) {
  plat::LUID luid = {};
  ASSERT_TRUE(plat::LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &luid));
  EXPECT_EQ(20u, luid.LowPart);
  EXPECT_EQ(0, luid.HighPart);
  ASSERT_TRUE(plat::LookupPrivilegeValueA(nullptr, "setakeownershipprivilege", &luid));
  EXPECT_EQ(9u, luid.LowPart);
  EXPECT_FALSE(plat::LookupPrivilegeValueA(nullptr, "SeMadeUpPrivilege", &luid));
  EXPECT_EQ(1313u, plat::GetLastError());
}

TEST_F(Token, EnablesAndDisablesAHeldPrivilege) {
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeDebugPrivilege"));
  EXPECT_EQ(std::make_pair(plat::TRUE, 0u), Adjust(m_token, "SeDebugPrivilege", true));
  EXPECT_TRUE(plat::IsPrivilegeEnabledForTesting("SeDebugPrivilege"));
  EXPECT_EQ(std::make_pair(plat::TRUE, 0u), Adjust(m_token, "SeDebugPrivilege", false));
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeDebugPrivilege"));
}

TEST_F(Token, APrivilegeNotHeldSucceedsWithNotAllAssigned) {
  EXPECT_EQ(std::make_pair(plat::TRUE, 1300u), Adjust(m_token, "SeTakeOwnershipPrivilege", true));
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeTakeOwnershipPrivilege"));
}

TEST_F(Token, NeedsTheAdjustRightAndARealToken) {
  plat::HANDLE queryOnly = nullptr;
  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_QUERY, &queryOnly));
  EXPECT_EQ(std::make_pair(plat::FALSE, 5u), Adjust(queryOnly, "SeDebugPrivilege", true));
  plat::CloseHandle(queryOnly);
  EXPECT_FALSE(plat::IsPrivilegeEnabledForTesting("SeDebugPrivilege"));
  EXPECT_EQ(std::make_pair(plat::FALSE, 6u), Adjust(queryOnly, "SeDebugPrivilege", true));
}

TEST(OpenProcessToken, OnlyForTheOwnProcess) {
  plat::HANDLE token = nullptr;
  EXPECT_FALSE(plat::OpenProcessToken(nullptr, plat::TOKEN_QUERY, &token));
  EXPECT_EQ(6u, plat::GetLastError());
}

struct FileSecurity : ::testing::Test {
  void SetUp() override { plat::TakeSecurityCallsForTesting(); }
  void TearDown() override { plat::SetHeldPrivilegesForTesting({}); }
  plat::PACL NewList(plat::PSID sid) {
    plat::EXPLICIT_ACCESS_A entry = {};
    entry.grfAccessPermissions = plat::GENERIC_ALL;
    entry.grfAccessMode = plat::SET_ACCESS;
    entry.Trustee.TrusteeForm = plat::TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = plat::TRUSTEE_IS_GROUP;
    entry.Trustee.ptstrName = static_cast<char*>(sid);
    plat::PACL acl = nullptr;
    EXPECT_EQ(0u, plat::SetEntriesInAclA(1, &entry, nullptr, &acl));
    return acl;
  }
  testsupport::TempDir dir;
};

TEST_F(FileSecurity, SidsReadAsTheirTextForm) {
  plat::PSID admins = nullptr;
  ASSERT_TRUE(
      plat::AllocateAndInitializeSid(&plat::SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
  plat::PACL acl = NewList(admins);
  std::string path = dir / "f.txt";
  testsupport::WriteFile(path, "x");
  std::string name = testsupport::WindowsForm(path);
  EXPECT_EQ(0u, plat::SetNamedSecurityInfoA(name.data(), plat::SE_FILE_OBJECT,
                                            plat::DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr));
  std::vector<plat::SecurityCallRecord> calls = plat::TakeSecurityCallsForTesting();
  ASSERT_EQ(1u, calls.size());
  ASSERT_EQ(1u, calls[0].dacl.size());
  EXPECT_EQ("S-1-5-32-544", calls[0].dacl[0].trustee);
  EXPECT_EQ(nullptr, plat::LocalFree(acl));
  int other = 0;
  EXPECT_EQ(&other, plat::LocalFree(&other)) << "only access lists are ours to free";
  EXPECT_EQ(nullptr, plat::FreeSid(admins));
  plat::PSID none = nullptr;
  EXPECT_FALSE(
      plat::AllocateAndInitializeSid(&plat::SECURITY_NT_AUTHORITY, 9, 0, 0, 0, 0, 0, 0, 0, 0, &none));
  EXPECT_EQ(87u, plat::GetLastError());
}

TEST_F(FileSecurity, OwnershipNeedsTheEnabledPrivilegeAndOpensTheList) {
  if (geteuid() != 0) GTEST_SKIP() << "needs a file of another account that the test may make";
  std::string path = dir / "foreign.txt";
  testsupport::WriteFile(path, "x");
  ASSERT_EQ(0, chown(path.c_str(), 65534, 65534));
  std::string name = testsupport::WindowsForm(path);
  plat::PSID admins = nullptr;
  ASSERT_TRUE(
      plat::AllocateAndInitializeSid(&plat::SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
  plat::PACL acl = NewList(admins);
  auto setList = [&] {
    return plat::SetNamedSecurityInfoA(name.data(), plat::SE_FILE_OBJECT, plat::DACL_SECURITY_INFORMATION,
                                       nullptr, nullptr, acl, nullptr);
  };
  auto setOwner = [&] {
    return plat::SetNamedSecurityInfoA(name.data(), plat::SE_FILE_OBJECT, plat::OWNER_SECURITY_INFORMATION,
                                       admins, nullptr, nullptr, nullptr);
  };
  EXPECT_EQ(5u, setList());
  plat::SetHeldPrivilegesForTesting({"SeTakeOwnershipPrivilege"});
  EXPECT_EQ(5u, setOwner()) << "held but not enabled";
  plat::HANDLE token = nullptr;
  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), plat::TOKEN_ADJUST_PRIVILEGES, &token));
  plat::TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  plat::LookupPrivilegeValueA(nullptr, "SeTakeOwnershipPrivilege", &privileges.Privileges[0].Luid);
  privileges.Privileges[0].Attributes = plat::SE_PRIVILEGE_ENABLED;
  ASSERT_TRUE(plat::AdjustTokenPrivileges(token, plat::FALSE, &privileges, 0, nullptr, nullptr));
  EXPECT_EQ(0u, setOwner());
  EXPECT_EQ(0u, setList());
  std::string missing = testsupport::WindowsForm(dir / "missing.txt");
  EXPECT_EQ(2u, plat::SetNamedSecurityInfoA(missing.data(), plat::SE_FILE_OBJECT,
                                            plat::DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr));
  plat::CloseHandle(token);
  plat::LocalFree(acl);
  plat::FreeSid(admins);
}

}  // namespace
