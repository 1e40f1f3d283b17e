// Tests of the system version, user name and computer name area of the platform layer.
#include "plat/testing/system_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

#include "plat/error.h"

namespace {

using namespace plat;

TEST(SystemInfo, TheVersionIsTheNtFamilyUnlessATestSaysOtherwise) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.dwMajorVersion, 5u);
  EXPECT_EQ(info.dwMinorVersion, 1u);

  SetSystemVersionForTesting(SystemVersion{VER_PLATFORM_WIN32_WINDOWS, 4, 10});
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 10u);
  SetSystemVersionForTesting(std::nullopt);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);

  info.dwOSVersionInfoSize = sizeof info - 1;
  SetLastError(0);
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(GetVersionExA(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(SystemInfo, TheHostNamesAreReported) {
  char user[UNLEN + 1];
  DWORD size = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &size));
  EXPECT_EQ(size, std::strlen(user) + 1);
  EXPECT_GT(std::strlen(user), 0u);

  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::string expected(host, std::strcspn(host, "."));
  expected.resize(std::min<size_t>(expected.size(), MAX_COMPUTERNAME_LENGTH));
  for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  char computer[MAX_COMPUTERNAME_LENGTH + 1];
  size = sizeof computer;
  ASSERT_TRUE(GetComputerNameA(computer, &size));
  EXPECT_EQ(computer, expected);
  EXPECT_EQ(size, expected.size());
}

// The two calls count differently and fail with different errors on a short buffer.
TEST(SystemInfo, ShortBuffersGiveTheSizeNeeded) {
  SetUserNameForTesting("operator");
  SetComputerNameForTesting("PBX7");
  struct Case {
    BOOL (*call)(LPSTR, LPDWORD);
    const char* name;
    DWORD lengthOnSuccess;
    DWORD shortError;
  } cases[] = {
      {GetUserNameA, "operator", 9, ERROR_INSUFFICIENT_BUFFER},
      {GetComputerNameA, "PBX7", 4, ERROR_BUFFER_OVERFLOW},
  };
  for (const Case& c : cases) {
    const DWORD needed = static_cast<DWORD>(std::strlen(c.name) + 1);
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD size = needed - 1;
    SetLastError(0);
    EXPECT_FALSE(c.call(buffer, &size)) << c.name;
    EXPECT_EQ(GetLastError(), c.shortError) << c.name;
    EXPECT_EQ(size, needed) << c.name;
    EXPECT_EQ(buffer[0], 'x') << "a short buffer stays untouched";

    size = needed;
    ASSERT_TRUE(c.call(buffer, &size)) << c.name;
    EXPECT_STREQ(buffer, c.name);
    EXPECT_EQ(size, c.lengthOnSuccess) << c.name;

    EXPECT_FALSE(c.call(buffer, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  SetUserNameForTesting(std::nullopt);
  SetComputerNameForTesting(std::nullopt);
}

}  // namespace
