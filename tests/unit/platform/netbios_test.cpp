// Tests of the NetBIOS adapter list and status.
#include "plat/testing/netbios.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Netbios : public ::testing::Test {
 protected:
  void TearDown() override { plat::SetNetbiosAdaptersForTesting(std::nullopt); }
  plat::BYTE Call(plat::BYTE command, plat::BYTE lana, void* buffer, plat::WORD length) {
    plat::NCB ncb;
    std::memset(&ncb, 0, sizeof(ncb));
    ncb.ncb_command = command;
    ncb.ncb_lana_num = lana;
    ncb.ncb_buffer = static_cast<plat::BYTE*>(buffer);
    ncb.ncb_length = length;
    plat::BYTE code = plat::Netbios(&ncb);
    EXPECT_EQ(code, ncb.ncb_retcode);
    return code;
  }
};

TEST_F(Netbios, ListsTheAdaptersAndGivesTheirAddresses) {
  plat::SetNetbiosAdaptersForTesting(
      std::vector<std::array<plat::BYTE, 6>>{{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {2, 0, 0, 0, 0, 1}});
  plat::LANA_ENUM list = {};
  ASSERT_EQ(plat::NRC_GOODRET, Call(plat::NCBENUM, 0, &list, sizeof(list)));
  ASSERT_EQ(2, list.length);
  EXPECT_EQ(0, list.lana[0]);
  EXPECT_EQ(1, list.lana[1]);
  EXPECT_EQ(plat::NRC_GOODRET, Call(plat::NCBRESET, 1, nullptr, 0));
  plat::ADAPTER_STATUS status;
  std::memset(&status, 0xFF, sizeof(status));
  ASSERT_EQ(plat::NRC_GOODRET, Call(plat::NCBASTAT, 1, &status, sizeof(status)));
  const plat::BYTE expected[6] = {2, 0, 0, 0, 0, 1};
  EXPECT_EQ(0, std::memcmp(expected, status.adapter_address, 6));
  EXPECT_EQ(0, status.counters[0]);
}

TEST_F(Netbios, RefusesUnlistedAdaptersSmallBuffersAndOtherCommands) {
  plat::SetNetbiosAdaptersForTesting(std::vector<std::array<plat::BYTE, 6>>{});
  plat::LANA_ENUM list = {};
  list.length = 9;
  ASSERT_EQ(plat::NRC_GOODRET, Call(plat::NCBENUM, 0, &list, sizeof(list)));
  EXPECT_EQ(0, list.length);
  plat::ADAPTER_STATUS status = {};
  EXPECT_EQ(plat::NRC_BRIDGE, Call(plat::NCBRESET, 0, nullptr, 0));
  EXPECT_EQ(plat::NRC_BRIDGE, Call(plat::NCBASTAT, 0, &status, sizeof(status)));
  plat::SetNetbiosAdaptersForTesting(std::vector<std::array<plat::BYTE, 6>>{{1, 2, 3, 4, 5, 6}});
  EXPECT_EQ(plat::NRC_BUFLEN, Call(plat::NCBASTAT, 0, &status, 6));
  EXPECT_EQ(plat::NRC_BUFLEN, Call(plat::NCBENUM, 0, &list, 1));
  EXPECT_EQ(plat::NRC_ILLCMD, Call(0x7F, 0, &status, sizeof(status)));
}

TEST_F(Netbios, TheMachineListHoldsNoAllZeroAddress) {
  plat::LANA_ENUM list = {};
  ASSERT_EQ(plat::NRC_GOODRET, Call(plat::NCBENUM, 0, &list, sizeof(list)));
  for (int i = 0; i < list.length; ++i) {
    plat::ADAPTER_STATUS status = {};
    ASSERT_EQ(plat::NRC_GOODRET, Call(plat::NCBASTAT, list.lana[i], &status, sizeof(status)));
    const plat::BYTE zero[6] = {};
    EXPECT_NE(0, std::memcmp(zero, status.adapter_address, 6));
  }
}

}  // namespace
