// A program on the start-up shim that reports what its WinMain received and exits with 7: to the file
// that WINMAIN_PROBE_OUT names, else to standard output.
#include <cstdio>
#include <cstdlib>

#include "plat/winmain.h"

int WinMain(plat::HINSTANCE instance, plat::HINSTANCE previous, char* commandText, int showState) {
  const char* out = std::getenv("WINMAIN_PROBE_OUT");
  std::FILE* file = out ? std::fopen(out, "w") : stdout;
  std::fprintf(file, "instance=%d previous=%d show=%d text=[%s]\n", instance != nullptr, previous != nullptr,
               showState, commandText);
  if (file != stdout) std::fclose(file);
  return 7;
}
