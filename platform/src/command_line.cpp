// Splitting command lines by the Windows rules.
#include "command_line.h"

namespace plat::detail {

std::vector<std::string> SplitWindowsCommandLine(const char* text) {
  std::vector<std::string> fields;
  const char* p = text;
  while (true) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    std::string field;
    bool quoted = false;
    while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
      if (*p == '\\') {
        size_t backslashes = 0;
        while (*p == '\\') ++backslashes, ++p;
        if (*p == '"') {
          field.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            field += '"';
            ++p;
          }
        } else {
          field.append(backslashes, '\\');
        }
      } else if (*p == '"') {
        quoted = !quoted;
        ++p;
      } else {
        field += *p++;
      }
    }
    fields.push_back(field);
  }
  return fields;
}

const char* SkipProgramName(const char* text) {
  const char* p = text;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace plat::detail
