// Reading the configuration file of the simulated phone system, named by SIMTSP_CONFIG.
//
// One statement per line; blank lines and lines whose first non-blank character is '#' are skipped.
// Fields are separated by blanks or tabs; a field in double quotes may hold blanks or be empty ("").
//
//   line <name> <address>   a line device with its one address. The last field is the address, the
//                           fields before it, joined by one blank, are the name:
//                             line Line 1 201        "Line 1" with the address "201"
//                             line "" 205            no name, the address "205"
//   delay <step> <ms>       how long the phone system waits before <step>, one of completion,
//                           dialtone, dialing, proceeding, ringback, connected; 0 to 3600000 ms
//
// The lines of a file replace the four default lines, in the order given, so a file without a `line`
// statement describes a phone system without lines. Steps not named keep their default delays. Any
// fault (an unknown statement, a line without address, a delay that is no number in range, an
// unclosed quote) rejects the whole file: a half-read file would simulate a system nobody asked for.
#include "config.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

namespace simtsp {
namespace {

struct DelayStep {
  const char* name;
  std::chrono::milliseconds Delays::*delay;
};

constexpr DelayStep kDelaySteps[] = {
    {"completion", &Delays::completion}, {"dialtone", &Delays::dialtone}, {"dialing", &Delays::dialing},
    {"proceeding", &Delays::proceeding}, {"ringback", &Delays::ringback}, {"connected", &Delays::connected},
};

constexpr unsigned long kLongestDelayMs = 3600000;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Applies one statement to `config`; an empty result means it was understood.
std::string ApplyStatement(const std::vector<std::string>& fields, Config& config) {
  const std::string& keyword = fields[0];
  if (keyword == "line") {
    LineSetting line;
    if (!LineFromFields(fields, 1, line)) return "a line needs a name and an address";
    config.lines.push_back(line);
    return "";
  }
  if (keyword == "delay") {
    if (fields.size() != 3) return "a delay needs a step and milliseconds";
    std::chrono::milliseconds* delay = FindDelay(config.delays, fields[1]);
    if (delay == nullptr) return "unknown delay step \"" + fields[1] + "\"";
    if (!ParseMilliseconds(fields[2], *delay)) {
      return "delay \"" + fields[2] + "\" is not 0 to 3600000 milliseconds";
    }
    return "";
  }
  return "unknown statement \"" + keyword + "\"";
}

}  // namespace

bool SplitFields(const std::string& statement, std::vector<std::string>& fields) {
  size_t pos = 0;
  for (;;) {
    while (pos < statement.size() && IsBlank(statement[pos])) ++pos;
    if (pos == statement.size()) return true;
    if (statement[pos] == '"') {
      size_t close = statement.find('"', pos + 1);
      if (close == std::string::npos) return false;
      fields.push_back(statement.substr(pos + 1, close - pos - 1));
      pos = close + 1;
    } else {
      size_t end = pos;
      while (end < statement.size() && !IsBlank(statement[end])) ++end;
      fields.push_back(statement.substr(pos, end - pos));
      pos = end;
    }
  }
}

bool LineFromFields(const std::vector<std::string>& fields, size_t first, LineSetting& line) {
  if (fields.size() < first + 2) return false;
  line = LineSetting();
  for (size_t i = first; i + 1 < fields.size(); ++i) line.name += (i > first ? " " : "") + fields[i];
  line.address = fields.back();
  return true;
}

std::chrono::milliseconds* FindDelay(Delays& delays, const std::string& step) {
  for (const DelayStep& known : kDelaySteps) {
    if (step == known.name) return &(delays.*known.delay);
  }
  return nullptr;
}

bool ParseMilliseconds(const std::string& text, std::chrono::milliseconds& value) {
  if (text.empty() || text.size() > 7) return false;
  unsigned long ms = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    ms = ms * 10 + static_cast<unsigned long>(c - '0');
  }
  if (ms > kLongestDelayMs) return false;
  value = std::chrono::milliseconds(ms);
  return true;
}

Config DefaultConfig() {
  Config config;
  for (int i = 1; i <= 4; ++i) {
    config.lines.push_back({"Line " + std::to_string(i), std::to_string(200 + i)});
  }
  return config;
}

bool ParseConfig(const std::string& text, Config& config, std::string& error) {
  Config parsed;
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string statement = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;

    size_t first = statement.find_first_not_of(" \t\r");
    if (first == std::string::npos || statement[first] == '#') continue;
    std::vector<std::string> fields;
    if (!SplitFields(statement, fields)) {
      error = "line " + std::to_string(lineNumber) + ": unclosed quote";
      return false;
    }
    std::string fault = ApplyStatement(fields, parsed);
    if (!fault.empty()) {
      error = "line " + std::to_string(lineNumber) + ": " + fault;
      return false;
    }
  }
  config = parsed;
  return true;
}

Config LoadConfig(const char* path, std::ostream& warnings) {
  if (path == nullptr || *path == '\0') return DefaultConfig();
  std::error_code ignored;
  std::ifstream file(path, std::ios::binary);
  if (!std::filesystem::is_regular_file(path, ignored) || !file) {
    warnings << "SIMTSP: cannot read " << path << "; using the default lines" << std::endl;
    return DefaultConfig();
  }
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  Config config;
  std::string error;
  if (!ParseConfig(text, config, error)) {
    warnings << "SIMTSP: " << path << ": " << error << "; using the default lines" << std::endl;
    return DefaultConfig();
  }
  return config;
}

}  // namespace simtsp
