// Tests of LogMessage and ConfigureLogging through the real log4cxx, configured from XML files.
#include <gtest/gtest.h>
#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>
#include <log4cxx/ndc.h>

#include <atomic>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ToolFunktion.h"
#include "support/temp_dir.h"

using TOOLFUNC_debug::LogMessage;

namespace {

// An XML configuration whose root logger writes level, context, location and message to `logFile`.
std::string Configuration(const std::string& logFile, const std::string& rootLevel) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<log4j:configuration xmlns:log4j=\"http://jakarta.apache.org/log4j/\">\n"
         "  <appender name=\"file\" class=\"org.apache.log4j.FileAppender\">\n"
         "    <param name=\"File\" value=\"" +
         logFile +
         "\"/>\n"
         "    <param name=\"Append\" value=\"true\"/>\n"
         "    <layout class=\"org.apache.log4j.PatternLayout\">\n"
         "      <param name=\"ConversionPattern\" value=\"%p|%x|%F|%L|%M|%m%n\"/>\n"
         "    </layout>\n"
         "  </appender>\n"
         "  <root>\n"
         "    <priority value=\"" +
         rootLevel +
         "\"/>\n"
         "    <appender-ref ref=\"file\"/>\n"
         "  </root>\n"
         "</log4j:configuration>\n";
}

class LogMessageTest : public ::testing::Test {
 protected:
  void SetUp() override { Configure("all"); }

  void Configure(const std::string& rootLevel) {
    std::string configFile = m_dir / ("log4cxx-" + rootLevel + ".xml");
    testsupport::WriteFile(configFile, Configuration(LogFile(), rootLevel));
    std::strcpy(g_szLogConfigFile, configFile.c_str());
    EXPECT_EQ(0, TOOLFUNC_debug::ConfigureLogging());
    m_seen = 0;
  }

  std::string LogFile() const { return m_dir / "velcora.log"; }

  // The lines written since the last call.
  std::vector<std::string> NewLines() {
    std::string content = testsupport::ReadFile(LogFile());
    std::vector<std::string> lines;
    size_t start = m_seen;
    for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(content.substr(start, end - start));
    m_seen = start;
    return lines;
  }

  testsupport::TempDir m_dir;
  size_t m_seen = 0;
};

TEST_F(LogMessageTest, LevelsMapToLog4cxxLevelsWithTheLocationOfEachLevel) {
  struct Case {
    int32_t level;
    const char* expected;
  } cases[] = {
      {1, "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|message"},
      {0, "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|message"},
      {-1, "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|message"},
      {6, "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|message"},
      {INT32_MAX, "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|message"},
      {2, "WARN|Velcora: |..\\..\\Common\\ToolFunktion|131|LogMessage|message"},
      {3, "INFO|Velcora: |..\\..\\Common\\ToolFunktion|128|LogMessage|message"},
      {4, "DEBUG|Velcora: |..\\..\\Common\\ToolFunktion|125|LogMessage|message"},
      {5, "DEBUG|Velcora: |..\\..\\Common\\ToolFunktion|125|LogMessage|message"},
  };
  for (const Case& c : cases) {
    LogMessage(c.level, "%s", "message");
    EXPECT_EQ(std::vector<std::string>{c.expected}, NewLines()) << "level " << c.level;
  }
}

TEST_F(LogMessageTest, FormatsPrintfArguments) {
  LogMessage(3, "CServiceWindow::StartTcpIp %d %s 0x%08X", 4711, "ok", 0xFE93852Au);
  EXPECT_EQ(std::vector<std::string>{"INFO|Velcora: |..\\..\\Common\\ToolFunktion|128|LogMessage|"
                                     "CServiceWindow::StartTcpIp 4711 ok 0xFE93852A"},
            NewLines());
}

