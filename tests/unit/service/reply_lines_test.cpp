// The reply, capability and status lines as a loopback client receives them, from the simulated provider.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "loopback_client.h"
#include "plat/module.h"
#include "plat/path.h"
#include "plat/sync.h"
#include "provider.h"
#include "service_window.h"

namespace {

LONG Err(DWORD code) { return static_cast<LONG>(code); }

// The fake address status entry point fills the buffer through this.
std::function<void(LINEADDRESSSTATUS*)> g_fillAddressStatus;

LONG FakeGetAddressStatus(HDRVLINE, DWORD, LPLINEADDRESSSTATUS status) {
  g_fillAddressStatus(status);
  return 0;
}

// Lays out a forward list in a LINEADDRESSSTATUS: the entries `stride` bytes apart right behind the
// fixed part, their destinations behind the list.
class ForwardList {
 public:
  struct Entry {
    DWORD mode;
    std::string destination;  // bytes as the provider writes them, terminator included
  };

  ForwardList(DWORD stride, std::vector<Entry> entries) : m_stride(stride), m_entries(std::move(entries)) {}

  void WriteInto(LINEADDRESSSTATUS* status) const {
    auto* base = reinterpret_cast<unsigned char*>(status);
    const DWORD listOffset = 64;
    DWORD textOffset = listOffset + static_cast<DWORD>(m_entries.size()) * m_stride;
    status->dwForwardNumEntries = static_cast<DWORD>(m_entries.size());
    status->dwForwardOffset = listOffset;
    for (size_t i = 0; i < m_entries.size(); ++i) {
      LINEFORWARD entry = {};
      entry.dwForwardMode = m_entries[i].mode;
      entry.dwDestAddressSize = static_cast<DWORD>(m_entries[i].destination.size());
      entry.dwDestAddressOffset = textOffset;
      std::memcpy(base + listOffset + i * m_stride, &entry, m_stride);
      std::memcpy(base + textOffset, m_entries[i].destination.data(), m_entries[i].destination.size());
      textOffset += entry.dwDestAddressSize;
    }
    status->dwForwardSize = textOffset - listOffset;
  }

 private:
  DWORD m_stride;
  std::vector<Entry> m_entries;
};

std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += std::string{c, '\0'};
  return bytes + std::string(2, '\0');
}

class ReplyLines : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::InitializeCriticalSection(&CServiceWindow::m_csSend);
    std::string path = plat::ToWindowsPath(std::string(SIMTSP_DIR) + "/SIMTSP.TSP");
    s_provider = plat::LoadLibraryA(path.c_str());
    ASSERT_NE(nullptr, s_provider);
#define TSPI_BIND(name) \
  g_TspiEntryPoints.name = reinterpret_cast<PFN_##name>(plat::GetProcAddress(s_provider, #name));
    TSPI_ENTRY_POINTS(TSPI_BIND)
#undef TSPI_BIND
    s_simulated = g_TspiEntryPoints;
    DWORD lines = 0;
    DWORD phones = 0;
    ASSERT_EQ(0, g_TspiEntryPoints.TSPI_providerEnumDevices(1, &lines, &phones, 0, nullptr, nullptr));
    ASSERT_EQ(4u, lines);
    HDRVLINE handle = 0;
    ASSERT_EQ(0, g_TspiEntryPoints.TSPI_lineOpen(0, 1, &handle, 0x00030000, nullptr));
    s_hdLine = handle;
  }

  static void TearDownTestSuite() {
    g_TspiEntryPoints = s_simulated;
    g_TspiEntryPoints.TSPI_lineClose(s_hdLine);
    g_TspiEntryPoints = {};
    plat::FreeLibrary(s_provider);
  }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(m_client.Connect());
    g_TspiEntryPoints = s_simulated;
    g_dwTSPIVersion = 0x00030000;
    // Line 0 of the simulated phone system as the service knows it once it is open.
    m_line.SetHdLine(s_hdLine);
    m_line.SetClientLine(3);
    m_line.SetAPIVersion(0x00030000);
    std::strcpy(m_line.GetAddress(), "201");
  }

  void TearDown() override {
    EXPECT_TRUE(m_client.Quiet()) << "no line beyond those expected";
    m_client.Close();
    g_fillAddressStatus = nullptr;
  }

  void UseFakeAddressStatus(std::function<void(LINEADDRESSSTATUS*)> fill) {
    g_fillAddressStatus = std::move(fill);
    g_TspiEntryPoints.TSPI_lineGetAddressStatus = FakeGetAddressStatus;
  }

  static plat::HMODULE s_provider;
  static TspiEntryPoints s_simulated;
  static DWORD s_hdLine;
  LoopbackClient m_client;
  CLineObject m_line{0};
};

