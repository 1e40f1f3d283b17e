// The end-to-end tests' log configuration and the wait for a log line.
#include "support/service_log.h"

#include <thread>

#include "support/temp_dir.h"

namespace testsupport {

void WriteLogConfiguration(const std::string& configFile, const std::string& logFile,
                           const std::string& level) {
  WriteFile(configFile,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<log4j:configuration xmlns:log4j=\"http://jakarta.apache.org/log4j/\">\n"
            "  <appender name=\"file\" class=\"org.apache.log4j.FileAppender\">\n"
            "    <param name=\"File\" value=\"" +
                logFile +
                "\"/>\n"
                "    <layout class=\"org.apache.log4j.PatternLayout\">\n"
                "      <param name=\"ConversionPattern\" value=\"%p %x%m%n\"/>\n"
                "    </layout>\n"
                "  </appender>\n"
                "  <root><priority value=\"" +
                level +
                "\"/><appender-ref ref=\"file\"/></root>\n"
                "</log4j:configuration>\n");
}

bool FileShowsWithin(const std::string& file, const std::string& text, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadFile(file).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace testsupport
