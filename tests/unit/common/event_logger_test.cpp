// Tests of the event source: its registration in the registry, reported events and its removal.
#include <gtest/gtest.h>

#include <string>

#include "ToolFunktion.h"
#include "plat/eventlog.h"
#include "plat/machine.h"
#include "plat/testing/registry.h"
#include "support/registry_value.h"
#include "support/temp_dir.h"

namespace {

using TOOLFUNC_service::CEventLogger;

const char kLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
const char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Velcora";

class EventLoggerTest : public ::testing::Test {
 protected:
  static std::string Value(const char* key, const char* name) {
    return testsupport::RegistryValue(plat::HKEY_LOCAL_MACHINE, key, name);
  }
  static bool KeyExists(const char* key) {
    TOOLFUNC_registry::CRegTool opened;
    return opened.OpenExisting(plat::HKEY_LOCAL_MACHINE, key) == 0;
  }
  static std::string SystemFile(const char* name) {
    return testsupport::WindowsForm(plat::SystemDirectoryHost()) + "\\" + name;
  }

  testsupport::ScopedMachine m_machine;
};

TEST_F(EventLoggerTest, TheConstructorRegistersTheSourceWithTheProgramInTheSystemDirectory) {
  { CEventLogger logger("Velcora", "VELCORA.EXE"); }
  EXPECT_EQ("1", Value(kSourceKey, "CategoryCount"));
  EXPECT_EQ("7", Value(kSourceKey, "TypesSupported"));
  EXPECT_EQ(SystemFile("VELCORA.EXE"), Value(kSourceKey, "EventMessageFile"));
  EXPECT_EQ(SystemFile("VELCORA.EXE"), Value(kSourceKey, "ParameterMessageFile"));
  EXPECT_TRUE(KeyExists(kSourceKey)) << "the registration outlives the object";
}

TEST_F(EventLoggerTest, AKeyThatMayOnlyBeReadStaysAsItWas) {
  { CEventLogger first("Velcora", "OLD.EXE"); }
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, kSourceKey, true);
  { CEventLogger logger("Velcora", "VELCORA.EXE"); }
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, kSourceKey, false);
  EXPECT_EQ(SystemFile("OLD.EXE"), Value(kSourceKey, "EventMessageFile"));
}

TEST_F(EventLoggerTest, NamesThatCannotMakeTheirOwnKeyRegisterAndDeleteNothing) {
  { CEventLogger other("Other", "OTHER.EXE"); }
  for (const std::string& name : {std::string(""), std::string(230, 'n')}) {
    SCOPED_TRACE(name.size());
    CEventLogger logger(name.c_str(), "VELCORA.EXE");
    EXPECT_EQ("<no value>", Value(kLogKey, "EventMessageFile")) << "nothing written into the log's own key";
    logger.Unregister();
    EXPECT_TRUE(KeyExists((std::string(kLogKey) + "\\Other").c_str())) << "the other sources stay";
  }
}

TEST_F(EventLoggerTest, AMessageFilePathThatDoesNotFitRegistersNothing) {
  // "\VELCORA.EXE" takes 12 of the path's 258 characters.
  for (size_t length : {246, 247, 257, 258, 259, 300}) {
    SCOPED_TRACE(length);
    testsupport::ScopedMachine machine(length);
    ASSERT_EQ(length, SystemFile("").size() - 1);
    { CEventLogger logger("Velcora", "VELCORA.EXE"); }
    if (length <= 246) {
      EXPECT_EQ(SystemFile("VELCORA.EXE"), Value(kSourceKey, "EventMessageFile"));
      EXPECT_EQ(SystemFile("VELCORA.EXE"), Value(kSourceKey, "ParameterMessageFile"));
    } else {
      EXPECT_FALSE(KeyExists(kSourceKey)) << "neither a cut path nor the bare name is registered";
    }
  }
}

TEST_F(EventLoggerTest, ReportWritesOneEventWithTheTextAsItsInsertionString) {
  plat::RegisterMessageTable("VELCORA.EXE", {{0x20000065, "%1\r\n"}});
  CEventLogger logger("Velcora", "VELCORA.EXE");
  logger.Report(plat::EVENTLOG_ERROR_TYPE, 2, 0x20000065, "%s", "abc");
  logger.Report(plat::EVENTLOG_INFORMATION_TYPE, 0, 0x20000065, "%s", std::string(1500, 'x').c_str());
  std::vector<plat::EventRecord> events = plat::ReadEventLog("Application");
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("Velcora", events[0].source);
  EXPECT_EQ(1, events[0].type);
  EXPECT_EQ(2, events[0].category);
  EXPECT_EQ(0x20000065u, events[0].eventId);
  EXPECT_EQ(std::vector<std::string>{"abc"}, events[0].strings);
  EXPECT_EQ("abc", events[0].description);
  EXPECT_EQ(1023u, events[1].strings.at(0).size()) << "cut at the buffer";
}

TEST_F(EventLoggerTest, UnregisterDeletesTheSourceWithItsSubkeys) {
  CEventLogger logger("Velcora", "VELCORA.EXE");
  TOOLFUNC_registry::CRegTool key;
  ASSERT_EQ(0, key.Open(plat::HKEY_LOCAL_MACHINE, (std::string(kSourceKey) + "\\Deeper\\Deepest").c_str()));
  key.Close();
  logger.Unregister();
  EXPECT_FALSE(KeyExists(kSourceKey));
  EXPECT_TRUE(KeyExists(kLogKey));
}

}  // namespace
