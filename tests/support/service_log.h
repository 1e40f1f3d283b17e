// The log4cxx configuration of the service program in end-to-end tests, and waiting for its log.
#pragma once

#include <chrono>
#include <string>

namespace testsupport {

// How the lines reach the file: each at once, or through an asynchronous appender into a large
// buffer, so that nothing reaches the file before log4cxx is shut down.
enum class LogDelivery { Direct, BufferedAsynchronous };

// Writes a log4cxx XML configuration to `configFile` that sends `level` and above (every level by default)
// to `logFile` as "LEVEL context message" lines.
void WriteLogConfiguration(const std::string& configFile, const std::string& logFile,
                           const std::string& level = "all", LogDelivery delivery = LogDelivery::Direct);

// Whether `file` holds `text` within `timeout`.
bool FileShowsWithin(const std::string& file, const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace testsupport
