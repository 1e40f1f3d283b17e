// The recording stand-in program and the wait for what it recorded.
#include "support/recording_program.h"

#include <filesystem>
#include <thread>

#include "support/temp_dir.h"

namespace testsupport {

void WriteRecordingProgram(const std::string& path, const std::string& recordFile) {
  WriteFile(path,
            "#!/bin/sh\n"
            "line=\"$(pwd)|${VELCORA_SHOW_STATE:-}\"\n"
            "for argument in \"$@\"; do line=\"$line|$argument\"; done\n"
            "printf '%s\\n' \"$line\" >> '" +
                recordFile + "'\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::string WaitForRecord(const std::string& path, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string content = ReadFile(path);
    if (!content.empty() && content.back() == '\n') return content;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ReadFile(path);
}

}  // namespace testsupport
