// Tests of the service program's resources: the message table its event source names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "plat/eventlog.h"
#include "service_window.h"
#include "support/temp_dir.h"

namespace {

TEST(ResourcesTest, TheMessageTableDescribesTheProgramsTwoEvents) {
  testsupport::ScopedMachine machine;
  CServiceWindow::RegisterResources();
  TOOLFUNC_service::CEventLogger logger("Velcora", "VELCORA.EXE");
  logger.Report(plat::EVENTLOG_INFORMATION_TYPE, 0, 0x20000004, "%s", "ignored");
  logger.Report(plat::EVENTLOG_INFORMATION_TYPE, 0, 0x20000065, "%s", "abc");
  logger.Report(plat::EVENTLOG_INFORMATION_TYPE, 0, 0x20000066, "%s", "no message");
  std::vector<plat::EventRecord> events = plat::ReadEventLog("Application");
  ASSERT_EQ(3u, events.size());
  EXPECT_EQ("CTI-Service", events[0].description);
  EXPECT_EQ("abc", events[1].description) << "the insertion string, unchanged";
  EXPECT_EQ("no message", events[2].description) << "only the two identifiers are in the table";
}

}  // namespace
