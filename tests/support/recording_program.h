// An executable stand-in that records how it was started, for tests of programs that start others.
#pragma once

#include <chrono>
#include <string>

namespace testsupport {

// Writes an executable script to `path` that appends one line "cwd|show state|arg1|arg2|..." to
// `recordFile` each time it runs.
void WriteRecordingProgram(const std::string& path, const std::string& recordFile);

// Waits until `path` holds at least one complete line, at most `timeout`; returns its content.
std::string WaitForRecord(const std::string& path,
                          std::chrono::milliseconds timeout = std::chrono::milliseconds(30000));

}  // namespace testsupport
