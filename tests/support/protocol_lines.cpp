// Protocol lines in tests: splitting into fields and listing for failure messages.
#include "support/protocol_lines.h"

#include <sstream>

namespace testsupport {

std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  " + line + "\n";
  return text;
}

}  // namespace testsupport
