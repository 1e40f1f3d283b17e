// Tests of the built SIMTSP.TSP and its variants, loaded and bound by name the way the host does it.
#include "plat/module.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "plat/path.h"
#include "support/temp_dir.h"
#include "tspi.h"

namespace {

constexpr DWORD kHostLow = 0x00010003;
constexpr DWORD kHostHigh = 0x00030001;
constexpr DWORD kAgreed = 0x00030000;
constexpr DWORD kUnwritten = 0xDEADBEEF;

LONG Err(DWORD code) { return static_cast<LONG>(code); }

std::string ModulePath(const std::string& fileName) {
  return plat::ToWindowsPath(std::string(SIMTSP_DIR) + "/" + fileName);
}

// A caller's structure buffer of exactly `totalSize` bytes, so a write past it is caught.
template <class Structure>
class StructBuffer {
 public:
  explicit StructBuffer(DWORD totalSize) : m_bytes(new unsigned char[totalSize]()) {
    get()->dwTotalSize = totalSize;
  }
  Structure* get() { return reinterpret_cast<Structure*>(m_bytes.get()); }
  Structure* operator->() { return get(); }
  // The UTF-16 text of a variable part, without its terminating NUL, which must be there.
  std::u16string Text(DWORD size, DWORD offset) {
    EXPECT_GE(size, 2u);
    EXPECT_GE(offset, sizeof(Structure));
    EXPECT_LE(offset + size, get()->dwUsedSize);
    const auto* text = reinterpret_cast<const char16_t*>(m_bytes.get() + offset);
    size_t length = size / 2 - 1;
    EXPECT_EQ(u'\0', text[length]);
    return std::u16string(text, length);
  }

 private:
  std::unique_ptr<unsigned char[]> m_bytes;
};

// The entry points of one loaded provider, bound by name.
struct Provider {
  explicit Provider(plat::HMODULE library) : module(library) {}
  template <class Pfn>
  Pfn Bind(const char* name) {
    return reinterpret_cast<Pfn>(plat::GetProcAddress(module, name));
  }
#define SIMTSP_BIND(name) PFN_##name name = Bind<PFN_##name>(#name);
  plat::HMODULE module;
  SIMTSP_BIND(TSPI_lineNegotiateTSPIVersion)
  SIMTSP_BIND(TSPI_lineNegotiateExtVersion)
  SIMTSP_BIND(TSPI_providerEnumDevices)
  SIMTSP_BIND(TSPI_providerInit)
  SIMTSP_BIND(TSPI_providerShutdown)
  SIMTSP_BIND(TSPI_lineGetDevCaps)
  SIMTSP_BIND(TSPI_lineGetAddressCaps)
  SIMTSP_BIND(TSPI_lineOpen)
  SIMTSP_BIND(TSPI_lineClose)
  SIMTSP_BIND(TSPI_lineSetStatusMessages)
  SIMTSP_BIND(TSPI_lineSetDefaultMediaDetection)
  SIMTSP_BIND(TSPI_lineGetLineDevStatus)
  SIMTSP_BIND(TSPI_lineGetAddressStatus)
  SIMTSP_BIND(TSPI_providerCreateLineDevice)
  SIMTSP_BIND(TSPI_lineMakeCall)
  SIMTSP_BIND(TSPI_lineDial)
  SIMTSP_BIND(TSPI_lineGetCallStatus)
  SIMTSP_BIND(TSPI_lineGetCallInfo)
  SIMTSP_BIND(TSPI_lineSetupConference)
  SIMTSP_BIND(TSPI_linePickup)
  SIMTSP_BIND(TSPI_lineForward)
  SIMTSP_BIND(TSPI_lineCompleteTransfer)
  SIMTSP_BIND(TSPI_lineGenerateDigits)
  SIMTSP_BIND(TSPI_lineCloseCall)
#undef SIMTSP_BIND
};

void IgnoreLineEvent(HTAPILINE, HTAPICALL, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
void IgnorePhoneEvent(HTAPIPHONE, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
void IgnoreCompletion(DRV_REQUESTID, LONG) {}

size_t ThreadsOfThisProcess() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)entry;
    ++count;
  }
  return count;
}

class SimtspModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::HMODULE library = plat::LoadLibraryA(ModulePath("SIMTSP.TSP").c_str());
    ASSERT_NE(nullptr, library);
    s_provider = new Provider(library);
  }
  static void TearDownTestSuite() {
    plat::FreeLibrary(s_provider->module);
    delete s_provider;
    s_provider = nullptr;
  }
  void SetUp() override { unsetenv("SIMTSP_CONFIG"); }
  void TearDown() override {
    p().TSPI_providerShutdown(kAgreed, 0);
    unsetenv("SIMTSP_CONFIG");
  }

  Provider& p() { return *s_provider; }

  // The host's start: enumeration, then initialisation; returns the number of lines.
  DWORD Start() {
    DWORD lines = kUnwritten, phones = kUnwritten, options = kUnwritten;
    EXPECT_EQ(
        0, p().TSPI_providerEnumDevices(0, &lines, &phones, 0x009E6540, IgnoreLineEvent, IgnorePhoneEvent));
    EXPECT_EQ(0u, phones);
    EXPECT_EQ(0, p().TSPI_providerInit(kAgreed, 0, 0, 0, lines, phones, IgnoreCompletion, &options));
    EXPECT_EQ(0u, options);
    return lines;
  }

  HDRVLINE OpenLine(DWORD deviceId) {
    HDRVLINE hdLine = kUnwritten;
    EXPECT_EQ(0, p().TSPI_lineOpen(deviceId, 0x100 + deviceId, &hdLine, kAgreed, IgnoreLineEvent));
    EXPECT_NE(0u, hdLine);
    return hdLine;
  }

  static Provider* s_provider;
};

Provider* SimtspModule::s_provider = nullptr;

TEST_F(SimtspModule, NegotiatesTheHighestVersionBothSpeak) {
  Start();
  struct Case {
    DWORD deviceId;
    DWORD low;
    DWORD high;
    LONG result;
    DWORD version;
  } cases[] = {
      {INITIALIZE_NEGOTIATION, kHostLow, kHostHigh, 0, 0x00030000},
      {INITIALIZE_NEGOTIATION, kHostLow, 0x00020002, 0, 0x00020002},
      {0, kHostLow, 0x00030000, 0, 0x00030000},
      {3, 0x00020000, 0x00020001, 0, 0x00020001},
      {INITIALIZE_NEGOTIATION, 0x00010003, 0x00010003, 0, 0x00010003},
      {INITIALIZE_NEGOTIATION, 0x00030001, 0x00040000, Err(LINEERR_INCOMPATIBLEAPIVERSION), 0},
      {INITIALIZE_NEGOTIATION, 0x00010000, 0x00010002, Err(LINEERR_INCOMPATIBLEAPIVERSION), 0},
      {INITIALIZE_NEGOTIATION, 0x00030000, 0x00020000, Err(LINEERR_INCOMPATIBLEAPIVERSION), 0},
      {4, kHostLow, kHostHigh, Err(LINEERR_BADDEVICEID), 0},
  };
  for (const Case& c : cases) {
    DWORD version = kUnwritten;
    EXPECT_EQ(c.result, p().TSPI_lineNegotiateTSPIVersion(c.deviceId, c.low, c.high, &version))
        << std::hex << c.deviceId << " " << c.low << "-" << c.high;
    EXPECT_EQ(c.version, version) << std::hex << c.deviceId << " " << c.low << "-" << c.high;
  }
}

