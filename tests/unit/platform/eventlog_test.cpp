// Tests of the event log: sources, reported events in the machine's log and their descriptions.
#include "plat/eventlog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/registry.h"
#include "support/temp_dir.h"

namespace {

const char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Probe";

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::RegisterMessageTable("PROBE.EXE", {{7, "Seven\r\n"}, {8, "%2 before %1, then %3\r\n"}, {9, "%1"}});
  }

  // Registers the source "Probe" with the message file `file`, as a program's event source does.
  static void RegisterProbe(const char* file) {
    plat::HKEY key = nullptr;
    ASSERT_EQ(0, plat::RegCreateKeyExA(plat::HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0,
                                       plat::KEY_ALL_ACCESS, nullptr, &key, nullptr));
    plat::RegSetValueExA(key, "EventMessageFile", 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(file),
                         static_cast<plat::DWORD>(std::string(file).size() + 1));
    plat::RegCloseKey(key);
  }

  static plat::EventRecord ReportOne(plat::DWORD eventId, std::vector<const char*> strings) {
    plat::HANDLE source = plat::RegisterEventSourceA(nullptr, "Probe");
    EXPECT_NE(nullptr, source);
    EXPECT_TRUE(plat::ReportEventA(source, plat::EVENTLOG_WARNING_TYPE, 3, eventId, nullptr,
                                   static_cast<plat::WORD>(strings.size()), 0, strings.data(), nullptr));
    EXPECT_TRUE(plat::DeregisterEventSource(source));
    std::vector<plat::EventRecord> records = plat::ReadEventLog("Application");
    return records.empty() ? plat::EventRecord{} : records.back();
  }

  testsupport::ScopedMachine m_machine;
};

TEST_F(EventLogTest, AnEventIsAppendedWithItsFieldsAndTheDescriptionOfItsMessage) {
  RegisterProbe("C:\\Windows\\system32\\probe.exe");
  struct Case {
    plat::DWORD eventId;
    std::vector<const char*> strings;
    const char* description;
  } const cases[] = {
      {7, {}, "Seven"},
      {8, {"one", "two", "three"}, "two before one, then three"},
      {8, {"only"}, "%2 before only, then %3"},
      {9, {"a %1 stays as it is"}, "a %1 stays as it is"},
      {9, {"tab\there,\r\nline\\end"}, "tab\there,\r\nline\\end"},
      {99, {"no", "such message"}, "no such message"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.eventId);
    plat::EventRecord record = ReportOne(c.eventId, c.strings);
    EXPECT_EQ("Probe", record.source);
    EXPECT_EQ(plat::EVENTLOG_WARNING_TYPE, record.type);
    EXPECT_EQ(3, record.category);
    EXPECT_EQ(c.eventId, record.eventId);
    EXPECT_EQ(std::vector<std::string>(c.strings.begin(), c.strings.end()), record.strings);
    EXPECT_EQ(c.description, record.description);
    EXPECT_EQ(19u, record.time.size()) << record.time;
  }
  EXPECT_EQ(std::size(cases), plat::ReadEventLog("Application").size()) << "one line per event";
}

TEST_F(EventLogTest, WithoutARegistrationTheStringsStandForTheDescription) {
  EXPECT_EQ("Seven?", ReportOne(7, {"Seven?"}).description);
  RegisterProbe("C:\\elsewhere\\OTHER.EXE");
  EXPECT_EQ("a b", ReportOne(7, {"a", "b"}).description) << "another file's table is not this one's";
}

TEST_F(EventLogTest, BadSourcesAndHandlesAreRefused) {
  plat::SetLastError(0);
  EXPECT_EQ(nullptr, plat::RegisterEventSourceA(nullptr, ""));
  EXPECT_EQ(87u, plat::GetLastError());
  EXPECT_EQ(nullptr, plat::RegisterEventSourceA(nullptr, nullptr));
  EXPECT_EQ(nullptr, plat::RegisterEventSourceA("\\\\OTHERHOST", "Probe"));
  EXPECT_EQ(1722u, plat::GetLastError());
  plat::HANDLE local = plat::RegisterEventSourceA(".", "Probe");
  EXPECT_NE(nullptr, local);

  const char* text = "x";
  EXPECT_FALSE(plat::ReportEventA(nullptr, 4, 0, 1, nullptr, 1, 0, &text, nullptr));
  EXPECT_EQ(6u, plat::GetLastError());
  EXPECT_FALSE(plat::ReportEventA(local, 4, 0, 1, nullptr, 1, 0, nullptr, nullptr));
  EXPECT_EQ(87u, plat::GetLastError());
  EXPECT_TRUE(plat::DeregisterEventSource(local));
  EXPECT_FALSE(plat::DeregisterEventSource(local)) << "closed once";
  EXPECT_EQ(6u, plat::GetLastError());
  EXPECT_FALSE(plat::ReportEventA(local, 4, 0, 1, nullptr, 1, 0, &text, nullptr));
  EXPECT_TRUE(plat::ReadEventLog("Application").empty());
}

}  // namespace
