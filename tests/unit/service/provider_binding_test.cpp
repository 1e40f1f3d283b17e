// Tests of the building of line objects when no memory is left for one, at start-up and on LINE_CREATE.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "loopback_client.h"
#include "plat/sync.h"
#include "provider.h"
#include "service_window.h"

namespace {

// How many more allocations of a line object's size succeed before one fails; -1: none fails.
int g_lineAllocationsBeforeFailure = -1;

}  // namespace

// Every allocation that may fail without throwing comes here in this program: one of a line object's
// size fails when the test asks for it, the others are served as usual.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (size == sizeof(CLineObject) && g_lineAllocationsBeforeFailure >= 0 &&
      g_lineAllocationsBeforeFailure-- == 0)
    return nullptr;
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

// A provider whose devices are asked for their versions (noted here) and have the address "<id>0".
std::vector<DWORD> g_negotiatedDevices;
LONG FakeNegotiate(DWORD device, DWORD, DWORD high, LPDWORD version) {
  g_negotiatedDevices.push_back(device);
  *version = high;
  return 0;
}
LONG FakeGetDevCaps(DWORD, DWORD, DWORD, LPLINEDEVCAPS) { return static_cast<LONG>(LINEERR_OPERATIONFAILED); }
LONG FakeGetAddressCaps(DWORD device, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS caps) {
  const std::u16string address = std::u16string(1, static_cast<char16_t>(u'0' + device)) + u"0";
  const DWORD size = static_cast<DWORD>((address.size() + 1) * sizeof(char16_t));
  caps->dwUsedSize = caps->dwNeededSize = sizeof(LINEADDRESSCAPS) + size;
  caps->dwAddressOffset = sizeof(LINEADDRESSCAPS);
  caps->dwAddressSize = size;
  std::memcpy(reinterpret_cast<char*>(caps) + caps->dwAddressOffset, address.c_str(), size);
  return 0;
}
LONG FakeCreateLineDevice(DWORD_PTR, DWORD) { return 0; }

class LineBuildingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::InitializeCriticalSection(&CServiceWindow::m_csSend);
    plat::InitializeCriticalSection(&CServiceWindow::m_csTapiCall);
    plat::InitializeCriticalSection(&CServiceWindow::m_csLineList);
  }
  void SetUp() override {
    g_TspiEntryPoints = {};
    g_TspiEntryPoints.TSPI_lineNegotiateTSPIVersion = FakeNegotiate;
    g_TspiEntryPoints.TSPI_lineGetDevCaps = FakeGetDevCaps;
    g_TspiEntryPoints.TSPI_lineGetAddressCaps = FakeGetAddressCaps;
    g_TspiEntryPoints.TSPI_providerCreateLineDevice = FakeCreateLineDevice;
    g_negotiatedDevices.clear();
    g_lineAllocationsBeforeFailure = -1;
    m_root = new CLineObject(0xFFFFFFFF);
    CServiceWindow::m_pLineRoot = m_root;
    m_client.Connect();
  }
  void TearDown() override {
    g_lineAllocationsBeforeFailure = -1;
    m_client.Close();
    CServiceWindow::m_pLineRoot = nullptr;
    delete m_root;
  }
  // The device identifiers of the list's lines, in their order.
  std::vector<DWORD> Devices() const {
    std::vector<DWORD> devices;
    for (CLineObject* line = m_root->GetNext(); line != nullptr; line = line->GetNext())
      devices.push_back(line->GetDeviceID());
    return devices;
  }
  CLineObject* m_root = nullptr;
  LoopbackClient m_client;
};

// The step of the start-up loop: a device without an object is left out, nothing is asked of the
// provider for it, and the next device is built as usual.
TEST_F(LineBuildingTest, ADeviceWhoseObjectCannotBeAllocatedIsSkipped) {
  EXPECT_NE(nullptr, CServiceWindow::CreateInsertLineObject(0));
  g_lineAllocationsBeforeFailure = 0;
  EXPECT_EQ(nullptr, CServiceWindow::CreateInsertLineObject(1));
  CLineObject* next = CServiceWindow::CreateInsertLineObject(2);
  ASSERT_NE(nullptr, next);
  EXPECT_STREQ("20", next->GetAddress());
  EXPECT_EQ((std::vector<DWORD>{0, 2}), Devices());
  EXPECT_EQ((std::vector<DWORD>{0, 2}), g_negotiatedDevices);
}

// A line the provider creates while no memory is left for its object is not announced, and the device
// identifier it was given goes to the next line the provider creates.
TEST_F(LineBuildingTest, ACreatedLineWithoutAnObjectIsNotAnnouncedAndKeepsTheLineCount) {
  g_dwNumLines = 4;
  g_lineAllocationsBeforeFailure = 0;
  CServiceWindow::LineEventFunction2(1, 0, 0, LINE_CREATE, 0, 0x77, 0);
  EXPECT_EQ(4u, g_dwNumLines);
  EXPECT_TRUE(Devices().empty());
  EXPECT_TRUE(m_client.Quiet()) << "no LINE_CREATE line";

  CServiceWindow::LineEventFunction2(2, 0, 0, LINE_CREATE, 0, 0x78, 0);
  EXPECT_EQ(std::vector<std::string>{"LINE_CREATE 40 0 0 0 0"}, m_client.Lines(1));
  EXPECT_EQ(5u, g_dwNumLines);
  EXPECT_EQ(std::vector<DWORD>{4}, Devices());
}

}  // namespace
