// Tests of the dispatcher: its command table against the protocol, the field reader, the number rule and
// the CSTA entry that only logs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "command_fixture.h"
#include "loopback_client.h"
#include "service_window.h"
#include "support/protocol_lines.h"
#include "support/service_log.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::string> Read(const std::string& line, int count, size_t width,
                              bool overflowEmpties = false) {
  char fields[12][256];
  size_t widths[12];
  widths[0] = 254;
  for (int i = 1; i < 12; ++i) widths[i] = width;
  CServiceWindow::ReadFields(line.c_str(), fields, widths, count, overflowEmpties);
  return std::vector<std::string>(fields, fields + count);
}

TEST(ReadFields, SplitsCutsAndDropsQuotes) {
  struct Case {
    std::string line;
    int count;
    std::vector<std::string> fields;
  } cases[] = {
      {"WORD 1 two", 3, {"WORD", "1", "two"}},
      {"WORD", 3, {"WORD", "", ""}},
      {"WORD\t 1\v\f2", 3, {"WORD", "1", "2"}},
      {"WORD \"abc\" \"x y\"", 4, {"WORD", "abc", "x", "y"}},  // a quote does not group
      {"WO\"RD 1", 2, {"WO\"RD", "1"}},                        // the word keeps its quotes
      {"WORD 1 2 3 4", 3, {"WORD", "1", "2"}},
      {"WORD " + std::string(40, 'a'), 3, {"WORD", std::string(31, 'a'), std::string(9, 'a')}},
      {std::string(255, 'W') + " 1", 2, {"", ""}},
      {std::string(254, 'W') + " 1", 2, {std::string(254, 'W'), "1"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.fields, Read(c.line, c.count, 31)) << c.line;
}

TEST(ReadFields, ALongTokenInAWideCommandEmptiesItAndTheRest) {
  EXPECT_EQ((std::vector<std::string>{"TSPI_lineMakeCall", "7", "7", "0", "12", ""}),
            Read("TSPI_lineMakeCall 7 7 0 12 " + std::string(70, '2'), 6, 62, true));
  EXPECT_EQ((std::vector<std::string>{"TSPI_lineMakeCall", "", "", "", "", ""}),
            Read("TSPI_lineMakeCall " + std::string(70, '1') + " 7 0 12 200", 6, 62, true));
  EXPECT_EQ(std::string(62, '2'), Read("TSPI_lineMakeCall 7 7 0 12 " + std::string(62, '2'), 6, 62, true)[5]);
}

TEST(ReadNumber, ReadsSignedDecimalClampedTo32Bits) {
  struct Case {
    const char* text;
    plat::LONG value;
  } cases[] = {
      {"42", 42},
      {"-1", -1},
      {"+7", 7},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999", -2147483647 - 1},
      {" 5", 0},  // fields have no blanks; a blank is no digit
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, CServiceWindow::ReadNumber(c.text)) << c.text;
}

TEST(DispatchDataCSTA, LogsItsNameAtTheDebugLevelAndNothingElse) {
  testsupport::TempDir dir;
  testsupport::WriteLogConfiguration(dir / "log4cxx.xml", dir / "velcora.log");
  std::snprintf(g_szLogConfigFile, sizeof(g_szLogConfigFile), "%s", (dir / "log4cxx.xml").c_str());
  ASSERT_EQ(0, TOOLFUNC_debug::ConfigureLogging());
  CServiceWindow::DispatchDataCSTA("TSPI_lineOpen 1 x x 7 x 201");
  EXPECT_EQ("DEBUG Velcora: CServiceWindow::DispatchDataCSTA\n", testsupport::ReadFile(dir / "velcora.log"));
}

// What the provider was asked first while one command line was handled: "<entry point> <what the
// command's last field became>"; empty when it was asked nothing.
std::string g_asked;

LONG Ask(const std::string& what, LONG result = 0) {
  if (g_asked.empty()) g_asked = what;
  return result;
}

constexpr LONG kFailed = static_cast<LONG>(LINEERR_OPERATIONFAILED);

std::string Narrow(LPCWSTR text) {
  std::string narrow;
  for (; text != nullptr && *text != u'\0'; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

std::string Number(DWORD value) { return std::to_string(value); }

// Every entry point a command can reach, each telling what became of its command's last field.
void FakeEveryEntryPoint(TspiEntryPoints& e) {
  e.TSPI_lineGetDevCaps = [](DWORD device, DWORD, DWORD, LPLINEDEVCAPS) {
    return Ask("TSPI_lineGetDevCaps device " + Number(device), kFailed);
  };
  e.TSPI_lineGetAddressCaps = [](DWORD device, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS) {
    return Ask("TSPI_lineGetAddressCaps device " + Number(device), kFailed);
  };
  e.TSPI_lineGetAddressStatus = [](HDRVLINE, DWORD address, LPLINEADDRESSSTATUS) {
    return Ask("TSPI_lineGetAddressStatus address " + Number(address), kFailed);
  };
  // A refused open leaves the line closed for the next case.
  e.TSPI_lineOpen = [](DWORD device, HTAPILINE, LPHDRVLINE, DWORD, LINEEVENT) {
    return Ask("TSPI_lineOpen device " + Number(device), kFailed);
  };
  e.TSPI_lineClose = [](HDRVLINE line) { return Ask("TSPI_lineClose line " + Number(line)); };
  e.TSPI_lineMakeCall = [](DRV_REQUESTID, HDRVLINE, HTAPICALL, LPHDRVCALL, LPCWSTR destination, DWORD,
                           LPLINECALLPARAMS) {
    return Ask("TSPI_lineMakeCall destination " + Narrow(destination));
  };
  e.TSPI_lineDrop = [](DRV_REQUESTID, HDRVCALL call, LPCSTR, DWORD) {
    return Ask("TSPI_lineDrop call " + Number(call));
  };
  e.TSPI_linePickup = [](DRV_REQUESTID, HDRVLINE, DWORD, HTAPICALL, LPHDRVCALL, LPCWSTR, LPCWSTR group) {
    return Ask("TSPI_linePickup group " + Narrow(group));
  };
  e.TSPI_linePrepareAddToConference = [](DRV_REQUESTID, HDRVCALL, HTAPICALL, LPHDRVCALL consultation,
                                         LPLINECALLPARAMS) {
    return Ask("TSPI_linePrepareAddToConference new call " + Number(*consultation));
  };
  e.TSPI_lineAnswer = [](DRV_REQUESTID, HDRVCALL call, LPCSTR, DWORD) {
    return Ask("TSPI_lineAnswer call " + Number(call));
  };
  e.TSPI_lineSetupTransfer = [](DRV_REQUESTID, HDRVCALL, HTAPICALL, LPHDRVCALL consultation,
                                LPLINECALLPARAMS) {
    return Ask("TSPI_lineSetupTransfer new call " + Number(*consultation));
  };
  e.TSPI_lineSetupConference = [](DRV_REQUESTID, HDRVCALL, HDRVLINE, HTAPICALL, LPHDRVCALL, HTAPICALL,
                                  LPHDRVCALL, DWORD parties, LPLINECALLPARAMS) {
    return Ask("TSPI_lineSetupConference parties " + Number(parties));
  };
  e.TSPI_lineAddToConference = [](DRV_REQUESTID, HDRVCALL, HDRVCALL consultation) {
    return Ask("TSPI_lineAddToConference consultation " + Number(consultation));
  };
  e.TSPI_lineDial = [](DRV_REQUESTID, HDRVCALL, LPCWSTR destination, DWORD) {
    return Ask("TSPI_lineDial destination " + Narrow(destination));
  };
  e.TSPI_lineRedirect = [](DRV_REQUESTID, HDRVCALL, LPCWSTR destination, DWORD) {
    return Ask("TSPI_lineRedirect destination " + Narrow(destination));
  };
  e.TSPI_lineRemoveFromConference = [](DRV_REQUESTID, HDRVCALL call) {
    return Ask("TSPI_lineRemoveFromConference call " + Number(call));
  };
  e.TSPI_lineBlindTransfer = [](DRV_REQUESTID, HDRVCALL, LPCWSTR destination, DWORD) {
    return Ask("TSPI_lineBlindTransfer destination " + Narrow(destination));
  };
  e.TSPI_lineSwapHold = [](DRV_REQUESTID, HDRVCALL, HDRVCALL held) {
    return Ask("TSPI_lineSwapHold held " + Number(held));
  };
  e.TSPI_lineHold = [](DRV_REQUESTID, HDRVCALL call) { return Ask("TSPI_lineHold call " + Number(call)); };
  e.TSPI_lineUnhold = [](DRV_REQUESTID, HDRVCALL call) {
    return Ask("TSPI_lineUnhold call " + Number(call));
  };
  e.TSPI_lineCompleteCall = [](DRV_REQUESTID, HDRVCALL, LPDWORD, DWORD, DWORD message) {
    return Ask("TSPI_lineCompleteCall message " + Number(message));
  };
  e.TSPI_lineAccept = [](DRV_REQUESTID, HDRVCALL call, LPCSTR, DWORD) {
    return Ask("TSPI_lineAccept call " + Number(call));
  };
  e.TSPI_lineCompleteTransfer = [](DRV_REQUESTID, HDRVCALL, HDRVCALL, HTAPICALL, LPHDRVCALL, DWORD mode) {
    return Ask("TSPI_lineCompleteTransfer mode " + Number(mode));
  };
  // The fourth entry's destination, from its fixed place behind the entries.
  e.TSPI_lineForward = [](DRV_REQUESTID, HDRVLINE, DWORD, DWORD, LPLINEFORWARDLIST list, DWORD, HTAPICALL,
                          LPHDRVCALL, LPLINECALLPARAMS) {
    char16_t destination[32] = {};
    std::memcpy(destination, reinterpret_cast<const unsigned char*>(list) + 328, 31 * sizeof(char16_t));
    return Ask("TSPI_lineForward destination 4 " + Narrow(destination));
  };
  e.TSPI_lineGenerateDigits = [](HDRVCALL, DWORD, DWORD, LPCWSTR, DWORD duration) {
    return Ask("TSPI_lineGenerateDigits duration " + Number(duration));
  };
}

// Command lines through DispatchData, with an open line "201" (client line 7, provider handle 81) that
// has calls 12 and 13 (provider handles 256 and 512), and a closed line "202" (device 1).
class DispatchTable : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    auto* closed = new CLineObject(1);
    std::strcpy(closed->GetAddress(), "202");
    m_root->AddObject(closed);
    FakeEveryEntryPoint(g_TspiEntryPoints);
    ASSERT_NO_FATAL_FAILURE(m_client.Connect());
  }
  void TearDown() override {
    m_client.Close();
    CommandTest::TearDown();
  }

  // What the provider was asked first for the line, else the first line the client got.
  std::string Outcome(const std::string& line) {
    std::memset(CServiceWindow::CallTable, 0, sizeof(CServiceWindow::CallTable));
    m_line->SetHtLine(4);
    m_line->SetClientLine(7);
    m_line->SetHdLine(0x51);
    CServiceWindow::InsertCall(m_line, 0x100, 12, 0x7000, 0x7000, 1);
    CServiceWindow::InsertCall(m_line, 0x200, 13, 0x7004, 0x7004, 1);
    g_asked.clear();
    CServiceWindow::DispatchData(line.c_str());
    std::vector<std::string> sent = Sent();
    if (!g_asked.empty()) return g_asked;
    return sent.empty() ? "" : sent.front();
  }

 private:
  // Every line sent since the last call: a marker line ends them.
  std::vector<std::string> Sent() {
    CServiceWindow::SendBack("END");
    std::vector<std::string> lines;
    for (std::vector<std::string> next = m_client.Lines(1); !next.empty() && next[0] != "END";
         next = m_client.Lines(1))
      lines.push_back(next[0]);
    return lines;
  }

  LoopbackClient m_client;
};

TEST_F(DispatchTable, EveryCommandReachesItsHandlerWithItsLastFieldAndNoStaleOne) {
  struct Case {
    const char* line;         // the command word, the request 5 and every field the command has
    size_t fields;            // the protocol's count, word and request included
    const char* outcome;      // of the whole line
    const char* withoutLast;  // of the line without its last field, right after the whole line
  } cases[] = {
      {"TSPI_lineGetDevCaps 5 202", 3, "TSPI_lineGetDevCaps device 1", "LINE_REPLY 5 2147483698"},
      {"TSPI_lineGetAddressCaps 5 202", 3, "TSPI_lineGetAddressCaps device 1", "LINE_REPLY 5 2147483698"},
      {"TSPI_lineGetAddressStatus 5 201 3", 4, "TSPI_lineGetAddressStatus address 3",
       "TSPI_lineGetAddressStatus address 0"},
      {"TSPI_lineOpen 5 x x 9 x 202", 7, "TSPI_lineOpen device 1", "LINE_REPLY 5 2147483698"},
      {"TSPI_lineCloseCall 5 7", 3, "LINE_REPLY 5 0", "LINE_REPLY 5 0"},
      {"TSPI_lineClose 5 7", 3, "TSPI_lineClose line 81", "LINE_REPLY 5 2147483698"},
      {"TSPI_lineMakeCall 5 7 0 30 777", 6, "TSPI_lineMakeCall destination 777",
       "TSPI_lineMakeCall destination "},
      {"TSPI_lineDrop 5 13", 3, "TSPI_lineDrop call 512", "LINE_REPLY 5 2147483672"},
      {"TSPI_linePickup 5 7 0 0 40 200 g1", 8, "TSPI_linePickup group g1", "TSPI_linePickup group "},
      {"TSPI_linePrepareAddToConference 5 12 0 44", 5, "TSPI_linePrepareAddToConference new call 44",
       "TSPI_linePrepareAddToConference new call 0"},
      {"TSPI_lineAnswer 5 13", 3, "TSPI_lineAnswer call 512", "LINE_REPLY 5 2147483672"},
      {"TSPI_lineSetupTransfer 5 12 0 45", 5, "TSPI_lineSetupTransfer new call 45",
       "TSPI_lineSetupTransfer new call 0"},
      {"TSPI_lineSetupConference 5 12 0 0 50 0 51 3", 9, "TSPI_lineSetupConference parties 3",
       "TSPI_lineSetupConference parties 0"},
      {"TSPI_lineAddToConference 5 12 13", 4, "TSPI_lineAddToConference consultation 512",
       "LINE_REPLY 5 2147483672"},
      {"TSPI_lineDial 5 12 777", 4, "TSPI_lineDial destination 777", "TSPI_lineDial destination "},
      {"TSPI_lineRedirect 5 12 777", 4, "TSPI_lineRedirect destination 777",
       "TSPI_lineRedirect destination "},
      {"TSPI_lineRemoveFromConference 5 13", 3, "TSPI_lineRemoveFromConference call 512",
       "LINE_REPLY 5 2147483672"},
      {"TSPI_lineBlindTransfer 5 12 777", 4, "TSPI_lineBlindTransfer destination 777",
       "TSPI_lineBlindTransfer destination "},
      {"TSPI_lineSwapHold 5 12 13", 4, "TSPI_lineSwapHold held 512", "LINE_REPLY 5 2147483672"},
      {"TSPI_lineHold 5 13", 3, "TSPI_lineHold call 512", "LINE_REPLY 5 2147483672"},
      {"TSPI_lineUnhold 5 13", 3, "TSPI_lineUnhold call 512", "LINE_REPLY 5 2147483672"},
      {"TSPI_lineCompleteCall 5 12 0 1 9", 6, "TSPI_lineCompleteCall message 9",
       "TSPI_lineCompleteCall message 0"},
      {"TSPI_lineAccept 5 13", 3, "TSPI_lineAccept call 512", "LINE_REPLY 5 2147483672"},
      {"TSPI_lineCompleteTransfer 5 12 13 0 60 1", 7, "TSPI_lineCompleteTransfer mode 1",
       "TSPI_lineCompleteTransfer mode 0"},
      {"TSPI_lineForward 5 7 4 1 201 1 202 1 203 1 777", 12, "TSPI_lineForward destination 4 777",
       "TSPI_lineForward destination 4 "},
      {"TSPI_lineGenerateDigits 5 12 0 2 123 250", 7, "TSPI_lineGenerateDigits duration 250",
       "TSPI_lineGenerateDigits duration 0"},
  };
  for (const Case& c : cases) {
    const std::string line = c.line;
    ASSERT_EQ(c.fields, testsupport::Fields(line).size()) << line;
    EXPECT_EQ(c.outcome, Outcome(line)) << line;
    // The whole line has just filled the last field's place: left out, it must read empty.
    EXPECT_EQ(c.withoutLast, Outcome(line.substr(0, line.rfind(' ')))) << line;
  }
}

// Words are matched as prefixes of the raw line, in the table's order.
TEST_F(DispatchTable, TheLongerOfTwoWordsWithACommonStartIsMatchedFirst) {
  struct Case {
    const char* line;
    const char* outcome;
  } cases[] = {
      {"TSPI_lineCloseCall 5 7", "LINE_REPLY 5 0"},  {"TSPI_lineClose 5 7", "TSPI_lineClose line 81"},
      {"TSPI_lineCloseCallX 5 7", "LINE_REPLY 5 0"}, {"TSPI_lineCloseX 5 7", "TSPI_lineClose line 81"},
      {" TSPI_lineClose 5 7", "LINE_REPLY 5 0"},  // a leading blank makes it no command word
  };
  for (const Case& c : cases) EXPECT_EQ(c.outcome, Outcome(c.line)) << c.line;
}

}  // namespace
