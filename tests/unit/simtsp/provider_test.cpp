// Tests of what the provider reports on its own: from its worker, reentrant, never after shutdown.
#include "provider.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

constexpr HPROVIDER kHostProvider = 0x009E6540;

// One callback the provider made, with the thread it came from.
struct Report {
  DWORD msg;
  DWORD_PTR param1;
  DWORD_PTR param2;
  LONG reentrantResult;  // what the provider answered the call made from inside the callback
  std::thread::id thread;
};

// The host's side: plain callbacks, as the provider gets them, that record into one journal.
class HostJournal {
 public:
  static HostJournal& Instance() {
    static HostJournal journal;
    return journal;
  }
  void Reset(simtsp::Provider* provider) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_provider = provider;
    m_reports.clear();
  }
  simtsp::Provider* provider() { return m_provider; }
  void Add(const Report& report) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reports.push_back(report);
    m_changed.notify_all();
  }
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_reports.size() >= count; });
  }
  std::vector<Report> Reports() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reports;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  simtsp::Provider* m_provider = nullptr;
  std::vector<Report> m_reports;
};

// Numbers the announced line at once, as a host that calls the provider from inside its callback.
void LineCreateNumberingAtOnce(HTAPILINE, HTAPICALL, DWORD msg, DWORD_PTR param1, DWORD_PTR param2,
                               DWORD_PTR) {
  HostJournal& journal = HostJournal::Instance();
  LONG result = journal.provider()->CreateLineDevice(param2, 4);
  journal.Add({msg, param1, param2, result, std::this_thread::get_id()});
}

void CompletionRecording(DRV_REQUESTID requestId, LONG result) {
  HostJournal::Instance().Add(
      {LINE_REPLY, requestId, static_cast<DWORD_PTR>(result), 0, std::this_thread::get_id()});
}

// Tries to shut the provider down from inside the completion callback.
void CompletionShuttingDown(DRV_REQUESTID requestId, LONG) {
  HostJournal& journal = HostJournal::Instance();
  LONG result = journal.provider()->Shutdown();
  journal.Add({LINE_REPLY, requestId, 0, result, std::this_thread::get_id()});
}

class ProviderReports : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("SIMTSP_CONFIG");
    HostJournal::Instance().Reset(&m_provider);
  }
  void TearDown() override { m_provider.Shutdown(); }

  // Enumerates and starts the provider the way the host does.
  void Start(ASYNC_COMPLETION completion) {
    DWORD lines = 0, phones = 0, options = 0xFFFF;
    ASSERT_EQ(0, m_provider.EnumDevices(&lines, &phones, kHostProvider, LineCreateNumberingAtOnce));
    ASSERT_EQ(0, m_provider.Init(0, completion, &options));
  }

  simtsp::Provider m_provider;
};

TEST_F(ProviderReports, ANewLineIsAnnouncedFromTheWorkerAndNumberedFromInsideTheCallback) {
  Start(CompletionRecording);
  ASSERT_TRUE(m_provider.AnnounceLine({"Lobby", "250"}));
  ASSERT_TRUE(HostJournal::Instance().WaitFor(1));

  Report report = HostJournal::Instance().Reports()[0];
  EXPECT_EQ(19u, report.msg);  // LINE_CREATE
  EXPECT_EQ(0x009E6540u, report.param1);
  EXPECT_NE(0u, report.param2);
  EXPECT_EQ(0, report.reentrantResult);
  EXPECT_NE(std::this_thread::get_id(), report.thread);

  // The line is device 4 now, with what was announced; its temporary id is used up.
  std::vector<DWORD> buffer(1024);
  auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
  caps->dwTotalSize = 4096;
  ASSERT_EQ(0, m_provider.GetDevCaps(4, 0x00030000, 0, caps));
  EXPECT_EQ(u"Lobby", std::u16string(reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(caps) +
                                                                       caps->dwLineNameOffset)));
  auto* addressCaps = reinterpret_cast<LINEADDRESSCAPS*>(buffer.data());
  addressCaps->dwTotalSize = 4096;
  ASSERT_EQ(0, m_provider.GetAddressCaps(4, 0, 0x00030000, 0, addressCaps));
  EXPECT_EQ(4u, addressCaps->dwLineDeviceID);
  EXPECT_EQ(u"250", std::u16string(reinterpret_cast<const char16_t*>(
                        reinterpret_cast<const char*>(addressCaps) + addressCaps->dwAddressOffset)));
  EXPECT_EQ(static_cast<LONG>(0x80000002), m_provider.CreateLineDevice(report.param2, 5));
}

TEST_F(ProviderReports, CompletionsComeFromTheWorker) {
  Start(CompletionRecording);
  ASSERT_TRUE(m_provider.CompleteRequest(7, static_cast<LONG>(0x80000048)));
  ASSERT_TRUE(HostJournal::Instance().WaitFor(1));
  Report report = HostJournal::Instance().Reports()[0];
  EXPECT_EQ(7u, report.param1);
  EXPECT_EQ(static_cast<LONG>(0x80000048), static_cast<LONG>(report.param2));
  EXPECT_NE(std::this_thread::get_id(), report.thread);
}

TEST_F(ProviderReports, NothingIsReportedOnceShutDown) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "slow.conf", "line Line 1 201\ndelay completion 3600000\n");
  setenv("SIMTSP_CONFIG", (dir / "slow.conf").c_str(), 1);
  Start(CompletionRecording);
  ASSERT_TRUE(m_provider.CompleteRequest(9, 0));

  auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(0, m_provider.Shutdown());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));
  // The worker is joined: a completion not made by now is never made.
  EXPECT_TRUE(HostJournal::Instance().Reports().empty());
  EXPECT_FALSE(m_provider.CompleteRequest(10, 0));
  EXPECT_FALSE(m_provider.AnnounceLine({"Late", "299"}));
  EXPECT_TRUE(HostJournal::Instance().Reports().empty());
}

TEST_F(ProviderReports, NothingIsReportedBeforeInit) {
  DWORD lines = 0, phones = 0;
  ASSERT_EQ(0, m_provider.EnumDevices(&lines, &phones, kHostProvider, LineCreateNumberingAtOnce));
  EXPECT_FALSE(m_provider.AnnounceLine({"Early", "200"}));
  EXPECT_FALSE(m_provider.CompleteRequest(1, 0));
}

TEST_F(ProviderReports, AShutdownFromInsideACallbackIsRefusedAndTheWorkerGoesOn) {
  Start(CompletionShuttingDown);
  ASSERT_TRUE(m_provider.CompleteRequest(1, 0));
  ASSERT_TRUE(HostJournal::Instance().WaitFor(1));
  EXPECT_EQ(static_cast<LONG>(0x80000048), HostJournal::Instance().Reports()[0].reentrantResult);
  ASSERT_TRUE(m_provider.CompleteRequest(2, 0));
  EXPECT_TRUE(HostJournal::Instance().WaitFor(2));
}

}  // namespace
