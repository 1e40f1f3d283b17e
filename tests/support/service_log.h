// The log4cxx configuration of the service program in end-to-end tests, and waiting for its log.
#pragma once

#include <chrono>
#include <string>

namespace testsupport {

// Writes a log4cxx XML configuration to `configFile` that sends `level` and above (every level by default)
// to `logFile` as "LEVEL context message" lines.
void WriteLogConfiguration(const std::string& configFile, const std::string& logFile,
                           const std::string& level = "all");

// Whether `file` holds `text` within `timeout`.
bool FileShowsWithin(const std::string& file, const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace testsupport
