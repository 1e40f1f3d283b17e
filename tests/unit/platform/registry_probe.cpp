// A process that reads and writes the registry store for the registry tests.
//
// registry_probe <output file> <command> <arguments...>, the root being HKLM or HKCU and data "hex:..."
//   set <root> <key> <value> <type> <data>      creates the key and sets the value
//   get <root> <key> <value>                    reads the value
//   delete-key <root> <key>                     deletes the key
//   fill <root> <key> <prefix> <threads> <n>    each thread t sets the DWORDs <prefix>-<t>-<i> = i
//   die-writing <root> <key> <value> <type> <data>   as set, killed by its file size limit mid-write
// The output file receives the Windows result code, for "get" followed by the type and the data.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/machine.h"
#include "plat/registry.h"

namespace {

plat::HKEY RootNamed(const std::string& name) {
  return name == "HKCU" ? plat::HKEY_CURRENT_USER : plat::HKEY_LOCAL_MACHINE;
}

std::string FromHex(const std::string& text) {
  std::string data;
  for (size_t i = 4; i + 1 < text.size(); i += 2)
    data += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return data;
}

std::string ToHex(const std::string& data) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "hex:";
  for (unsigned char byte : data) text += {digits[byte >> 4], digits[byte & 0x0F]};
  return text;
}

plat::LONG Set(plat::HKEY root, const char* path, const char* name, plat::DWORD type,
               const std::string& data) {
  plat::HKEY key = nullptr;
  plat::LONG result =
      plat::RegCreateKeyExA(root, path, 0, nullptr, 0, plat::KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != plat::ERROR_SUCCESS) return result;
  result = plat::RegSetValueExA(key, name, 0, type, reinterpret_cast<const plat::BYTE*>(data.data()),
                                static_cast<plat::DWORD>(data.size()));
  plat::RegCloseKey(key);
  return result;
}

std::string Get(plat::HKEY root, const char* path, const char* name) {
  plat::HKEY key = nullptr;
  plat::LONG result = plat::RegOpenKeyExA(root, path, 0, plat::KEY_READ, &key);
  if (result != plat::ERROR_SUCCESS) return std::to_string(result);
  plat::DWORD type = 0;
  plat::DWORD size = 0;
  result = plat::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  std::string data(size, '\0');
  if (result == plat::ERROR_SUCCESS)
    result =
        plat::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<plat::BYTE*>(data.data()), &size);
  plat::RegCloseKey(key);
  if (result != plat::ERROR_SUCCESS) return std::to_string(result);
  return "0 " + std::to_string(type) + " " + ToHex(data.substr(0, size));
}

plat::LONG Fill(plat::HKEY root, const char* path, const std::string& prefix, int threads, int count) {
  std::vector<plat::LONG> results(static_cast<size_t>(threads), plat::ERROR_SUCCESS);
  std::vector<std::thread> writers;
  for (int t = 0; t < threads; ++t) {
    writers.emplace_back([&, t] {
      for (plat::DWORD i = 0; i < static_cast<plat::DWORD>(count); ++i) {
        std::string name = prefix + "-" + std::to_string(t) + "-" + std::to_string(i);
        plat::LONG result =
            Set(root, path, name.c_str(), plat::REG_DWORD, std::string(reinterpret_cast<char*>(&i), 4));
        if (result != plat::ERROR_SUCCESS) results[static_cast<size_t>(t)] = result;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (plat::LONG result : results)
    if (result != plat::ERROR_SUCCESS) return result;
  return plat::ERROR_SUCCESS;
}

// A file size limit of the store's present size: the larger new store crosses it while it is written
// to the temporary file, and the kernel ends the process there (SIGXFSZ), leaving no core behind.
bool LimitFilesToTheStore(const std::string& rootName) {
  const std::string store = plat::MachineDirectory() + "/registry/HKEY_" +
                            (rootName == "HKCU" ? "CURRENT_USER" : "LOCAL_MACHINE") + ".store";
  struct stat info;
  if (stat(store.c_str(), &info) != 0) return false;
  const rlimit noCore = {0, 0};
  const rlimit storeSize = {static_cast<rlim_t>(info.st_size), static_cast<rlim_t>(info.st_size)};
  std::signal(SIGXFSZ, SIG_DFL);
  return setrlimit(RLIMIT_CORE, &noCore) == 0 && setrlimit(RLIMIT_FSIZE, &storeSize) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string& command = args[1];
  plat::HKEY root = RootNamed(args[2]);
  const char* path = args[3].c_str();
  std::string output;
  if (args.size() == 7 && (command == "set" || (command == "die-writing" && LimitFilesToTheStore(args[2]))))
    output = std::to_string(
        Set(root, path, args[4].c_str(), static_cast<plat::DWORD>(std::stoul(args[5])), FromHex(args[6])));
  else if (command == "get" && args.size() == 5)
    output = Get(root, path, args[4].c_str());
  else if (command == "delete-key" && args.size() == 4)
    output = std::to_string(plat::RegDeleteKeyA(root, path));
  else if (command == "fill" && args.size() == 7)
    output = std::to_string(Fill(root, path, args[4], std::stoi(args[5]), std::stoi(args[6])));
  else
    return 2;
  std::ofstream(args[0]) << output << "\n";
  return 0;
}
