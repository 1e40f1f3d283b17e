// The recording stand-in program and the wait for what it recorded.
#include "support/recording_program.h"

#include <filesystem>

#include "support/eventually.h"
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
  std::string content;
  Eventually(
      [&] {
        content = ReadFile(path);
        return !content.empty() && content.back() == '\n';
      },
      timeout);
  return content;
}

}  // namespace testsupport
