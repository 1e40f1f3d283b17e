// The bench's figures as table rows, and the results file.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Row {
  std::string figure;
  std::string measured;
  std::string target;
  std::string met;  // "yes", "no", or "-" for a figure without a target
};

// One table of rows, under a heading.
struct Section {
  std::string heading;
  std::vector<Row> rows;
};

// "yes" or "no".
std::string Met(bool met);
// `value` with `decimals` digits after the point.
std::string Fixed(double value, int decimals);

// The sections as Markdown tables, each under its heading.
std::string Tables(const std::vector<Section>& sections);

// The whole results file: title, date, machine, build, `settings` (Markdown lines), the tables and
// `notes` (Markdown lines).
std::string ResultsDocument(const std::string& settings, const std::vector<Section>& sections,
                            const std::string& notes);

}  // namespace bench
