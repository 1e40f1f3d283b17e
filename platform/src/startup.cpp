// What the start-up hands to WinMain: the instance, the command text and the show state.
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "command_line.h"
#include "plat/winmain.h"

namespace plat {

HINSTANCE ProgramInstance() {
  // The conventional image base of a Windows program; any fixed non-zero value serves.
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));
}

namespace {

bool NeedsQuotes(const std::string& argument) {
  return argument.empty() || argument.find_first_of(" \t\n\v\"") != std::string::npos;
}

// Backslashes are literal unless they precede a quote; there they and the quote are escaped.
void AppendQuoted(std::string& text, const std::string& argument) {
  text += '"';
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    text.append(backslashes, '\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, '\\');
  text += '"';
}

}  // namespace

std::string BuildCommandText(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    std::string argument = argv[i];
    if (NeedsQuotes(argument))
      AppendQuoted(text, argument);
    else
      text += argument;
  }
  return text;
}

std::string CommandTextFromStart(int argc, const char* const* argv) {
  std::string text = BuildCommandText(argc, argv);
  if (const char* written = std::getenv(detail::kCommandLineVariable)) {
    // Taken only when it is the line this process was really started with, not one inherited through
    // a program that started us by other means.
    std::vector<std::string> fields = detail::SplitWindowsCommandLine(written);
    bool matches = !fields.empty() && fields.size() == static_cast<size_t>(argc);
    for (int i = 1; matches && i < argc; ++i) matches = fields[i] == argv[i];
    if (matches) text = detail::SkipProgramName(written);
    unsetenv(detail::kCommandLineVariable);
  }
  return text;
}

int ShowStateFromEnvironment() {
  const char* value = std::getenv("VELCORA_SHOW_STATE");
  if (value == nullptr || *value == '\0') return SW_SHOWDEFAULT;
  char* end = nullptr;
  errno = 0;
  long state = std::strtol(value, &end, 10);
  if (errno != 0 || *end != '\0' || state < 0 || state > 11) return SW_SHOWDEFAULT;
  return static_cast<int>(state);
}

}  // namespace plat