TEST_F(SimtspModule, NegotiatesNoExtension) {
  Start();
  DWORD extVersion = kUnwritten;
  EXPECT_EQ(0, p().TSPI_lineNegotiateExtVersion(0, kAgreed, 0, 0xFFFFFFFF, &extVersion));
  EXPECT_EQ(0u, extVersion);
  extVersion = kUnwritten;
  EXPECT_EQ(Err(LINEERR_BADDEVICEID),
            p().TSPI_lineNegotiateExtVersion(4, kAgreed, 0, 0xFFFFFFFF, &extVersion));
  EXPECT_EQ(0u, extVersion);
}

TEST_F(SimtspModule, ReportsTheFourDefaultLinesWithTheirNamesAndAddresses) {
  ASSERT_EQ(4u, Start());
  const std::u16string names[] = {u"Line 1", u"Line 2", u"Line 3", u"Line 4"};
  const std::u16string addresses[] = {u"201", u"202", u"203", u"204"};
  std::set<DWORD> permanentIds;
  for (DWORD device = 0; device < 4; ++device) {
    StructBuffer<LINEDEVCAPS> caps(16384);
    ASSERT_EQ(0, p().TSPI_lineGetDevCaps(device, kAgreed, 0, caps.get()));
    EXPECT_EQ(names[device], caps.Text(caps->dwLineNameSize, caps->dwLineNameOffset));
    EXPECT_EQ(14u, caps->dwLineNameSize);
    EXPECT_EQ(292u + 14u, caps->dwNeededSize);
    EXPECT_EQ(292u + 14u, caps->dwUsedSize);
    EXPECT_EQ(16384u, caps->dwTotalSize);
    EXPECT_EQ(3u, caps->dwStringFormat);  // STRINGFORMAT_UNICODE
    EXPECT_EQ(1u, caps->dwNumAddresses);
    EXPECT_EQ(0x8u, caps->dwLineFeatures & 0x8);  // LINEFEATURE_MAKECALL
    EXPECT_EQ(0x4u, caps->dwMediaModes);          // LINEMEDIAMODE_INTERACTIVEVOICE
    EXPECT_EQ(0x1u, caps->dwBearerModes);         // LINEBEARERMODE_VOICE
    permanentIds.insert(caps->dwPermanentLineID);

    StructBuffer<LINEADDRESSCAPS> addressCaps(16384);
    ASSERT_EQ(0, p().TSPI_lineGetAddressCaps(device, 0, kAgreed, 0, addressCaps.get()));
    EXPECT_EQ(addresses[device], addressCaps.Text(addressCaps->dwAddressSize, addressCaps->dwAddressOffset));
    EXPECT_EQ(228u + 8u, addressCaps->dwNeededSize);
    EXPECT_EQ(228u + 8u, addressCaps->dwUsedSize);
    EXPECT_EQ(device, addressCaps->dwLineDeviceID);
    EXPECT_EQ(0x84u, addressCaps->dwCallFeatures & 0x84);    // ANSWER, DROP
    EXPECT_EQ(0x2u, addressCaps->dwAddressFeatures & 0x2);   // LINEADDRFEATURE_MAKECALL
    EXPECT_EQ(0x4103u, addressCaps->dwCallStates & 0x4103);  // IDLE, OFFERING, CONNECTED, DISCONNECTED
    EXPECT_NE(0u, addressCaps->dwCallFeatures2);
    EXPECT_NE(0u, addressCaps->dwAddressStates);
  }
  EXPECT_EQ(4u, permanentIds.size());
}

