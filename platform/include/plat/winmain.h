// The program entry that the Linux start-up shim calls, and what the shim hands to it.
#pragma once

#include <string>

#include "plat/types.h"

// Defined by each program; the shim's main() calls it and exits with its result through std::quick_exit,
// so handlers the program registered with std::at_quick_exit run, static destructors do not.
int WinMain(plat::HINSTANCE instance, plat::HINSTANCE previousInstance, char* commandText, int showState);

namespace plat {

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;

// The instance handle of the running program, the value WinMain receives.
HINSTANCE ProgramInstance();

// The command text behind the program name: the arguments joined by single blanks, each one that is
// empty or holds a blank, tab or quote written in quotes by the Windows rules.
std::string BuildCommandText(int argc, const char* const* argv);

// The command text behind the program name as the starter wrote it, when the layer started this process
// (quotes and all, as a Windows program receives it); else BuildCommandText.
std::string CommandTextFromStart(int argc, const char* const* argv);

// The show state the start-up hands over: VELCORA_SHOW_STATE when it holds a number, else 10, as for a
// start without show information.
int ShowStateFromEnvironment();

}  // namespace plat
