// The stand-in for the telephony setup: enters a provider library in the machine's provider list.
#include <cstdio>
#include <cstring>

#include "plat/telephony.h"
#include "tapi.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::strcmp(argv[1], "add") != 0) {
    std::fprintf(stderr, "usage: tspctl add <provider file name>\n");
    return 2;
  }
  plat::DWORD id = 0;
  const plat::LONG result = plat::lineAddProvider(argv[2], nullptr, &id);
  // Adding is done once per machine; a setup that runs again finds its provider there and goes on.
  if (result == static_cast<plat::LONG>(LINEERR_NOMULTIPLEINSTANCE)) {
    std::printf("%s is in the provider list already\n", argv[2]);
    return 0;
  }
  if (result != 0) {
    std::fprintf(stderr, "tspctl: %s not added: error 0x%08X\n", argv[2], static_cast<unsigned>(result));
    return 1;
  }
  std::printf("%s added as provider %u\n", argv[2], id);
  return 0;
}
