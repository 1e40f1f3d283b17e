// NetBIOS adapters stand for the interfaces under /sys/class/net that carry a hardware address.
#include "plat/netbios.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>

#include "plat/testing/netbios.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::optional<std::vector<std::array<BYTE, 6>>> g_override;

std::vector<std::array<BYTE, 6>> MachineAdapters() {
  std::vector<std::string> names;
  if (DIR* directory = opendir("/sys/class/net")) {
    while (dirent* entry = readdir(directory))
      if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    closedir(directory);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::array<BYTE, 6>> adapters;
  for (const std::string& name : names) {
    std::ifstream file("/sys/class/net/" + name + "/address");
    std::string text;
    unsigned parts[6];
    if (!std::getline(file, text) || std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x", &parts[0],
                                                 &parts[1], &parts[2], &parts[3], &parts[4], &parts[5]) != 6)
      continue;
    std::array<BYTE, 6> address;
    for (int i = 0; i < 6; ++i) address[i] = static_cast<BYTE>(parts[i]);
    if (std::any_of(address.begin(), address.end(), [](BYTE b) { return b != 0; }))
      adapters.push_back(address);
  }
  return adapters;
}

std::vector<std::array<BYTE, 6>> Adapters() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_override ? *g_override : MachineAdapters();
}

BYTE Answer(NCB* ncb, BYTE code) {
  ncb->ncb_retcode = code;
  ncb->ncb_cmd_cplt = code;
  return code;
}

}  // namespace

BYTE Netbios(NCB* ncb) {
  if (ncb == nullptr) return NRC_ILLCMD;
  std::vector<std::array<BYTE, 6>> adapters = Adapters();
  // The list holds at most 254 numbers, as a LANA_ENUM does.
  if (adapters.size() > 254) adapters.resize(254);
  switch (ncb->ncb_command) {
    case NCBENUM: {
      if (ncb->ncb_buffer == nullptr || ncb->ncb_length < adapters.size() + 1) return Answer(ncb, NRC_BUFLEN);
      ncb->ncb_buffer[0] = static_cast<BYTE>(adapters.size());
      for (size_t i = 0; i < adapters.size(); ++i) ncb->ncb_buffer[i + 1] = static_cast<BYTE>(i);
      return Answer(ncb, NRC_GOODRET);
    }
    case NCBRESET:
      return Answer(ncb, ncb->ncb_lana_num < adapters.size() ? NRC_GOODRET : NRC_BRIDGE);
    case NCBASTAT: {
      if (ncb->ncb_lana_num >= adapters.size()) return Answer(ncb, NRC_BRIDGE);
      if (ncb->ncb_buffer == nullptr || ncb->ncb_length < sizeof(ADAPTER_STATUS))
        return Answer(ncb, NRC_BUFLEN);
      std::memset(ncb->ncb_buffer, 0, sizeof(ADAPTER_STATUS));
      std::memcpy(ncb->ncb_buffer, adapters[ncb->ncb_lana_num].data(), 6);
      return Answer(ncb, NRC_GOODRET);
    }
    default:
      return Answer(ncb, NRC_ILLCMD);
  }
}

void SetNetbiosAdaptersForTesting(std::optional<std::vector<std::array<BYTE, 6>>> addresses) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = std::move(addresses);
}

}  // namespace plat