TEST_F(SimtspModule, TakesItsLinesFromTheConfigurationFile) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "lines.conf", "line Front Desk 301\nline \"\" 302\nline B\xC3\xBCro \"\"\n");
  setenv("SIMTSP_CONFIG", (dir / "lines.conf").c_str(), 1);
  ASSERT_EQ(3u, Start());
  struct Case {
    std::u16string name;
    DWORD addressSize;
  } cases[] = {{u"Front Desk", 8}, {u"", 8}, {u"B\u00FCro", 2}};
  for (DWORD device = 0; device < 3; ++device) {
    StructBuffer<LINEDEVCAPS> caps(16384);
    ASSERT_EQ(0, p().TSPI_lineGetDevCaps(device, kAgreed, 0, caps.get()));
    EXPECT_EQ(cases[device].name, caps.Text(caps->dwLineNameSize, caps->dwLineNameOffset));
    StructBuffer<LINEADDRESSCAPS> addressCaps(16384);
    ASSERT_EQ(0, p().TSPI_lineGetAddressCaps(device, 0, kAgreed, 0, addressCaps.get()));
    EXPECT_EQ(cases[device].addressSize, addressCaps->dwAddressSize);
  }
  StructBuffer<LINEDEVCAPS> caps(16384);
  EXPECT_EQ(Err(LINEERR_BADDEVICEID), p().TSPI_lineGetDevCaps(3, kAgreed, 0, caps.get()));
}

TEST_F(SimtspModule, ABadConfigurationFileGivesTheDefaultLines) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "bad.conf", "line Lobby\n");
  setenv("SIMTSP_CONFIG", (dir / "bad.conf").c_str(), 1);
  EXPECT_EQ(4u, Start());
}

TEST_F(SimtspModule, RunsOneWorkerThreadFromInitToShutdown) {
  size_t before = ThreadsOfThisProcess();
  Start();
  EXPECT_EQ(before + 1, ThreadsOfThisProcess());
  EXPECT_EQ(0, p().TSPI_providerShutdown(kAgreed, 0));
  EXPECT_EQ(before, ThreadsOfThisProcess());
  EXPECT_EQ(0, p().TSPI_providerShutdown(kAgreed, 0));
}

TEST_F(SimtspModule, ASecondInitWhileRunningIsRefused) {
  DWORD lines = Start();
  DWORD options = kUnwritten;
  EXPECT_EQ(Err(LINEERR_OPERATIONFAILED),
            p().TSPI_providerInit(kAgreed, 0, 0, 0, lines, 0, IgnoreCompletion, &options));
  EXPECT_EQ(0u, options);
}

TEST_F(SimtspModule, WritesWhatFitsBehindTheFixedPartAndTellsTheNeededSize) {
  Start();
  StructBuffer<LINEDEVCAPS> caps(300);  // the name needs 14 bytes behind the 292
  ASSERT_EQ(0, p().TSPI_lineGetDevCaps(0, kAgreed, 0, caps.get()));
  EXPECT_EQ(300u, caps->dwTotalSize);
  EXPECT_EQ(306u, caps->dwNeededSize);
  EXPECT_EQ(292u, caps->dwUsedSize);
  EXPECT_EQ(0u, caps->dwLineNameSize);
  EXPECT_EQ(0u, caps->dwLineNameOffset);
  EXPECT_EQ(1u, caps->dwNumAddresses);
}

TEST_F(SimtspModule, RefusesABufferBelowTheFixedPart) {
  Start();
  HDRVLINE hdLine = OpenLine(0);
  StructBuffer<LINEDEVCAPS> devCaps(291);
  EXPECT_EQ(Err(LINEERR_STRUCTURETOOSMALL), p().TSPI_lineGetDevCaps(0, kAgreed, 0, devCaps.get()));
  StructBuffer<LINEADDRESSCAPS> addressCaps(227);
  EXPECT_EQ(Err(LINEERR_STRUCTURETOOSMALL), p().TSPI_lineGetAddressCaps(0, 0, kAgreed, 0, addressCaps.get()));
  StructBuffer<LINEDEVSTATUS> devStatus(87);
  EXPECT_EQ(Err(LINEERR_STRUCTURETOOSMALL), p().TSPI_lineGetLineDevStatus(hdLine, devStatus.get()));
  StructBuffer<LINEADDRESSSTATUS> addressStatus(63);
  EXPECT_EQ(Err(LINEERR_STRUCTURETOOSMALL), p().TSPI_lineGetAddressStatus(hdLine, 0, addressStatus.get()));
}

