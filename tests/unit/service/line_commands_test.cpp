// Tests of the line commands against fake provider entry points: open and close rules, forward list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "loopback_client.h"

namespace {

int g_opens = 0;
LONG g_openResult = 0;
int g_statusQueries = 0;
std::vector<unsigned char> g_forwardList;

LONG FakeOpen(DWORD, HTAPILINE, LPHDRVLINE hdLine, DWORD, LINEEVENT) {
  ++g_opens;
  *hdLine = g_openResult == 0 ? 0x51 : 0;
  return g_openResult;
}
LONG FakeClose(HDRVLINE) { return 0; }
// Required of every provider: the open sends the address capabilities after its reply.
LONG FakeAddressCaps(DWORD, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS) {
  return static_cast<LONG>(LINEERR_OPERATIONFAILED);
}
LONG FakeAddressStatus(HDRVLINE, DWORD, LPLINEADDRESSSTATUS) { return ++g_statusQueries, 0; }
LONG FakeForward(DRV_REQUESTID, HDRVLINE, DWORD, DWORD, LPLINEFORWARDLIST list, DWORD, HTAPICALL, LPHDRVCALL,
                 LPLINECALLPARAMS) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(list);
  g_forwardList.assign(bytes, bytes + 392);
  return 1;
}

plat::DWORD Dword(const std::vector<unsigned char>& bytes, size_t offset) {
  plat::DWORD value = 0;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

class LineCommandsTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    g_TspiEntryPoints.TSPI_lineOpen = FakeOpen;
    g_TspiEntryPoints.TSPI_lineClose = FakeClose;
    g_TspiEntryPoints.TSPI_lineGetAddressCaps = FakeAddressCaps;
    g_TspiEntryPoints.TSPI_lineGetAddressStatus = FakeAddressStatus;
    g_TspiEntryPoints.TSPI_lineForward = FakeForward;
    g_opens = 0;
    g_openResult = 0;
    g_statusQueries = 0;
  }
};

TEST_F(LineCommandsTest, ARefusedOpenLeavesTheLineClosedSoTheNextOpenAsksAgain) {
  g_openResult = static_cast<LONG>(LINEERR_RESOURCEUNAVAIL);
  Run(commands::Open::Handle, {"TSPI_lineOpen", "1", "x", "x", "7", "x", "201"});
  EXPECT_EQ(1, g_opens);
  EXPECT_EQ(0u, m_line->GetHtLine() | m_line->GetClientLine() | m_line->GetHdLine());
  g_openResult = 0;
  Run(commands::Open::Handle, {"TSPI_lineOpen", "2", "x", "x", "7", "x", "201"});
  EXPECT_EQ(2, g_opens);
  EXPECT_EQ(7u, m_line->GetClientLine());
  EXPECT_EQ(0x51u, m_line->GetHdLine());
  EXPECT_NE(0u, m_line->GetHtLine());
  Run(commands::Open::Handle, {"TSPI_lineOpen", "3", "x", "x", "9", "x", "201"});
  EXPECT_EQ(2, g_opens) << "an open line is not opened again";
  EXPECT_EQ(7u, m_line->GetClientLine());
}

// The client line number is read in 64 bits, which stop at their limits, and its low 32 bits are kept.
TEST_F(LineCommandsTest, TheClientLineNumberIsTheLow32BitsOfASaturated64BitRead) {
  struct Case {
    const char* field;
    plat::DWORD line;
  } cases[] = {
      {"7", 7},
      {"-1", 4294967295u},
      {"4294967297", 1},
      {"9223372036854775807", 4294967295u},
      {"9223372036854775808", 4294967295u},
      {"18446744073709551623", 4294967295u},
      {"-9223372036854775808", 0},
      {"-18446744073709551623", 0},
      {"12abc", 12},
      {"abc", 0},
  };
  for (const Case& c : cases) {
    Run(commands::Open::Handle, {"TSPI_lineOpen", "1", "x", "x", c.field, "x", "201"});
    EXPECT_EQ(c.line, m_line->GetClientLine()) << c.field;
    // Closed again, so the next open reads its field.
    m_line->SetHtLine(0);
    m_line->SetHdLine(0);
    m_line->SetClientLine(0);
  }
}

TEST_F(LineCommandsTest, MissingOpenOrCloseEntryPointsChangeNothing) {
  g_TspiEntryPoints.TSPI_lineOpen = nullptr;
  Run(commands::Open::Handle, {"TSPI_lineOpen", "1", "x", "x", "7", "x", "201"});
  EXPECT_EQ(0u, m_line->GetHtLine());
  g_TspiEntryPoints.TSPI_lineOpen = FakeOpen;
  Run(commands::Open::Handle, {"TSPI_lineOpen", "2", "x", "x", "7", "x", "201"});
  ASSERT_EQ(0x51u, m_line->GetHdLine());
  g_TspiEntryPoints.TSPI_lineClose = nullptr;
  Run(commands::Close::Handle, {"TSPI_lineClose", "3", "7"});
  EXPECT_EQ(0x51u, m_line->GetHdLine()) << "the line stays open";
  g_TspiEntryPoints.TSPI_lineClose = FakeClose;
  Run(commands::Close::Handle, {"TSPI_lineClose", "4", "7"});
  EXPECT_EQ(0u, m_line->GetHdLine() | m_line->GetClientLine() | m_line->GetHtLine());
}