TEST_F(LogMessageTest, KeepsAtMost1022Characters) {
  struct Case {
    size_t length;
    size_t kept;
  } cases[] = {{1021, 1021}, {1022, 1022}, {1023, 1022}, {1100, 1022}, {1500, 1022}};
  for (const Case& c : cases) {
    std::string text(c.length, 'x');
    text[0] = 'a';
    LogMessage(1, "%s", text.c_str());
    std::vector<std::string> lines = NewLines();
    ASSERT_EQ(1u, lines.size());
    std::string prefix = "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|";
    EXPECT_EQ(prefix + text.substr(0, c.kept), lines[0]) << "length " << c.length;
  }
}

TEST_F(LogMessageTest, WarnOnlyConfigurationDropsInfoAndDebug) {
  Configure("warn");
  for (int32_t level : {3, 4, 5}) LogMessage(level, "dropped %d", level);
  EXPECT_TRUE(NewLines().empty());
  LogMessage(2, "invalid parameter");
  LogMessage(1, "error");
  EXPECT_EQ((std::vector<std::string>{
                "WARN|Velcora: |..\\..\\Common\\ToolFunktion|131|LogMessage|invalid parameter",
                "ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|error"}),
            NewLines());
}

TEST_F(LogMessageTest, LeavesTheCallersContextAsItWas) {
  log4cxx::NDC::push("outer");
  LogMessage(3, "inside");
  EXPECT_EQ(1, log4cxx::NDC::getDepth());
  std::string top;
  EXPECT_TRUE(log4cxx::NDC::peek(top));
  EXPECT_EQ("outer", top);
  log4cxx::NDC::pop();
  EXPECT_EQ(
      std::vector<std::string>{"INFO|outer Velcora: |..\\..\\Common\\ToolFunktion|128|LogMessage|inside"},
      NewLines());
}

// An appender that fails the way a full disk or a broken socket appender would.
class ThrowingAppender : public log4cxx::AppenderSkeleton {
 public:
  void append(const log4cxx::spi::LoggingEventPtr&, log4cxx::helpers::Pool&) override {
    throw std::runtime_error("appender failed");
  }
  void close() override {}
  bool requiresLayout() const override { return false; }
};

TEST_F(LogMessageTest, AnAppenderThatThrowsNeitherEndsTheProgramNorUnbalancesTheContext) {
  log4cxx::LoggerPtr velcora = log4cxx::Logger::getLogger("Velcora");
  auto throwing = std::make_shared<ThrowingAppender>();
  velcora->addAppender(throwing);
  log4cxx::NDC::push("outer");
  EXPECT_NO_THROW(LogMessage(1, "lost"));
  EXPECT_EQ(1, log4cxx::NDC::getDepth());
  log4cxx::NDC::pop();
  velcora->removeAppender(throwing);

  NewLines();
  LogMessage(1, "after");
  EXPECT_EQ(std::vector<std::string>{"ERROR|Velcora: |..\\..\\Common\\ToolFunktion|135|LogMessage|after"},
            NewLines());
}

TEST_F(LogMessageTest, ThreadsLogConcurrentlyWithBalancedContexts) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 200;
  std::atomic<int> unbalanced{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &unbalanced] {
      for (int i = 0; i < kCalls; ++i) {
        LogMessage(4, "thread %d call %d", t, i);
        if (log4cxx::NDC::getDepth() != 0) ++unbalanced;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, unbalanced.load());
  std::vector<std::string> lines = NewLines();
  EXPECT_EQ(static_cast<size_t>(kThreads * kCalls), lines.size());
  for (const std::string& line : lines)
    ASSERT_EQ(0u, line.find("DEBUG|Velcora: |..\\..\\Common\\ToolFunktion|125|LogMessage|thread "));
}

TEST_F(LogMessageTest, SetsTheUsersDefaultLocale) {
  LogMessage(3, "locale");
  std::string current = std::setlocale(LC_ALL, nullptr);
  std::string userDefault = std::setlocale(LC_ALL, "");
  EXPECT_EQ(userDefault, current);
}

}  // namespace