TEST_F(SimtspModule, RefusesCapabilityQueriesItCannotAnswer) {
  Start();
  struct Case {
    DWORD deviceId;
    DWORD addressId;
    DWORD version;
    DWORD extVersion;
    LONG devCaps;
    LONG addressCaps;
  } cases[] = {
      {4, 0, kAgreed, 0, Err(LINEERR_BADDEVICEID), Err(LINEERR_BADDEVICEID)},
      {0, 1, kAgreed, 0, 0, Err(LINEERR_INVALADDRESSID)},
      {0, 0, 0x00010002, 0, Err(LINEERR_INCOMPATIBLEAPIVERSION), Err(LINEERR_INCOMPATIBLEAPIVERSION)},
      {0, 0, 0x00030001, 0, Err(LINEERR_INCOMPATIBLEAPIVERSION), Err(LINEERR_INCOMPATIBLEAPIVERSION)},
      {0, 0, kAgreed, 1, Err(LINEERR_INCOMPATIBLEEXTVERSION), Err(LINEERR_INCOMPATIBLEEXTVERSION)},
  };
  for (const Case& c : cases) {
    StructBuffer<LINEDEVCAPS> devCaps(16384);
    EXPECT_EQ(c.devCaps, p().TSPI_lineGetDevCaps(c.deviceId, c.version, c.extVersion, devCaps.get()))
        << c.deviceId << " " << c.addressId << " " << std::hex << c.version << " " << c.extVersion;
    StructBuffer<LINEADDRESSCAPS> addressCaps(16384);
    EXPECT_EQ(c.addressCaps, p().TSPI_lineGetAddressCaps(c.deviceId, c.addressId, c.version, c.extVersion,
                                                         addressCaps.get()))
        << c.deviceId << " " << c.addressId << " " << std::hex << c.version << " " << c.extVersion;
  }
}

TEST_F(SimtspModule, OpensEachLineOnceWithHandlesThatAreNeverZeroNorReused) {
  Start();
  std::vector<HDRVLINE> byDevice;
  for (DWORD device = 0; device < 4; ++device) byDevice.push_back(OpenLine(device));
  std::set<HDRVLINE> handles(byDevice.begin(), byDevice.end());
  EXPECT_EQ(4u, handles.size());
  EXPECT_EQ(0u, handles.count(0));

  HDRVLINE again = kUnwritten;
  EXPECT_EQ(Err(LINEERR_RESOURCEUNAVAIL), p().TSPI_lineOpen(0, 0x200, &again, kAgreed, IgnoreLineEvent));
  EXPECT_EQ(0u, again);
  again = kUnwritten;
  EXPECT_EQ(Err(LINEERR_BADDEVICEID), p().TSPI_lineOpen(4, 0x204, &again, kAgreed, IgnoreLineEvent));
  EXPECT_EQ(0u, again);

  EXPECT_EQ(0, p().TSPI_lineClose(byDevice[0]));
  EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineClose(byDevice[0]));
  EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineClose(0));
  // The closed line opens again, under a handle not seen before.
  HDRVLINE reopened = OpenLine(0);
  EXPECT_EQ(0u, handles.count(reopened));
}

TEST_F(SimtspModule, ShutdownClosesEveryLine) {
  Start();
  HDRVLINE before = OpenLine(2);
  EXPECT_EQ(0, p().TSPI_providerShutdown(kAgreed, 0));
  Start();
  EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineClose(before));
  OpenLine(2);
}

