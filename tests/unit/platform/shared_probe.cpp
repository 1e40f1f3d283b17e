// A process that uses its program's shared section "SMProbe" for the shared section tests.
//
// shared_probe <output file> <go file> <release file> <exit|crash> <command> [<number>]
//   read           writes the value
//   set <number>   stores the number; writes "set"
//   claim          refuses when the value is above 0, else adds 1 in the same step; writes "claimed"
//                  or "refused"
//   add <number>   adds 1 that many times; writes "added"
// The command runs once the go file exists and the process ends once the release file exists ("-" for
// either: at once), by exiting with 0 or by aborting. The output file appears whole, never in part. A
// command it does not know, or a section it cannot attach, ends it with 2 and no output.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "plat/shared_section.h"

namespace {

// False when the file did not appear within a minute, so a forgotten probe never runs on.
bool AwaitFile(const std::string& path) {
  if (path == "-") return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool Claim(std::atomic<int32_t>& value) {
  int32_t current = value.load();
  do {
    if (current > 0) return false;
  } while (!value.compare_exchange_weak(current, current + 1));
  return true;
}

std::string Run(const std::string& command, const std::vector<std::string>& rest) {
  std::atomic<int32_t>* attached = plat::SharedSectionValue("SMProbe");
  if (attached == nullptr) return std::string();
  std::atomic<int32_t>& value = *attached;
  if (command == "read" && rest.empty()) return std::to_string(value.load());
  if (command == "set" && rest.size() == 1) {
    value.store(std::stoi(rest[0]));
    return "set";
  }
  if (command == "claim" && rest.empty()) return Claim(value) ? "claimed" : "refused";
  if (command == "add" && rest.size() == 1) {
    for (int i = std::stoi(rest[0]); i > 0; --i) value.fetch_add(1);
    return "added";
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) return 2;
  const std::string output = argv[1];
  const std::string ending = argv[4];
  if (!AwaitFile(argv[2])) return 3;
  const std::string result = Run(argv[5], std::vector<std::string>(argv + 6, argv + argc));
  if (result.empty()) return 2;
  std::ofstream(output + ".part") << result << "\n";
  std::filesystem::rename(output + ".part", output);
  if (!AwaitFile(argv[3])) return 3;
  if (ending == "crash") std::abort();
  return 0;
}
