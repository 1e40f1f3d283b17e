// The event log: a line per event, appended to a file of the machine directory that every process shares.
#include "plat/eventlog.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "handle_table.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/registry.h"

namespace plat {
namespace {

class EventSource : public detail::KernelObject {
 public:
  explicit EventSource(std::string name) : name(std::move(name)) {}
  const std::string name;
};

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

struct MessageTables {
  std::mutex mutex;
  std::map<std::string, std::map<DWORD, std::string>, NoCase> byFile;
};

// Built on first use: programs register their tables from static constructors.
MessageTables& Tables() {
  static MessageTables* tables = new MessageTables;
  return *tables;
}

std::shared_ptr<EventSource> FindSource(HANDLE handle) {
  return std::dynamic_pointer_cast<EventSource>(detail::FindHandle(handle));
}

std::string LogFile(const char* logName) { return MachineDirectory() + "/eventlog/" + logName + ".log"; }

// The message file's name that the source's registration gives; empty without one.
std::string MessageFileOf(const std::string& source) {
  std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return "";
  char path[1024] = "";
  DWORD size = sizeof(path) - 1;
  DWORD type = 0;
  LONG read =
      RegQueryValueExA(opened, "EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(opened);
  if (read != ERROR_SUCCESS) return "";
  std::string file(path, strnlen(path, size));
  size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string Describe(const std::string& source, DWORD eventId, const std::vector<std::string>& strings) {
  std::string message;
  bool found = false;
  {
    MessageTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.mutex);
    auto table = tables.byFile.find(MessageFileOf(source));
    if (table != tables.byFile.end()) {
      auto entry = table->second.find(eventId);
      if (entry != table->second.end()) {
        message = entry->second;
        found = true;
      }
    }
  }
  if (!found) {
    std::string joined;
    for (const std::string& text : strings) joined += (joined.empty() ? "" : " ") + text;
    return joined;
  }
  std::string described;
  for (size_t i = 0; i < message.size(); ++i) {
    const char next = i + 1 < message.size() ? message[i + 1] : '\0';
    if (message[i] == '%' && next >= '1' && next <= '9') {
      const size_t index = static_cast<size_t>(next - '1');
      described += index < strings.size() ? strings[index] : std::string("%") + next;
      ++i;
    } else {
      described += message[i];
    }
  }
  while (!described.empty() && (described.back() == '\n' || described.back() == '\r')) described.pop_back();
  return described;
}

// One field of a line: tabs, line ends and backslashes written as escapes, so a line is an event.
std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\n':
        escaped += "\\n";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string Unescaped(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char code = text[++i];
    plain += code == 't' ? '\t' : code == 'r' ? '\r' : code == 'n' ? '\n' : code;
  }
  return plain;
}

std::string UtcNow() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

// Appends the line with one write, which the system does not interleave with another process's.
bool AppendLine(const std::string& file, const std::string& line) {
  ::mkdir((MachineDirectory() + "/eventlog").c_str(), 0700);  // for the owner alone, as the machine directory
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  return written;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(Unescaped(line.substr(start, tab - start)));
  fields.push_back(Unescaped(line.substr(start)));
  return fields;
}

}  // namespace

HANDLE RegisterEventSourceA(LPCSTR server, LPCSTR source) {
  if (server != nullptr && server[0] != '\0' && std::string(server) != ".") {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
  }
  if (source == nullptr || source[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return detail::AddHandle(std::make_shared<EventSource>(source));
}

BOOL ReportEventA(HANDLE source, WORD type, WORD category, DWORD eventId, void*, WORD numStrings, DWORD,
                  LPCSTR* strings, void*) {
  std::shared_ptr<EventSource> found = FindSource(source);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (numStrings > 0 && strings == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::string> texts;
  for (WORD i = 0; i < numStrings; ++i) texts.emplace_back(strings[i] ? strings[i] : "");
  std::string line = UtcNow() + "\t" + Escaped(found->name) + "\t" + std::to_string(type) + "\t" +
                     std::to_string(category) + "\t" + std::to_string(eventId) + "\t" +
                     std::to_string(texts.size());
  for (const std::string& text : texts) line += "\t" + Escaped(text);
  line += "\t" + Escaped(Describe(found->name, eventId, texts)) + "\n";
  if (!AppendLine(LogFile("Application"), line)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

BOOL DeregisterEventSource(HANDLE source) {
  if (FindSource(source) == nullptr || !detail::RemoveHandle(source)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

void RegisterMessageTable(LPCSTR moduleFileName, const std::vector<MessageTableEntry>& entries) {
  MessageTables& tables = Tables();
  std::lock_guard<std::mutex> lock(tables.mutex);
  std::map<DWORD, std::string>& table = tables.byFile[moduleFileName ? moduleFileName : ""];
  table.clear();
  for (const MessageTableEntry& entry : entries) table[entry.id] = entry.text ? entry.text : "";
}

std::vector<EventRecord> ReadEventLog(LPCSTR logName) {
  std::vector<EventRecord> records;
  int fd = ::open(LogFile(logName ? logName : "Application").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return records;
  std::string content;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof(buffer))) > 0;)
    content.append(buffer, static_cast<size_t>(got));
  ::close(fd);
  size_t start = 0;
  for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
    std::vector<std::string> fields = Fields(content.substr(start, end - start));
    // A line that is not an event (a file edited by hand) is passed over.
    try {
      if (fields.size() < 7) continue;
      const size_t count = std::stoul(fields[5]);
      if (fields.size() != 7 + count) continue;
      records.push_back(EventRecord{
          fields[0], fields[1], static_cast<WORD>(std::stoul(fields[2])),
          static_cast<WORD>(std::stoul(fields[3])), static_cast<DWORD>(std::stoul(fields[4])),
          std::vector<std::string>(fields.begin() + 6, fields.begin() + 6 + static_cast<long>(count)),
          fields.back()});
    } catch (const std::logic_error&) {
    }
  }
  return records;
}

}  // namespace plat
