// Processes through posix_spawn, each watched by a reaper thread that signals its handles; others from /proc.
#include "plat/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "detached_process.h"
#include "errno_map.h"
#include "handle_table.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "posix_call.h"

extern char** environ;

namespace plat {
namespace {

class ProcessObject : public detail::Waitable {
 public:
  explicit ProcessObject(pid_t pid) : m_pid(pid) {}
  pid_t pid() const { return m_pid; }
  void Finish(DWORD exitCode) {
    m_exitCode = exitCode;
    Signal();
  }
  DWORD exitCode() const { return IsSignaled() ? m_exitCode : STILL_ACTIVE; }

 private:
  pid_t m_pid;
  DWORD m_exitCode = STILL_ACTIVE;
};

// The priority class each process was given here, by process id.
std::mutex g_priorityMutex;
// Built on first use: the programs call the layer from their static constructors too.
std::map<DWORD, DWORD>& PriorityClasses() {
  static std::map<DWORD, DWORD> value;
  return value;
}

class ProcessReference : public detail::KernelObject {
 public:
  ProcessReference(DWORD pid, DWORD access) : m_pid(pid), m_access(access) {}
  DWORD pid() const { return m_pid; }
  DWORD access() const { return m_access; }

 private:
  DWORD m_pid;
  DWORD m_access;
};

// Stands for the own process without a table entry, as on Windows.
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
// The one module the layer reports per process: the executable, at the base Windows programs load to.
HMODULE const kMainModule = reinterpret_cast<HMODULE>(static_cast<intptr_t>(0x400000));

// The host path of the process's executable, or "" when the account may not read it.
std::string ExecutableOf(DWORD pid) {
  char buffer[4096];
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  ssize_t length = readlink(link.c_str(), buffer, sizeof(buffer) - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

bool IsExecutableFile(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string ProgramDirectory() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/'));
}

// The host file a program name stands for; the name itself when it cannot be found.
std::string FindProgram(const std::string& name) {
  if (name.find_first_of("\\/:") != std::string::npos) return ToHostPath(name.c_str());
  std::vector<std::string> directories = {ProgramDirectory(), ".", SystemDirectoryHost(),
                                          WindowsDirectoryHost()};
  if (const char* path = std::getenv("PATH")) {
    std::string list = path;
    for (size_t start = 0, end; start <= list.size(); start = end + 1) {
      end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) directories.push_back(list.substr(start, end - start));
    }
  }
  for (const std::string& directory : directories) {
    std::string candidate = ToHostPath((ToWindowsPath(directory) + "\\" + name).c_str());
    if (IsExecutableFile(candidate)) return candidate;
  }
  return name;
}

// Our environment, or the caller's block, without a show state unless the caller hands one on, and with
// the command line as written: argv cannot tell the child where its quotes stood.
std::vector<std::string> ChildEnvironment(LPVOID block, const STARTUPINFOA* startupInfo, LPCSTR commandLine) {
  std::vector<std::string> variables;
  if (block != nullptr) {
    for (const char* entry = static_cast<const char*>(block); *entry; entry += std::strlen(entry) + 1)
      variables.emplace_back(entry);
  } else {
    for (char** entry = environ; *entry; ++entry) variables.emplace_back(*entry);
  }
  const std::string commandLineVariable = std::string(detail::kCommandLineVariable) + "=";
  std::vector<std::string> kept;
  for (std::string& variable : variables)
    if (variable.rfind("VELCORA_SHOW_STATE=", 0) != 0 && variable.rfind(commandLineVariable, 0) != 0)
      kept.push_back(std::move(variable));
  if (startupInfo != nullptr && (startupInfo->dwFlags & STARTF_USESHOWWINDOW))
    kept.push_back("VELCORA_SHOW_STATE=" + std::to_string(startupInfo->wShowWindow));
  if (commandLine != nullptr) kept.push_back(commandLineVariable + commandLine);
  return kept;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// A program that cannot be reached on its path is a program that is not there.
DWORD ErrorFromErrno(int error) {
  return error == ENOTDIR ? ERROR_FILE_NOT_FOUND : detail::Win32ErrorOf(error);
}

void Reap(std::shared_ptr<ProcessObject> process) {
  int status = 0;
  detail::RetryAfterSignal(-1, ::waitpid, process->pid(), &status, 0);
  DWORD code = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                                 : 128 + static_cast<DWORD>(WTERMSIG(status));
  process->Finish(code);
}

bool IsKnownPriorityClass(DWORD priorityClass) {
  switch (priorityClass) {
    case NORMAL_PRIORITY_CLASS:
    case IDLE_PRIORITY_CLASS:
    case HIGH_PRIORITY_CLASS:
    case REALTIME_PRIORITY_CLASS:
    case BELOW_NORMAL_PRIORITY_CLASS:
    case ABOVE_NORMAL_PRIORITY_CLASS:
      return true;
  }
  return false;
}

// The process id behind a handle of either kind, or 0.
DWORD ProcessIdOf(HANDLE handle) {
  if (handle == kCurrentProcess) return static_cast<DWORD>(getpid());
  std::shared_ptr<detail::KernelObject> object = detail::FindHandle(handle);
  if (auto* reference = dynamic_cast<ProcessReference*>(object.get())) return reference->pid();
  if (auto* process = dynamic_cast<ProcessObject*>(object.get())) return static_cast<DWORD>(process->pid());
  return 0;
}

// Starts a program as CreateProcessA does; with `detachedOutput`, in a session of its own, reading
// nothing and writing its output to the end of that file.
BOOL StartProcess(LPCSTR applicationName, LPSTR commandLine, LPVOID environment, LPCSTR currentDirectory,
                  const STARTUPINFOA* startupInfo, const std::string* detachedOutput,
                  PROCESS_INFORMATION* processInformation) {
  std::vector<std::string> arguments = detail::SplitWindowsCommandLine(commandLine ? commandLine : "");
  std::string program = applicationName ? std::string(applicationName)
                                        : (arguments.empty() ? std::string() : arguments.front());
  if (program.empty() || processInformation == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string hostProgram = FindProgram(program);
  // As on Windows, a command line given beside the program name is the whole line, its own first field
  // included; without the program name that first field is the program.
  if (arguments.empty())
    arguments.push_back(hostProgram);
  else if (applicationName == nullptr)
    arguments.front() = hostProgram;
  std::vector<std::string> variables = ChildEnvironment(environment, startupInfo, commandLine);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(variables);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (currentDirectory != nullptr)
    posix_spawn_file_actions_addchdir_np(&actions, ToHostPath(currentDirectory).c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The signals the start-up shim takes on a thread of its own are blocked in every thread of ours; a
  // new program must get them as any program does.
  sigset_t noSignals;
  sigemptyset(&noSignals);
  posix_spawnattr_setsigmask(&attributes, &noSignals);
  short flags = POSIX_SPAWN_SETSIGMASK;
  if (detachedOutput != nullptr) {
    flags |= POSIX_SPAWN_SETSID;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, detachedOutput->c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  posix_spawnattr_setflags(&attributes, flags);
  pid_t pid = 0;
  int error = hostProgram.find('/') == std::string::npos
                  ? ENOENT
                  : posix_spawn(&pid, hostProgram.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    SetLastError(ErrorFromErrno(error));
    return FALSE;
  }

  auto process = std::make_shared<ProcessObject>(pid);
  std::thread(Reap, process).detach();
  processInformation->hProcess = detail::AddHandle(process);
  processInformation->hThread = detail::AddHandle(process);
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

}  // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPVOID, LPVOID, BOOL, DWORD,
                    LPVOID environment, LPCSTR currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation) {
  return StartProcess(applicationName, commandLine, environment, currentDirectory, startupInfo, nullptr,
                      processInformation);
}

BOOL detail::CreateDetachedProcessA(LPSTR commandLine, LPVOID environment, const std::string& outputFile,
                                    PROCESS_INFORMATION* processInformation) {
  return StartProcess(nullptr, commandLine, environment, nullptr, nullptr, &outputFile, processInformation);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  auto* object = dynamic_cast<ProcessObject*>(detail::FindHandle(process).get());
  if (object == nullptr || exitCode == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *exitCode = object->exitCode();
  return TRUE;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE OpenProcess(DWORD desiredAccess, BOOL, DWORD processId) {
  // EPERM still means the process is there, only not ours.
  if (processId == 0 || (kill(static_cast<pid_t>(processId), 0) != 0 && errno != EPERM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((desiredAccess & PROCESS_VM_READ) && ExecutableOf(processId).empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return detail::AddHandle(std::make_shared<ProcessReference>(processId, desiredAccess));
}

HANDLE GetCurrentProcess() { return kCurrentProcess; }

BOOL TerminateProcess(HANDLE process, UINT) {
  std::shared_ptr<detail::KernelObject> object = detail::FindHandle(process);
  auto* reference = dynamic_cast<ProcessReference*>(object.get());
  DWORD pid = ProcessIdOf(process);
  if (pid == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (reference != nullptr && !(reference->access() & PROCESS_TERMINATE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (kill(static_cast<pid_t>(pid), SIGKILL) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL EnumProcesses(DWORD* processIds, DWORD bytes, DWORD* bytesUsed) {
  if (processIds == nullptr || bytesUsed == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<DWORD> found;
  if (DIR* directory = opendir("/proc")) {
    while (dirent* entry = readdir(directory)) {
      char* end = nullptr;
      unsigned long pid = std::strtoul(entry->d_name, &end, 10);
      if (end != entry->d_name && *end == '\0') found.push_back(static_cast<DWORD>(pid));
    }
    closedir(directory);
  }
  std::sort(found.begin(), found.end());
  size_t count = std::min<size_t>(found.size(), bytes / sizeof(DWORD));
  std::copy(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(count), processIds);
  *bytesUsed = static_cast<DWORD>(count * sizeof(DWORD));
  return TRUE;
}

BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD bytes, DWORD* bytesNeeded) {
  if (ProcessIdOf(process) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (modules != nullptr && bytes >= sizeof(HMODULE)) modules[0] = kMainModule;
  if (bytesNeeded != nullptr) *bytesNeeded = sizeof(HMODULE);
  return TRUE;
}

DWORD GetModuleFileNameExA(HANDLE process, HMODULE module, LPSTR fileName, DWORD size) {
  DWORD pid = ProcessIdOf(process);
  if (pid == 0 || (module != nullptr && module != kMainModule)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::string host = ExecutableOf(pid);
  if (host.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string path = ToWindowsPath(host);
  size_t length = std::min<size_t>(path.size(), size - 1);
  std::memcpy(fileName, path.data(), length);
  fileName[length] = '\0';
  return static_cast<DWORD>(length);
}

BOOL SetPriorityClass(HANDLE process, DWORD priorityClass) {
  DWORD pid = ProcessIdOf(process);
  if (pid == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!IsKnownPriorityClass(priorityClass)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_priorityMutex);
  PriorityClasses()[pid] = priorityClass;
  return TRUE;
}

DWORD GetPriorityClass(HANDLE process) {
  DWORD pid = ProcessIdOf(process);
  if (pid == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::lock_guard<std::mutex> lock(g_priorityMutex);
  auto found = PriorityClasses().find(pid);
  return found == PriorityClasses().end() ? NORMAL_PRIORITY_CLASS : found->second;
}

}  // namespace plat