TEST_F(SimtspModule, KeepsWhatTheHostSetsUpOnAnOpenLine) {
  Start();
  HDRVLINE hdLine = OpenLine(1);
  EXPECT_EQ(0, p().TSPI_lineSetStatusMessages(hdLine, 0x01FFFFFF, 0x000001FF));
  EXPECT_EQ(0, p().TSPI_lineSetDefaultMediaDetection(hdLine, 0x4));
  EXPECT_EQ(Err(LINEERR_INVALMEDIAMODE), p().TSPI_lineSetDefaultMediaDetection(hdLine, 0x10));

  StructBuffer<LINEDEVSTATUS> devStatus(16384);
  ASSERT_EQ(0, p().TSPI_lineGetLineDevStatus(hdLine, devStatus.get()));
  EXPECT_EQ(88u, devStatus->dwNeededSize);
  EXPECT_EQ(88u, devStatus->dwUsedSize);
  EXPECT_EQ(1u, devStatus->dwNumOpens);
  EXPECT_EQ(0x4u, devStatus->dwOpenMediaModes);
  EXPECT_EQ(0x5u, devStatus->dwDevStatusFlags);  // CONNECTED, INSERVICE

  StructBuffer<LINEADDRESSSTATUS> addressStatus(16384);
  ASSERT_EQ(0, p().TSPI_lineGetAddressStatus(hdLine, 0, addressStatus.get()));
  EXPECT_EQ(64u, addressStatus->dwNeededSize);
  EXPECT_EQ(64u, addressStatus->dwUsedSize);
  EXPECT_EQ(0u, addressStatus->dwNumActiveCalls);
  EXPECT_EQ(0x2u, addressStatus->dwAddressFeatures & 0x2);  // LINEADDRFEATURE_MAKECALL
  EXPECT_EQ(Err(LINEERR_INVALADDRESSID), p().TSPI_lineGetAddressStatus(hdLine, 1, addressStatus.get()));
}

TEST_F(SimtspModule, RefusesLineHandlesItDidNotGive) {
  Start();
  HDRVLINE closed = OpenLine(0);
  ASSERT_EQ(0, p().TSPI_lineClose(closed));
  for (HDRVLINE hdLine : {HDRVLINE{0}, HDRVLINE{1}, closed, HDRVLINE{0xFFFFFFFF}}) {
    StructBuffer<LINEDEVSTATUS> devStatus(16384);
    StructBuffer<LINEADDRESSSTATUS> addressStatus(16384);
    EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineSetStatusMessages(hdLine, 1, 1)) << hdLine;
    EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineSetDefaultMediaDetection(hdLine, 4)) << hdLine;
    EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineGetLineDevStatus(hdLine, devStatus.get())) << hdLine;
    EXPECT_EQ(Err(LINEERR_INVALLINEHANDLE), p().TSPI_lineGetAddressStatus(hdLine, 0, addressStatus.get()))
        << hdLine;
  }
}

TEST_F(SimtspModule, CreatesNoLineForAnUnknownTemporaryId) {
  Start();
  EXPECT_EQ(Err(LINEERR_BADDEVICEID), p().TSPI_providerCreateLineDevice(1, 4));
  StructBuffer<LINEDEVCAPS> caps(16384);
  EXPECT_EQ(Err(LINEERR_BADDEVICEID), p().TSPI_lineGetDevCaps(4, kAgreed, 0, caps.get()));
}

