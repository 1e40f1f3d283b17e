// Keeps docs/protocol.md complete: each command of the dispatcher's table, in order, with its named fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string ReadText(const char* path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The number of fields each command names in the handlers' header: the word and the request identifier,
// then one per name its enumeration lists before kCount.
std::map<std::string, int> NamedFieldCounts() {
  const std::string header = ReadText(COMMANDS_HEADER);
  std::map<std::string, int> counts;
  const std::regex command(R"re(struct (\w+) \{\s*enum : int \{\s*(\w+) = kFirstArgument,([^}]*)\})re");
  for (std::sregex_iterator it(header.begin(), header.end(), command), last; it != last; ++it) {
    const std::string rest = (*it)[3].str();
    const size_t end = rest.find("kCount");
    EXPECT_NE(end, std::string::npos) << (*it)[1] << " has no kCount";
    counts[(*it)[1].str()] = 3 + static_cast<int>(std::count(rest.begin(), rest.begin() + end, ','));
  }
  return counts;
}

// The command words of the dispatcher's table in the order it tests them, each with the number of fields
// it reads (the word and the request identifier included).
std::vector<std::pair<std::string, int>> TableCommands() {
  const std::string source = ReadText(DISPATCH_SOURCE);
  const size_t start = source.find("kCommands[] = {");
  const size_t end = source.find("};", start);
  EXPECT_NE(start, std::string::npos) << "the command table was not found in " << DISPATCH_SOURCE;
  const std::string table = source.substr(start, end - start);
  const std::map<std::string, int> counts = NamedFieldCounts();
  std::vector<std::pair<std::string, int>> commands;
  const std::regex entry(R"re(\{"([^"]+)",\s*(\w+)::kCount,)re");
  for (std::sregex_iterator it(table.begin(), table.end(), entry), last; it != last; ++it) {
    auto count = counts.find((*it)[2].str());
    EXPECT_NE(count, counts.end()) << (*it)[2] << " names no fields in " << COMMANDS_HEADER;
    commands.emplace_back((*it)[1].str(), count == counts.end() ? 0 : count->second);
  }
  return commands;
}

struct DocCommands {
  std::vector<std::string> summaryRows;  // the command words of the summary table, in order
  std::vector<std::string> sections;     // the command sections, in order
  std::map<std::string, int> lastField;  // per section, the highest position in its field table
};

DocCommands ReadDoc() {
  std::istringstream doc(ReadText(PROTOCOL_DOC));
  DocCommands found;
  const std::regex summaryRow(R"re(^\| `(TSPI_line\w+)` \|)re");
  const std::regex section(R"re(^### (TSPI_line\w+)$)re");
  // A field row starts with its position, or with two positions for a pair of fields ("| 5, 6 |").
  const std::regex fieldRow(R"re(^\| (?:\d+, )?(\d+) \|)re");
  std::string current;
  std::string line;
  std::smatch match;
  while (std::getline(doc, line)) {
    if (std::regex_search(line, match, summaryRow)) {
      found.summaryRows.push_back(match[1]);
    } else if (std::regex_search(line, match, section)) {
      current = match[1];
      found.sections.push_back(current);
    } else if (line.rfind("#", 0) == 0) {
      current.clear();
    } else if (!current.empty() && std::regex_search(line, match, fieldRow)) {
      found.lastField[current] = std::max(found.lastField[current], std::stoi(match[1]));
    }
  }
  return found;
}

std::vector<std::string> Words(const std::vector<std::pair<std::string, int>>& commands) {
  std::vector<std::string> words;
  for (const auto& command : commands) words.push_back(command.first);
  return words;
}

TEST(ProtocolDoc, ListsEveryCommandInTheOrderTheServiceTestsThem) {
  const auto commands = TableCommands();
  ASSERT_EQ(commands.size(), 26u) << "the 26 TSPI_line commands, read from " << DISPATCH_SOURCE;
  const DocCommands doc = ReadDoc();
  // The order matters to a client: a line is the first command whose word it begins with.
  EXPECT_EQ(doc.summaryRows, Words(commands)) << "the summary table of " << PROTOCOL_DOC;
  EXPECT_EQ(doc.sections, Words(commands)) << "the command sections of " << PROTOCOL_DOC;
}

TEST(ProtocolDoc, EachCommandSectionDescribesEveryFieldTheServiceReads) {
  const DocCommands doc = ReadDoc();
  for (const auto& [word, fields] : TableCommands()) {
    auto it = doc.lastField.find(word);
    ASSERT_NE(it, doc.lastField.end()) << word << " has no field table";
    EXPECT_EQ(it->second, fields) << word << ": the last field the doc describes";
  }
}

}  // namespace
