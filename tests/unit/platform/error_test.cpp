// Tests of the per-thread last error and the system texts.
#include "plat/error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

TEST(LastError, BelongsToTheCallingThread) {
  plat::SetLastError(1062);
  plat::DWORD seenByOther = 99;
  std::thread([&] {
    seenByOther = plat::GetLastError();
    plat::SetLastError(5);
  }).join();
  EXPECT_EQ(0u, seenByOther);
  EXPECT_EQ(1062u, plat::GetLastError());
}

TEST(FormatMessage, WritesTheSystemTextWithCrLf) {
  struct Case {
    plat::DWORD code;
    const char* text;
  } cases[] = {
      {2, "The system cannot find the file specified.\r\n"},
      {1060, "The specified service does not exist as an installed service.\r\n"},
      {1062, "The service has not been started.\r\n"},
      {1073, "The specified service already exists.\r\n"},
  };
  for (const Case& c : cases) {
    char buffer[1024] = {};
    plat::DWORD length =
        plat::FormatMessageA(plat::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, c.code, 0, buffer, 1023, nullptr);
    EXPECT_STREQ(c.text, buffer);
    EXPECT_EQ(std::strlen(c.text), length);
  }
}

TEST(FormatMessage, FailsWithoutTouchingTheBuffer) {
  char buffer[8] = "keep";
  EXPECT_EQ(0u, plat::FormatMessageA(plat::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x12345, 0, buffer,
                                     sizeof(buffer), nullptr));
  EXPECT_EQ(317u, plat::GetLastError());
  EXPECT_EQ(0u, plat::FormatMessageA(plat::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, buffer, sizeof(buffer),
                                     nullptr));
  EXPECT_EQ(122u, plat::GetLastError());
  EXPECT_EQ(0u, plat::FormatMessageA(0, nullptr, 2, 0, buffer, sizeof(buffer), nullptr));
  EXPECT_EQ(87u, plat::GetLastError());
  EXPECT_STREQ("keep", buffer);
}

}  // namespace