// Each argument of the call entry points reaches the provider in its place: the refusals and the
// handles written show which argument went where.
TEST_F(SimtspModule, TheCallEntryPointsPassTheirArgumentsInPlace) {
  Start();
  HDRVLINE first = OpenLine(0);
  HDRVLINE second = OpenLine(1);
  HDRVCALL call = kUnwritten;
  EXPECT_EQ(1, p().TSPI_lineMakeCall(1, first, 0x501, &call, u"5550100", 0, nullptr));
  EXPECT_NE(0u, call);
  StructBuffer<LINECALLINFO> info(4096);
  ASSERT_EQ(0, p().TSPI_lineGetCallInfo(call, info.get()));
  EXPECT_EQ(u"5550100", info.Text(info->dwCalledIDSize, info->dwCalledIDOffset));
  StructBuffer<LINECALLSTATUS> status(56);
  ASSERT_EQ(0, p().TSPI_lineGetCallStatus(call, status.get()));
  EXPECT_EQ(0x4u, status->dwCallPrivilege);  // OWNER

  HDRVCALL conference = kUnwritten, consultation = kUnwritten;
  EXPECT_EQ(2,
            p().TSPI_lineSetupConference(2, 0, second, 0x601, &conference, 0x602, &consultation, 3, nullptr));
  EXPECT_NE(0u, conference);
  EXPECT_NE(0u, consultation);
  EXPECT_NE(conference, consultation);
  EXPECT_EQ(Err(0x80000007),  // CONFERENCEFULL: the number of parties
            p().TSPI_lineSetupConference(3, 0, second, 0x603, &conference, 0x604, &consultation, 4, nullptr));

  HDRVCALL picked = kUnwritten;
  EXPECT_EQ(Err(LINEERR_INVALADDRESSID), p().TSPI_linePickup(4, second, 1, 0x701, &picked, u"201", u""));
  EXPECT_EQ(0u, picked);
  HDRVCALL forwardConsultation = kUnwritten;
  EXPECT_EQ(Err(LINEERR_INVALADDRESSID),
            p().TSPI_lineForward(5, first, 0, 1, nullptr, 3, 0x801, &forwardConsultation, nullptr));
  EXPECT_EQ(6, p().TSPI_lineForward(6, first, 1, 1, nullptr, 3, 0x801, &forwardConsultation, nullptr));
  EXPECT_EQ(0u, forwardConsultation);

  HDRVCALL transferConference = kUnwritten;
  EXPECT_EQ(Err(LINEERR_INVALCONSULTCALLHANDLE),
            p().TSPI_lineCompleteTransfer(7, call, call, 0x901, &transferConference, 2));
  EXPECT_EQ(Err(LINEERR_INVALDIGITMODE), p().TSPI_lineGenerateDigits(call, 1, 0x1, u"1", 0));
  EXPECT_EQ(Err(LINEERR_INVALCALLHANDLE), p().TSPI_lineDial(8, 0x1234, u"1", 0));
  EXPECT_EQ(0, p().TSPI_lineCloseCall(call));
  EXPECT_EQ(Err(LINEERR_INVALCALLHANDLE), p().TSPI_lineCloseCall(call));
}

// ---- The variants

#define SIMTSP_NAME_OF(name) #name,
const char* const kEntryPoints[] = {TSPI_ENTRY_POINTS(SIMTSP_NAME_OF)};
#undef SIMTSP_NAME_OF

const std::set<std::string> kRequired = {
    "TSPI_lineNegotiateTSPIVersion", "TSPI_providerEnumDevices", "TSPI_providerInit",
    "TSPI_providerShutdown",         "TSPI_lineGetDevCaps",      "TSPI_lineGetAddressCaps"};

std::set<std::string> FullSetWithout(const char* missing) {
  std::set<std::string> names = kRequired;
  names.insert({"TSPI_lineNegotiateExtVersion", "TSPI_lineOpen", "TSPI_lineClose",
                "TSPI_lineSetStatusMessages", "TSPI_lineSetDefaultMediaDetection",
                "TSPI_lineGetLineDevStatus", "TSPI_lineGetAddressStatus", "TSPI_providerCreateLineDevice"});
  names.insert({"TSPI_lineMakeCall",
                "TSPI_lineDial",
                "TSPI_lineAccept",
                "TSPI_lineAnswer",
                "TSPI_lineDrop",
                "TSPI_lineHold",
                "TSPI_lineUnhold",
                "TSPI_lineSwapHold",
                "TSPI_lineRedirect",
                "TSPI_lineBlindTransfer",
                "TSPI_lineSetupTransfer",
                "TSPI_lineCompleteTransfer",
                "TSPI_lineSetupConference",
                "TSPI_linePrepareAddToConference",
                "TSPI_lineAddToConference",
                "TSPI_lineRemoveFromConference",
                "TSPI_linePickup",
                "TSPI_lineCompleteCall",
                "TSPI_lineGenerateDigits",
                "TSPI_lineGetCallStatus",
                "TSPI_lineGetCallInfo",
                "TSPI_lineCloseCall",
                "TSPI_lineForward"});
  if (missing != nullptr) names.erase(missing);
  return names;
}