TEST_F(LineCommandsTest, AddressStatusOfALineThatIsNotOpenDoesNotAskTheProvider) {
  Run(commands::GetAddressStatus::Handle, {"TSPI_lineGetAddressStatus", "1", "201", "0"});
  EXPECT_EQ(0, g_statusQueries);
  Run(commands::GetAddressStatus::Handle, {"TSPI_lineGetAddressStatus", "1", "", "0"});
  EXPECT_EQ(0, g_statusQueries) << "the empty name is the list's root, no line";
}

TEST_F(LineCommandsTest, TheForwardListCarriesTheFilteredDestinations) {
  Run(commands::Open::Handle, {"TSPI_lineOpen", "1", "x", "x", "7", "x", "201"});
  g_dwTSPIVersion = 0x00030001;
  Run(commands::Forward::Handle, {"TSPI_lineForward", "5", "7", "9", "1", "+1 (2) 34-5", "16", "abc"});
  ASSERT_EQ(392u, g_forwardList.size());
  EXPECT_EQ(392u, Dword(g_forwardList, 0));
  EXPECT_EQ(4u, Dword(g_forwardList, 4)) << "more than 4 entries are taken as 4";
  // Entry 1 at 8: mode 1, destination "+1234-5" (7 characters) in UTF-16 at 136.
  EXPECT_EQ(1u, Dword(g_forwardList, 8));
  EXPECT_EQ(16u, Dword(g_forwardList, 8 + 16));
  EXPECT_EQ(136u, Dword(g_forwardList, 8 + 20));
  EXPECT_EQ(1u, Dword(g_forwardList, 8 + 24));
  EXPECT_EQ(1u, Dword(g_forwardList, 8 + 28));
  EXPECT_EQ(std::u16string(u"+1234-5"),
            std::u16string(reinterpret_cast<const char16_t*>(&g_forwardList[136]), 7));
  // Entry 2 at 40: mode 16, nothing to dial, so no destination.
  EXPECT_EQ(16u, Dword(g_forwardList, 40));
  EXPECT_EQ(0u, Dword(g_forwardList, 40 + 16) | Dword(g_forwardList, 40 + 20));
  EXPECT_EQ(1u, Dword(g_forwardList, 40 + 24));

  g_dwTSPIVersion = 0x00020000;
  Run(commands::Forward::Handle, {"TSPI_lineForward", "6", "7", "2", "1", "201", "2", "202"});
  EXPECT_EQ(2u, Dword(g_forwardList, 4));
  EXPECT_EQ(136u, Dword(g_forwardList, 8 + 20));
  EXPECT_EQ(2u, Dword(g_forwardList, 32)) << "the older layout: 24 bytes an entry";
  EXPECT_EQ(200u, Dword(g_forwardList, 32 + 20));
  EXPECT_EQ(0u, Dword(g_forwardList, 56)) << "entries past the count stay 0";
}

// A missing entry point is answered before an unknown line, with the numeric reply OPERATIONUNAVAIL
// (2147483721); only a known line's command reaches the line lookup's text form.
class LineCommandRepliesTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(m_client.Connect());
  }
  void TearDown() override {
    m_client.Close();
    CommandTest::TearDown();
  }
  LoopbackClient m_client;
};

TEST_F(LineCommandRepliesTest, AMissingEntryPointComesBeforeAnUnknownLine) {
  struct Case {
    void (*handler)(CommandFields);
    std::vector<std::string> words;
    const char* reply;
  } cases[] = {
      {commands::Close::Handle, {"TSPI_lineClose", "6x", "7"}, "LINE_REPLY 6 2147483721"},
      {commands::Open::Handle, {"TSPI_lineOpen", "6x", "x", "x", "7", "x", "999"}, "LINE_REPLY 6 2147483721"},
  };
  for (const Case& c : cases) {
    Run(c.handler, c.words);
    EXPECT_EQ(std::vector<std::string>{c.reply}, m_client.Lines(1)) << c.words[0];
  }
  g_TspiEntryPoints.TSPI_lineClose = FakeClose;
  Run(commands::Close::Handle, {"TSPI_lineClose", "6x", "7"});
  EXPECT_EQ(std::vector<std::string>{"LINE_REPLY 6x 2147483698"}, m_client.Lines(1)) << "an unknown line";
}

}  // namespace
