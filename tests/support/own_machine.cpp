// Gives every test program and fuzz target a machine directory of its own before anything of the layer
// runs, when none was given: nothing a test does may reach the user's own machine directory.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

// Plain characters: a string object here could be initialised after the constructor below has run.
char g_created[4096];

void RemoveCreated() {
  std::error_code ignored;
  std::filesystem::remove_all(g_created, ignored);
}

// Ahead of every initialiser of default priority: the service program's global objects register an
// event source in the machine directory while they are built.
__attribute__((constructor(101))) void ChooseOwnMachine() {
  const char* given = std::getenv("VELCORA_MACHINE");
  if (given != nullptr && *given != '\0') return;
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  const int length = std::snprintf(g_created, sizeof(g_created), "%s/velcora-machine-XXXXXX",
                                   error ? "/tmp" : temporary.c_str());
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(g_created) || mkdtemp(g_created) == nullptr) {
    std::perror("no machine directory for the test");
    std::abort();
  }
  setenv("VELCORA_MACHINE", g_created, 1);
  std::atexit(RemoveCreated);
}

}  // namespace
