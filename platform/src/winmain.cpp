// The Linux main(): builds the command text and show state and calls the program's WinMain.
#include <string>
#include <vector>

#include "plat/winmain.h"

int main(int argc, char** argv) {
  std::string text = plat::CommandTextFromStart(argc, argv);
  std::vector<char> writable(text.begin(), text.end());
  writable.push_back('\0');
  return WinMain(plat::ProgramInstance(), nullptr, writable.data(), plat::ShowStateFromEnvironment());
}
