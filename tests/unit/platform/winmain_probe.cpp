// A program on the start-up shim that prints what its WinMain received and exits with 7.
#include <cstdio>

#include "plat/winmain.h"

int WinMain(plat::HINSTANCE instance, plat::HINSTANCE previous, char* commandText, int showState) {
  std::printf("instance=%d previous=%d show=%d text=[%s]\n", instance != nullptr, previous != nullptr,
              showState, commandText);
  return 7;
}
