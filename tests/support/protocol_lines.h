// Protocol lines in tests: the fields of a received line, and received lines shown in a failure message.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The blank-separated fields of `line`, in their order; none for an empty or blank line.
std::vector<std::string> Fields(const std::string& line);

// The lines one to a row, each indented by two blanks and ended with a newline.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace testsupport