plat::HMODULE ReplyLines::s_provider = nullptr;
TspiEntryPoints ReplyLines::s_simulated = {};
DWORD ReplyLines::s_hdLine = 0;

using Lines = std::vector<std::string>;

TEST_F(ReplyLines, RepliesWriteTheRequestAndTheResultUnsigned) {
  CServiceWindow::SendLineReply(7, 0);
  CServiceWindow::SendLineReply(4294967295u, Err(LINEERR_INVALPARAM));
  CServiceWindow::SendLineReplyText("0815", -1);
  CServiceWindow::SendLineReplyText("abc %s x", Err(0x80000032));
  EXPECT_EQ((Lines{"LINE_REPLY 7 0", "LINE_REPLY 4294967295 2147483698", "LINE_REPLY 0815 4294967295",
                   "LINE_REPLY abc %s x 2147483698"}),
            m_client.Lines(4));
}

TEST_F(ReplyLines, DevCapsOfTheSimulatedLine) {
  const std::string expected =
      "SetLINEDEVCAPS 12 201 \"CSTA Server\" 3 1 1 1 0 4 0 0 2 0 0 0 0 0 0 0 0 0 32 1 4 1 16780879 0 0 0 0 0 "
      "0 0 0 0 12 0 \"tapi/line\"";
  EXPECT_EQ(0, CServiceWindow::SendDevCaps(&m_line, "12"));
  EXPECT_EQ(Lines{expected}, m_client.Lines(1));
  // The simulated provider knows no extension: the query is made again with extension version 0.
  m_line.SetExtVersion(0x00010000);
  EXPECT_EQ(0, CServiceWindow::SendDevCaps(&m_line, "12"));
  EXPECT_EQ(Lines{expected}, m_client.Lines(1));
}

TEST_F(ReplyLines, AddressCapsOfTheSimulatedLine) {
  const std::string expected =
      "SetLINEADDRESSCAPS 0 201 1 109 1016785 40 40 40 40 40 32639 1 1 16 101 1 1 1 3 3 20512 252119791 3 1 "
      "3 "
      "0 273 3 0 1 10 0 0 0 0 0 0 0 7 0 0 0 0 0 0 0 192 0 1 1 4";
  m_line.SetExtVersion(0x00010000);
  EXPECT_EQ(0, CServiceWindow::SendAddressCaps(&m_line, "0"));
  EXPECT_EQ(Lines{expected}, m_client.Lines(1));
}

TEST_F(ReplyLines, CapabilityErrorsSendNothing) {
  CLineObject unknown(99);
  std::strcpy(unknown.GetAddress(), "299");
  unknown.SetAPIVersion(0x00030000);
  EXPECT_EQ(Err(0x80000002), CServiceWindow::SendDevCaps(&unknown, "5"));
  EXPECT_EQ(Err(0x80000002), CServiceWindow::SendAddressCaps(&unknown, "5"));
  m_line.SetAPIVersion(0x00040000);
  EXPECT_EQ(Err(0x8000000C), CServiceWindow::SendDevCaps(&m_line, "5"));
  EXPECT_EQ(Err(0x8000000C), CServiceWindow::SendAddressCaps(&m_line, "5"));
}