TEST(SimtspVariants, ExportExactlyTheirEntryPoints) {
  struct Case {
    const char* file;
    std::set<std::string> exported;
  } cases[] = {
      {"SIMTSP.TSP", FullSetWithout(nullptr)},
      {"SIMTSP_REQUIRED.TSP", kRequired},
      {"SIMTSP_NOSHUTDOWN.TSP", FullSetWithout("TSPI_providerShutdown")},
      {"SIMTSP_FAULTSHUTDOWN.TSP", FullSetWithout(nullptr)},
      {"SIMTSP_FAULTENUM.TSP", FullSetWithout(nullptr)},
  };
  for (const Case& c : cases) {
    plat::HMODULE library = plat::LoadLibraryA(ModulePath(c.file).c_str());
    ASSERT_NE(nullptr, library) << c.file;
    std::set<std::string> found;
    for (const char* name : kEntryPoints) {
      if (plat::GetProcAddress(library, name) != nullptr) found.insert(name);
    }
    EXPECT_EQ(c.exported, found) << c.file;
    EXPECT_TRUE(plat::FreeLibrary(library)) << c.file;
  }
}

// In a child process of its own: the fault must really happen, and must not take this process along.
TEST(SimtspVariantsDeathTest, TheFaultingShutdownFaults) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        plat::HMODULE library = plat::LoadLibraryA(ModulePath("SIMTSP_FAULTSHUTDOWN.TSP").c_str());
        Provider(library).TSPI_providerShutdown(kAgreed, 0);
      },
      "");
}

// The host's start and stop with no more than the required entry points.
TEST(SimtspVariants, TheRequiredOnlyVariantStartsAndStops) {
  unsetenv("SIMTSP_CONFIG");
  plat::HMODULE library = plat::LoadLibraryA(ModulePath("SIMTSP_REQUIRED.TSP").c_str());
  ASSERT_NE(nullptr, library);
  Provider provider(library);
  DWORD version = 0, lines = 0, phones = 0, options = kUnwritten;
  EXPECT_EQ(0, provider.TSPI_lineNegotiateTSPIVersion(INITIALIZE_NEGOTIATION, kHostLow, kHostHigh, &version));
  EXPECT_EQ(kAgreed, version);
  EXPECT_EQ(0, provider.TSPI_providerEnumDevices(0, &lines, &phones, 0x009E6540, IgnoreLineEvent,
                                                 IgnorePhoneEvent));
  EXPECT_EQ(4u, lines);
  EXPECT_EQ(0, provider.TSPI_providerInit(version, 0, 0, 0, lines, phones, IgnoreCompletion, &options));
  for (DWORD device = 0; device < lines; ++device) {
    DWORD lineVersion = 0;
    EXPECT_EQ(0, provider.TSPI_lineNegotiateTSPIVersion(device, kHostLow, version, &lineVersion));
    StructBuffer<LINEDEVCAPS> caps(16384);
    EXPECT_EQ(0, provider.TSPI_lineGetDevCaps(device, lineVersion, 0, caps.get()));
    StructBuffer<LINEADDRESSCAPS> addressCaps(16384);
    EXPECT_EQ(0, provider.TSPI_lineGetAddressCaps(device, 0, lineVersion, 0, addressCaps.get()));
  }
  EXPECT_EQ(0, provider.TSPI_providerShutdown(version, 0));
  EXPECT_TRUE(plat::FreeLibrary(library));
}

}  // namespace
