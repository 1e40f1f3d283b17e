// The end-to-end tests' log configuration and the wait for a log line.
#include "support/service_log.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace testsupport {

void WriteLogConfiguration(const std::string& configFile, const std::string& logFile,
                           const std::string& level, LogDelivery delivery) {
  const bool held = delivery == LogDelivery::BufferedAsynchronous;
  WriteFile(configFile,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<log4j:configuration xmlns:log4j=\"http://jakarta.apache.org/log4j/\">\n"
            "  <appender name=\"file\" class=\"org.apache.log4j.FileAppender\">\n"
            "    <param name=\"File\" value=\"" +
                logFile + "\"/>\n" +
                (held ? "    <param name=\"BufferedIO\" value=\"true\"/>\n"
                        "    <param name=\"BufferSize\" value=\"1048576\"/>\n"
                      : "") +
                "    <layout class=\"org.apache.log4j.PatternLayout\">\n"
                "      <param name=\"ConversionPattern\" value=\"%p %x%m%n\"/>\n"
                "    </layout>\n"
                "  </appender>\n" +
                (held ? "  <appender name=\"async\" class=\"org.apache.log4j.AsyncAppender\">\n"
                        "    <appender-ref ref=\"file\"/>\n"
                        "  </appender>\n"
                      : "") +
                "  <root><priority value=\"" + level + "\"/><appender-ref ref=\"" +
                (held ? "async" : "file") +
                "\"/></root>\n"
                "</log4j:configuration>\n");
}

// Reads only what was appended since the last look: a log of many megabytes read whole every few
// milliseconds would take the machine from the service that writes it.
bool FileShowsWithin(const std::string& file, const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string unmatched;  // the tail of what was read, where a match may begin
  std::uintmax_t read = 0;
  for (;;) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size < read) read = 0, unmatched.clear();  // written anew
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(read));
    std::ostringstream added;
    added << in.rdbuf();
    unmatched += added.str();
    read += added.str().size();
    if (unmatched.find(text) != std::string::npos) return true;
    if (unmatched.size() >= text.size()) unmatched.erase(0, unmatched.size() - text.size() + 1);
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace testsupport
