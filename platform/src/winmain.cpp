// The Linux main(): builds the command text and show state and calls the program's WinMain.
#include "plat/winmain.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_signals.h"

int main(int argc, char** argv) {
  // First, while this is the only thread: every later one inherits the blocked mask.
  plat::detail::TakeHostSignals();
  // Registered first, so it runs last: after what the program registered (its logging's end).
  std::at_quick_exit([] { std::fflush(nullptr); });
  std::string text = plat::CommandTextFromStart(argc, argv);
  std::vector<char> writable(text.begin(), text.end());
  writable.push_back('\0');
  int result = WinMain(plat::ProgramInstance(), nullptr, writable.data(), plat::ShowStateFromEnvironment());
  // Threads of the program may still run when WinMain returns (a service dispatcher still reporting, a
  // provider's workers), as the process ends under them on Windows: static objects are not destroyed
  // beneath them, but what the program registered with at_quick_exit runs.
  std::quick_exit(result);
}
