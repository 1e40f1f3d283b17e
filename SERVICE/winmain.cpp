// The entry of the service program: command line, settings file, logging, and the choice of mode.
#include "plat/winmain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ToolFunktion.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/path.h"
#include "plat/process.h"
#include "plat/thread.h"
#include "plat/time.h"
#include "service_window.h"
#include "winmain.h"

using TOOLFUNC_debug::LogMessage;

char g_szIniFile[plat::MAX_PATH] = "VELCORA.INI";

char** SplitCommandLine(const char* text, int* count) {
  size_t length = std::strlen(text);
  size_t pointerCount = (length + 2) / 2 + 1;
  // One block, never freed: the vector lives as long as the process.
  char** vector = static_cast<char**>(std::malloc(pointerCount * sizeof(char*) + length + 2));
  if (vector == nullptr) {
    // The start goes on without arguments rather than through a null vector.
    static char* none[1] = {nullptr};
    *count = 0;
    return none;
  }
  char* out = reinterpret_cast<char*>(vector + pointerCount);
  int arguments = 0;
  bool inQuotes = false;
  bool inArgument = false;
  for (const char* p = text; *p != '\0'; ++p) {
    char c = *p;
    if (inQuotes) {
      if (c == '"')
        inQuotes = false;
      else
        *out++ = c;
      continue;
    }
    if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
      if (inArgument) *out++ = '\0';
      inArgument = false;
      continue;
    }
    if (!inArgument) {
      vector[arguments++] = out;
      inArgument = true;
    }
    if (c == '"')
      inQuotes = true;
    else
      *out++ = c;
  }
  *out = '\0';
  vector[arguments] = nullptr;
  *count = arguments;
  return vector;
}

namespace {

// Whole arguments, compared without regard to case: -d acts like -D, -cwdx matches nothing.
bool IsSwitch(const char* argument, const char* name) {
  return plat::EqualsIgnoringAsciiCase(argument, name);
}

// The -u switch: stop and delete the service, then end after a pause, whatever else the line holds.
int RemoveServiceAndEnd() {
  // A process of the program like any other: for as long as it runs, the instance count lives on, so an
  // application start beside it is counted. Logging is not configured yet; a count that cannot be had
  // does not keep the service from being removed.
  AttachInstanceCount();
  if (TOOLFUNC_service::EnsureServiceStopped())
    TOOLFUNC_service::RemoveService(TOOLFUNC_service::ServiceName);
  plat::Sleep(5000);
  return -1;
}

}  // namespace

int WinMain(plat::HINSTANCE instance, plat::HINSTANCE, char* commandText, int showState) {
  LogMessage(kLogTrace, "WinMain 0x%08X %d %s", static_cast<unsigned>(reinterpret_cast<uintptr_t>(instance)),
             showState, commandText);
  g_hInstance = instance;
  TOOLFUNC_process::SetProcessPriority(plat::REALTIME_PRIORITY_CLASS);
  // The vector stays for the life of the process, reachable from here.
  static int count = 0;
  static char** arguments = SplitCommandLine(commandText, &count);

  // A program directory that cannot hold the name beside it keeps the bare name.
  char besideProgram[plat::MAX_PATH];
  if (TOOLFUNC_file::JoinFilePath(besideProgram, TOOLFUNC_file::GetModuleDirectory(), "VELCORA.INI") &&
      plat::GetFileAttributesA(besideProgram) != plat::INVALID_FILE_ATTRIBUTES)
    TOOLFUNC_string::CopyBounded(g_szIniFile, besideProgram, TOOLFUNC_file::kPathCapacity);

  const char* settingsFile = nullptr;
  const char* logConfigFile = nullptr;
  const char* workingDirectory = nullptr;
  for (int i = 0; i < count; ++i) {
    // A value is looked at as a switch in the next pass too; one standing last is the closing null.
    const char* value = arguments[i + 1];
    if (IsSwitch(arguments[i], "-D")) {
      LogMessage(kLogTrace, "Start von der Dienstkonsole");
      showState = plat::SW_SHOWDEFAULT;
    } else if (IsSwitch(arguments[i], "-u")) {
      return RemoveServiceAndEnd();
    } else if (IsSwitch(arguments[i], "-c")) {
      settingsFile = value;
    } else if (IsSwitch(arguments[i], "-l")) {
      logConfigFile = value;
    } else if (IsSwitch(arguments[i], "-cwd")) {
      workingDirectory = value;
    }
  }
  if (workingDirectory != nullptr) plat::SetCurrentDirectoryA(workingDirectory);
  if (settingsFile != nullptr)
    TOOLFUNC_string::CopyBounded(g_szIniFile, settingsFile, TOOLFUNC_file::kPathCapacity);
  if (logConfigFile != nullptr)
    TOOLFUNC_string::CopyBounded(g_szLogConfigFile, logConfigFile, TOOLFUNC_file::kPathCapacity);
  TOOLFUNC_debug::ConfigureLogging();
  // A service process holds the count too, though it never reads it: an application instance that
  // ends beside a running service must not take the count's life with it.
  const bool counted = AttachInstanceCount();

  if (showState == plat::SW_SHOWDEFAULT) {
    CServiceWindow::m_bService = true;
    CServiceWindow window;
    LogMessage(kLogTrace, "Start from Service Applet");
    if (CServiceWindow::CreateServiceThread() == nullptr) {
      LogMessage(kLogTrace, "The service start thread could not be created");
      return -1;
    }
    return window.Loop();
  }

  // No count, no telling whether another instance runs: a second provider binding and listener
  // beside it would be worse than no start.
  if (!counted) {
    LogMessage(kLogError, "Instance 0x%08X stopped because the instance count cannot be kept",
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(instance)));
    return -1;
  }
  if (!CServiceWindow::TryEnterInstance()) {
    LogMessage(kLogTrace, "Instance 0x%08X stopped because of multiple creations",
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(instance)));
    return -1;
  }
  LogMessage(kLogTrace, "start as applicatiion");
  CServiceWindow window;
  return window.Loop();
}
