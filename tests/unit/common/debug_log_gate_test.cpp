// Tests of the logging gate, in a process of their own: once open, the gate never closes.
#include <gtest/gtest.h>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ToolFunktion.h"
#include "support/temp_dir.h"

namespace {

class CapturingAppender : public log4cxx::AppenderSkeleton {
 public:
  void append(const log4cxx::spi::LoggingEventPtr& event, log4cxx::helpers::Pool&) override {
    messages.push_back(event->getMessage());
  }
  void close() override {}
  bool requiresLayout() const override { return false; }
  std::vector<std::string> messages;
};

// One test, in order: the states of the gate follow each other within the one process.
TEST(LoggingGate, ClosedUntilConfiguredThenOpenEvenWithoutAConfigurationFile) {
  setenv("LC_ALL", "C.UTF-8", 1);
  ASSERT_STREQ("C", std::setlocale(LC_ALL, nullptr));
  auto capture = std::make_shared<CapturingAppender>();
  log4cxx::Logger::getRootLogger()->addAppender(capture);

  for (int level : {-1, 0, 1, 2, 3, 4, 5, 6}) TOOLFUNC_debug::LogMessage(level, "before %d", level);
  EXPECT_TRUE(capture->messages.empty());
  EXPECT_STREQ("C", std::setlocale(LC_ALL, nullptr)) << "a closed gate touches nothing";
  EXPECT_FALSE(g_bLoggingConfigured);

  testsupport::TempDir dir;
  std::string missing = dir / "missing.xml";
  std::strcpy(g_szLogConfigFile, missing.c_str());
  EXPECT_EQ(0, TOOLFUNC_debug::ConfigureLogging());
  EXPECT_TRUE(g_bLoggingConfigured);
  EXPECT_FALSE(std::filesystem::exists(missing));

  // The first call past the gate sets the locale even when its level writes nothing.
  log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getOff());
  TOOLFUNC_debug::LogMessage(5, "hidden %d", 5);
  EXPECT_TRUE(capture->messages.empty());
  EXPECT_STREQ("C.UTF-8", std::setlocale(LC_ALL, nullptr));
  log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getAll());

  TOOLFUNC_debug::LogMessage(3, "after %d", 3);
  EXPECT_EQ(std::vector<std::string>{"after 3"}, capture->messages);

  // A malformed file is configured as far as it goes; the program logs on.
  std::string malformed = dir / "malformed.xml";
  testsupport::WriteFile(malformed, "<log4j:configuration><root><priority");
  std::strcpy(g_szLogConfigFile, malformed.c_str());
  EXPECT_EQ(0, TOOLFUNC_debug::ConfigureLogging());
  EXPECT_NO_THROW(TOOLFUNC_debug::LogMessage(1, "still %s", "alive"));
  log4cxx::Logger::getRootLogger()->removeAppender(capture);
}

}  // namespace
