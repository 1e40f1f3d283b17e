// Formatting the bench's tables and the results file with the date, the machine and the build.
#include "report.h"

#include <cstdio>
#include <ctime>

#include "proc_info.h"

namespace bench {
namespace {

#if defined(__clang__)
constexpr char kCompiler[] = "clang " __clang_version__;
#else
constexpr char kCompiler[] = "g++ " __VERSION__;
#endif

std::string Now() {
  std::time_t now = std::time(nullptr);
  char text[64];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M %Z", std::localtime(&now));
  return text;
}

}  // namespace

std::string Met(bool met) { return met ? "yes" : "no"; }

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", decimals, value);
  return text;
}

std::string Tables(const std::vector<Section>& sections) {
  std::string text;
  for (const Section& section : sections) {
    text += "### " + section.heading + "\n\n| figure | measured | target | met? |\n|---|---|---|---|\n";
    for (const Row& row : section.rows)
      text += "| " + row.figure + " | " + row.measured + " | " + row.target + " | " + row.met + " |\n";
    text += "\n";
  }
  return text;
}

std::string ResultsDocument(const std::string& settings, const std::vector<Section>& sections,
                            const std::string& notes) {
  Machine machine = DescribeMachine();
  return "# Benchmark of the protocol path: results\n\n"
         "Written by `scripts/bench.sh` (the program `velcora_bench`, sources in `bench/`).\n\n"
         "- Date: " +
         Now() +
         "\n"
         "- Machine: " +
         machine.cpu + ", " + std::to_string(machine.cores) + " logical cores; " + machine.kernel +
         "; load average when written " + machine.load +
         " (other work shares the machine)\n"
         "- Build: " +
         BENCH_BUILD + ", " + kCompiler + "\n" + settings + "\n" + Tables(sections) + notes;
}

}  // namespace bench