TEST_F(ReplyLines, AddressStatusOfTheSimulatedLine) {
  struct Case {
    DWORD states;
    bool sendEvent;
    Lines expected;
  } cases[] = {
      {0x60, false, {"SetLINEADDRESSSTATUS 3 96 0 0 0 0"}},
      {0x21, true, {"SetLINEADDRESSSTATUS 3 33 7 0 0 0", "LINE_ADDRESSSTATE 3 0 0 33 0"}},
      {0x1, true, {"SetLINEADDRESSSTATUS 3 1 7", "LINE_ADDRESSSTATE 3 0 0 1 0"}},
      {0x40, true, {"SetLINEADDRESSSTATUS 3 64 0", "LINE_ADDRESSSTATE 3 0 0 64 0"}},
      {0, false, {"SetLINEADDRESSSTATUS 3 0"}},
      {0x10004, false, {"SetLINEADDRESSSTATUS 3 65540"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.states);
    EXPECT_EQ(0, CServiceWindow::SendAddressStatus(&m_line, 0, c.states, c.sendEvent));
    EXPECT_EQ(c.expected, m_client.Lines(c.expected.size()));
  }
}

TEST_F(ReplyLines, AddressStatusFailureSendsOnlyTheEventWhenAsked) {
  EXPECT_EQ(Err(0x80000011), CServiceWindow::SendAddressStatus(&m_line, 1, 0x60, false));
  EXPECT_EQ(Err(0x80000011), CServiceWindow::SendAddressStatus(&m_line, 1, 0x21, true));
  m_line.SetHdLine(0x7777);
  EXPECT_EQ(Err(0x8000002B), CServiceWindow::SendAddressStatus(&m_line, 0, 0x40, true));
  g_TspiEntryPoints.TSPI_lineGetAddressStatus = nullptr;
  EXPECT_EQ(Err(0x80000049), CServiceWindow::SendAddressStatus(&m_line, 0, 0x1, true));
  EXPECT_EQ(
      (Lines{"LINE_ADDRESSSTATE 3 0 0 33 0", "LINE_ADDRESSSTATE 3 0 0 64 0", "LINE_ADDRESSSTATE 3 0 0 1 0"}),
      m_client.Lines(3));
}

TEST_F(ReplyLines, LineDevStatusCarriesTheLineFeaturesOrZero) {
  CServiceWindow::SendLineDevStatus(&m_line, 0x41, 0, 0, true);
  CServiceWindow::SendLineDevStatus(&m_line, 0x800, 0x1FFFFFFFFull, 4, false);
  CServiceWindow::SendLineDevStatus(&m_line, 0x800, 2, 0xFFFFFFFF, true);
  m_line.SetHdLine(0x7777);
  CServiceWindow::SendLineDevStatus(&m_line, 0x41, 0, 0, false);
  m_line.SetHdLine(s_hdLine);
  g_TspiEntryPoints.TSPI_lineGetLineDevStatus = nullptr;
  CServiceWindow::SendLineDevStatus(&m_line, 0x41, 5, 6, true);
  EXPECT_EQ((Lines{"SetLINEDEVSTATUS 3 65 12", "LINE_LINEDEVSTATE 3 65 0 0", "SetLINEDEVSTATUS 3 2048 12",
                   "SetLINEDEVSTATUS 3 2048 12", "LINE_LINEDEVSTATE 3 2048 2 4294967295",
                   "SetLINEDEVSTATUS 3 65 0", "SetLINEDEVSTATUS 3 65 0", "LINE_LINEDEVSTATE 3 65 5 6"}),
            m_client.Lines(8));
}

TEST_F(ReplyLines, ForwardEntriesAreReadByTheNegotiatedVersion) {
  struct Case {
    DWORD version;
    DWORD stride;
  } cases[] = {{0x00020002, 24}, {0x00030000, 24}, {0x00030001, 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    g_dwTSPIVersion = c.version;
    ForwardList list(c.stride, {{0, "2001" + std::string(1, '\0')}, {2, Utf16("0301 55")}});
    UseFakeAddressStatus([&list](LINEADDRESSSTATUS* status) { list.WriteInto(status); });
    EXPECT_EQ(0, CServiceWindow::SendAddressStatus(&m_line, 0, 0x40, false));
    EXPECT_EQ(Lines{"SetLINEADDRESSSTATUS 3 64 2 1 \"2001\" 2 \"0301 55\""}, m_client.Lines(1));
    DWORD firstMode = 0;
    std::memcpy(&firstMode, CServiceWindow::m_StructBuffer + 64, sizeof(firstMode));
    EXPECT_EQ(1u, firstMode) << "a mode of 0 is made unconditional in the buffer";
  }
}

TEST_F(ReplyLines, StatusPiecesFollowTheStateBitsInOrder) {
  ForwardList list(24, {{0x10, "2002" + std::string(1, '\0')}});
  UseFakeAddressStatus([&list](LINEADDRESSSTATUS* status) {
    status->dwNumInUse = 1;
    status->dwNumActiveCalls = 2;
    status->dwNumOnHoldCalls = 3;
    status->dwNumOnHoldPendCalls = 4;
    status->dwAddressFeatures = 5;
    list.WriteInto(status);
  });
  struct Case {
    DWORD states;
    std::string expected;
  } cases[] = {
      {0x60, "SetLINEADDRESSSTATUS 3 96 2 3 4 1 16 \"2002\""},
      {0x8, "SetLINEADDRESSSTATUS 3 8 1"},
      {0xFFFFFFFF, "SetLINEADDRESSSTATUS 3 4294967295 5 1 2 3 4 1 16 \"2002\""},
      {0x16, "SetLINEADDRESSSTATUS 3 22"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.states);
    EXPECT_EQ(0, CServiceWindow::SendAddressStatus(&m_line, 0, c.states, false));
    EXPECT_EQ(Lines{c.expected}, m_client.Lines(1));
  }
}

// Offsets, counts and texts from the provider never take the line past the structure buffer, its own
// bounds or its framing.
TEST_F(ReplyLines, ForwardListsBeyondTheBufferOrTheLineAreCut) {
  const std::string prefix = "SetLINEADDRESSSTATUS 3 64";
  struct Case {
    const char* name;
    std::function<void(LINEADDRESSSTATUS*)> fill;
    std::string expected;
  } cases[] = {
      {"list past the buffer",
       [](LINEADDRESSSTATUS* s) {
         s->dwForwardNumEntries = 2;
         s->dwForwardOffset = 20000;
       },
       prefix + " 0"},
      {"only the entries that fit",
       [](LINEADDRESSSTATUS* s) {
         s->dwForwardNumEntries = 1000;
         s->dwForwardOffset = 16384 - 56;  // one whole entry and most of a second
       },
       prefix + " 1 1 \"\""},
      {"destination past the buffer",
       [](LINEADDRESSSTATUS* s) {
         ForwardList(32, {{4, "x"}}).WriteInto(s);
         LINEFORWARD* entry = reinterpret_cast<LINEFORWARD*>(reinterpret_cast<unsigned char*>(s) + 64);
         entry->dwDestAddressOffset = 0xFFFFFFF0;
         entry->dwDestAddressSize = 0x40;
       },
       prefix + " 1 4 \"\""},
      {"line breaks in a destination",
       [](LINEADDRESSSTATUS* s) {
         ForwardList(32, {{1, "20\r\n01" + std::string(1, '\0')}}).WriteInto(s);
       },
       prefix + " 1 1 \"20  01\""},
      {"a piece of 510 characters",
       [](LINEADDRESSSTATUS* s) {
         ForwardList(32, {{1, std::string(600, 'x') + '\0'}}).WriteInto(s);
       },
       prefix + " 1 1 \"" + std::string(506, 'x')},
      {"a line of 1022 characters",
       [](LINEADDRESSSTATUS* s) {
         s->dwForwardNumEntries = 0xFFFFFFFF;
         s->dwForwardOffset = 64;
       },
       (prefix + " 510" +
        [] {
          std::string pieces;
          for (int i = 0; i < 510; ++i) pieces += " 1 \"\"";
          return pieces;
        }())
           .substr(0, 1022)},
  };
  g_dwTSPIVersion = 0x00030001;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseFakeAddressStatus(c.fill);
    EXPECT_EQ(0, CServiceWindow::SendAddressStatus(&m_line, 0, 0x40, false));
    EXPECT_EQ(Lines{c.expected}, m_client.Lines(1));
  }
}

}  // namespace
