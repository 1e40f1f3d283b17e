// Service entries in the registry, status records and history files of services, control sockets.
#include "service_database.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "plat/error.h"
#include "plat/machine.h"
#include "plat/path.h"
#include "plat/registry.h"
#include "plat/time.h"
#include "posix_call.h"

namespace plat::detail {
namespace {

constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
constexpr size_t kLongestServiceName = 256;

std::string EntryKeyPath(const std::string& name) { return std::string(kServicesKey) + "\\" + name; }

class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (m_key != nullptr) RegCloseKey(m_key);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY* out() { return &m_key; }
  HKEY get() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

bool QueryValue(HKEY key, const char* name, DWORD& type, std::string& data) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  std::string buffer(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS)
    return false;
  buffer.resize(size);
  data = std::move(buffer);
  return true;
}

bool ReadDword(HKEY key, const char* name, DWORD& value) {
  DWORD type = 0;
  std::string data;
  if (!QueryValue(key, name, type, data) || type != REG_DWORD || data.size() != sizeof(DWORD)) return false;
  std::memcpy(&value, data.data(), sizeof(DWORD));
  return true;
}

// A text value without its terminator; "" when missing.
std::string ReadText(HKEY key, const char* name) {
  DWORD type = 0;
  std::string data;
  if (!QueryValue(key, name, type, data)) return "";
  return data.substr(0, data.find('\0'));
}

std::vector<std::string> ReadTextList(HKEY key, const char* name) {
  DWORD type = 0;
  std::string data;
  std::vector<std::string> texts;
  if (!QueryValue(key, name, type, data)) return texts;
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    if (end == start) break;
    texts.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return texts;
}

LONG WriteDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG WriteText(HKEY key, const char* name, DWORD type, const std::string& text) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

// An empty text removes the value, as the entry then has none.
LONG WriteOptionalText(HKEY key, const char* name, const std::string& text) {
  if (!text.empty()) return WriteText(key, name, REG_SZ, text);
  RegDeleteValueA(key, name);
  return ERROR_SUCCESS;
}

LONG WriteTextList(HKEY key, const char* name, const std::vector<std::string>& texts) {
  if (texts.empty()) {
    RegDeleteValueA(key, name);
    return ERROR_SUCCESS;
  }
  std::string data;
  for (const std::string& text : texts) data += text + '\0';
  data += '\0';
  return RegSetValueExA(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[kLongestServiceName + 1];
    DWORD size = sizeof(name);
    if (RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

// RegDeleteKeyA removes only keys without subkeys, so the deepest go first.
void RemoveKeyTree(const std::string& path) {
  {
    OpenKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return;
    for (const std::string& subkey : SubkeyNames(key.get())) RemoveKeyTree(path + "\\" + subkey);
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// ---- files of <machine>/services/ ----------------------------------------------------------------

std::string ServicesDirectory() {
  std::string directory = MachineDirectory() + "/services";
  // For the owner alone: the control sockets of running services are in it.
  mkdir(directory.c_str(), 0700);
  return directory;
}

// The file name part for a service: its name folded to lower case (names are compared without case),
// every byte other than a letter, digit, "-", "_" or "." written as %XX.
std::string FileKey(const std::string& name) {
  std::string key;
  for (unsigned char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.') {
      key += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof(escaped), "%%%02X", c);
      key += escaped;
    }
  }
  return key;
}

std::string StatusPath(const std::string& name) {
  return ServicesDirectory() + "/" + FileKey(name) + ".status";
}
std::string HistoryPath(const std::string& name) {
  return ServicesDirectory() + "/" + FileKey(name) + ".history";
}

uint64_t MonotonicMilliseconds() {
  auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

std::string ReadAll(int fd) {
  std::string content;
  char chunk[512];
  for (off_t offset = 0;;) {
    const ssize_t got = RetryAfterSignal(-1, ::pread, fd, chunk, sizeof(chunk), offset);
    if (got <= 0) return content;
    content.append(chunk, static_cast<size_t>(got));
    offset += got;
  }
}

// "state type controls exit specific checkpoint waithint pid starttime connected"; anything else is
// the record of a service never started.
ServiceRuntime ParseRuntime(const std::string& text) {
  std::istringstream in(text);
  ServiceRuntime parsed;
  SERVICE_STATUS& s = parsed.status;
  int connected = 0;
  if (!(in >> s.dwCurrentState >> s.dwServiceType >> s.dwControlsAccepted >> s.dwWin32ExitCode >>
        s.dwServiceSpecificExitCode >> s.dwCheckPoint >> s.dwWaitHint >> parsed.processId >>
        parsed.processStartTime >> connected))
    return ServiceRuntime();
  parsed.isDispatcherConnected = connected != 0;
  return parsed;
}

std::string FormatRuntime(const ServiceRuntime& runtime) {
  const SERVICE_STATUS& s = runtime.status;
  std::ostringstream out;
  out << s.dwCurrentState << ' ' << s.dwServiceType << ' ' << s.dwControlsAccepted << ' ' << s.dwWin32ExitCode
      << ' ' << s.dwServiceSpecificExitCode << ' ' << s.dwCheckPoint << ' ' << s.dwWaitHint << ' '
      << runtime.processId << ' ' << runtime.processStartTime << ' '
      << (runtime.isDispatcherConnected ? 1 : 0) << '\n';
  return out.str();
}

void AppendHistory(const std::string& name, const SERVICE_STATUS& status) {
  int fd = open(HistoryPath(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  std::ostringstream line;
  line << MonotonicMilliseconds() << ' ' << status.dwCurrentState << ' ' << status.dwCheckPoint << ' '
       << status.dwControlsAccepted << ' ' << status.dwWin32ExitCode << '\n';
  const std::string text = line.str();
  WriteAll(fd, text.data(), text.size());
  close(fd);
}

bool IsEntryMarkedForDelete(const std::string& name) {
  ServiceEntry entry;
  return ReadServiceEntry(name, entry) == ERROR_SUCCESS && entry.isMarkedForDelete;
}

// ---- sockets ------------------------------------------------------------------------------------

// The address of a control socket goes through /proc/self/fd/<directory>, so it stays within the
// short limit of a socket path however deep the machine directory lies.
class ControlSocketAddress {
 public:
  explicit ControlSocketAddress(DWORD processId)
      : m_directory(open(ServicesDirectory().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
    std::memset(&m_address, 0, sizeof(m_address));
    m_address.sun_family = AF_UNIX;
    std::snprintf(m_address.sun_path, sizeof(m_address.sun_path), "/proc/self/fd/%d/%u.ctl", m_directory,
                  processId);
  }
  ~ControlSocketAddress() {
    if (m_directory >= 0) close(m_directory);
  }
  ControlSocketAddress(const ControlSocketAddress&) = delete;
  ControlSocketAddress& operator=(const ControlSocketAddress&) = delete;

  bool IsUsable() const { return m_directory >= 0; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
  socklen_t size() const { return sizeof(m_address); }
  const char* path() const { return m_address.sun_path; }

 private:
  int m_directory;
  sockaddr_un m_address;
};

}  // namespace

// ---- entries ------------------------------------------------------------------------------------

bool IsValidServiceName(LPCSTR name) {
  if (name == nullptr) return false;
  size_t length = std::strlen(name);
  return length > 0 && length <= kLongestServiceName && std::strpbrk(name, "\\/") == nullptr;
}

bool IsValidServiceType(DWORD type) {
  DWORD process = type & ~SERVICE_INTERACTIVE_PROCESS;
  return process == SERVICE_WIN32_OWN_PROCESS || process == SERVICE_WIN32_SHARE_PROCESS;
}

bool IsValidStartType(DWORD startType) { return startType <= SERVICE_DISABLED; }

bool IsValidErrorControl(DWORD errorControl) { return errorControl <= SERVICE_ERROR_CRITICAL; }

DWORD ReadServiceEntry(const std::string& name, ServiceEntry& entry) {
  OpenKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryKeyPath(name).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
    return ERROR_SERVICE_DOES_NOT_EXIST;
  // A key without a type is no service: an empty key, or one that only groups others.
  if (!ReadDword(key.get(), "Type", entry.type)) return ERROR_SERVICE_DOES_NOT_EXIST;
  ReadDword(key.get(), "Start", entry.startType);
  ReadDword(key.get(), "ErrorControl", entry.errorControl);
  entry.imagePath = ReadText(key.get(), "ImagePath");
  entry.group = ReadText(key.get(), "Group");
  entry.dependencies = ReadTextList(key.get(), "DependOnService");
  entry.startName = ReadText(key.get(), "ObjectName");
  entry.displayName = ReadText(key.get(), "DisplayName");
  entry.description = ReadText(key.get(), "Description");
  DWORD deleteFlag = 0;
  entry.isMarkedForDelete = ReadDword(key.get(), "DeleteFlag", deleteFlag) && deleteFlag != 0;
  return ERROR_SUCCESS;
}

DWORD WriteServiceEntry(const std::string& name, const ServiceEntry& entry) {
  OpenKey key;
  LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, EntryKeyPath(name).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
  if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
  for (LONG written :
       {WriteDword(key.get(), "Type", entry.type), WriteDword(key.get(), "Start", entry.startType),
        WriteDword(key.get(), "ErrorControl", entry.errorControl),
        WriteText(key.get(), "ImagePath", REG_EXPAND_SZ, entry.imagePath),
        WriteText(key.get(), "DisplayName", REG_SZ, entry.displayName),
        WriteText(key.get(), "ObjectName", REG_SZ, entry.startName),
        WriteOptionalText(key.get(), "Group", entry.group),
        WriteTextList(key.get(), "DependOnService", entry.dependencies),
        WriteOptionalText(key.get(), "Description", entry.description)})
    if (written != ERROR_SUCCESS) return static_cast<DWORD>(written);
  return ERROR_SUCCESS;
}

DWORD MarkServiceEntryForDelete(const std::string& name) {
  OpenKey key;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, EntryKeyPath(name).c_str(), 0, KEY_WRITE, key.out());
  if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
  return static_cast<DWORD>(WriteDword(key.get(), "DeleteFlag", 1));
}

void RemoveServiceEntry(const std::string& name) { RemoveKeyTree(EntryKeyPath(name)); }

bool IsServiceNameInUse(const std::string& name, const std::string& displayName) {
  OpenKey services;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, services.out()) != ERROR_SUCCESS)
    return false;
  for (const std::string& other : SubkeyNames(services.get())) {
    ServiceEntry entry;
    if (EqualsIgnoringAsciiCase(other, name.c_str()) || ReadServiceEntry(other, entry) != ERROR_SUCCESS)
      continue;
    if (EqualsIgnoringAsciiCase(other, displayName.c_str()) ||
        EqualsIgnoringAsciiCase(entry.displayName, displayName.c_str()) ||
        EqualsIgnoringAsciiCase(entry.displayName, name.c_str()))
      return true;
  }
  return false;
}

DWORD CheckServiceEntryWritable(const std::string& name) {
  OpenKey key;
  std::string path = name.empty() ? std::string(kServicesKey) : EntryKeyPath(name);
  return static_cast<DWORD>(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                            REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.out(), nullptr));
}

// ---- status records -----------------------------------------------------------------------------

LockedServiceStatus::LockedServiceStatus(const std::string& name)
    : m_name(name), m_fd(open(StatusPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
  if (m_fd < 0) return;
  RetryAfterSignal(-1, ::flock, m_fd, LOCK_EX);
  m_runtime = ParseRuntime(ReadAll(m_fd));
  const SERVICE_STATUS& status = m_runtime.status;
  const uint64_t startTime = ProcessStartTime(m_runtime.processId);
  if (status.dwCurrentState != SERVICE_STOPPED &&
      (startTime == 0 || startTime != m_runtime.processStartTime)) {
    // The process identity stays, so that StartServiceA still sees whether its dispatcher connected.
    ServiceRuntime gone = m_runtime;
    gone.status = {status.dwServiceType, SERVICE_STOPPED, 0, ERROR_PROCESS_ABORTED, 0, 0, 0};
    Record(gone);
  }
}

LockedServiceStatus::~LockedServiceStatus() {
  if (m_fd >= 0) close(m_fd);  // also releases the lock
}

void LockedServiceStatus::Store(const ServiceRuntime& runtime) {
  m_runtime = runtime;
  if (m_fd < 0) return;
  std::string text = FormatRuntime(runtime);
  if (ftruncate(m_fd, 0) != 0) return;
  WriteAllAt(m_fd, text.data(), text.size(), 0);
}

void LockedServiceStatus::Record(const ServiceRuntime& runtime) {
  Store(runtime);
  AppendHistory(m_name, runtime.status);
  if (runtime.status.dwCurrentState == SERVICE_STOPPED && IsEntryMarkedForDelete(m_name))
    RemoveServiceEntry(m_name);
}

std::string ServiceOutputPath(const std::string& name) {
  return ServicesDirectory() + "/" + FileKey(name) + ".out";
}

uint64_t ProcessStartTime(DWORD processId) {
  if (processId == 0) return 0;
  std::ifstream in("/proc/" + std::to_string(processId) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  // The command name in parentheses may hold blanks; the fields after it are plain.
  size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string::npos) return 0;
  std::istringstream fields(line.substr(nameEnd + 1));
  std::string state;
  fields >> state;
  if (state == "Z" || state == "X") return 0;
  // The start time is field 22 of the line, the 20th after the name.
  std::string skipped;
  for (int i = 0; i < 18; ++i) fields >> skipped;
  uint64_t startTime = 0;
  return (fields >> startTime) ? startTime : 0;
}

// ---- sockets ------------------------------------------------------------------------------------

int ListenOnControlSocket(DWORD processId) {
  ControlSocketAddress address(processId);
  if (!address.IsUsable()) return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  unlink(address.path());
  // The file is made with the mode the umask leaves; it is made the owner's alone before it listens,
  // as until then nobody can connect. A change of the umask around bind would change it for every
  // thread of the process.
  if (bind(fd, address.get(), address.size()) != 0) {
    close(fd);
    return -1;
  }
  if (chmod(address.path(), 0600) != 0 || listen(fd, 16) != 0) {
    close(fd);
    unlink(address.path());
    return -1;
  }
  return fd;
}

int ConnectToControlSocket(DWORD processId) {
  ControlSocketAddress address(processId);
  if (!address.IsUsable()) return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (RetryAfterSignal(-1, ::connect, fd, address.get(), address.size()) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void RemoveControlSocket(DWORD processId) {
  ControlSocketAddress address(processId);
  if (address.IsUsable()) unlink(address.path());
}

bool SendDword(int fd, DWORD value) {
  return WriteAllWith(
      [fd](const char* bytes, size_t count, size_t) { return ::send(fd, bytes, count, MSG_NOSIGNAL); },
      &value, sizeof(value));
}

Received ReceiveDword(int fd, DWORD& value, DWORD milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + ScaledDuration(milliseconds);
  char* bytes = reinterpret_cast<char*>(&value);
  // An interrupted poll or recv goes round again, so that the next poll waits only for what is left.
  for (size_t done = 0; done < sizeof(value);) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Received::TimedOut;
    pollfd readable = {fd, POLLIN, 0};
    int ready = poll(&readable, 1, static_cast<int>(std::min<int64_t>(left.count(), 1 << 30)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Received::Closed;
    if (ready == 0) return Received::TimedOut;
    ssize_t got = recv(fd, bytes + done, sizeof(value) - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return Received::Closed;
    done += static_cast<size_t>(got);
  }
  return Received::Value;
}

}  // namespace plat::detail

namespace plat {

std::vector<ServiceHistoryEntry> ReadServiceHistory(LPCSTR serviceName) {
  std::vector<ServiceHistoryEntry> history;
  if (serviceName == nullptr) return history;
  std::ifstream in(detail::HistoryPath(serviceName));
  ServiceHistoryEntry entry{};
  while (in >> entry.milliseconds >> entry.state >> entry.checkPoint >> entry.controlsAccepted >>
         entry.win32ExitCode)
    history.push_back(entry);
  return history;
}

}  // namespace plat
