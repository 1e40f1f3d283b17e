// The event source of the service program in the event log "Application".
#include "event_logger.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "path_tools.h"
#include "plat/error.h"
#include "plat/eventlog.h"
#include "plat/machine.h"
#include "plat/registry.h"
#include "registry_tool.h"
#include "string_tools.h"

namespace TOOLFUNC_service {
namespace {

// The source's key under HKEY_LOCAL_MACHINE, at most 258 characters. False for a name that does not fit,
// since a cut path would name another source's key, and for an empty one, which would name the log's own
// key with every source under it.
bool SourceKeyPath(const char* sourceName, char* path) {
  static const char kApplicationLog[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
  if (sourceName[0] == '\0' || std::strlen(kApplicationLog) + std::strlen(sourceName) > 258) return false;
  std::strcpy(path, kApplicationLog);
  std::strcat(path, sourceName);
  return true;
}

}  // namespace

CEventLogger::CEventLogger(const char* sourceName, const char* messageFile) {
  TOOLFUNC_string::CopyBounded(m_szSourceName, sourceName ? sourceName : "", TOOLFUNC_file::kPathCapacity);
  char keyPath[plat::MAX_PATH];
  if (!SourceKeyPath(m_szSourceName, keyPath)) return;
  // A message file the path cannot hold is not registered at all: a cut or bare name would make the
  // event viewer read some other file's messages.
  char messagePath[plat::MAX_PATH];
  if (!TOOLFUNC_file::GetSystemFilePath(messageFile, messagePath)) return;

  TOOLFUNC_registry::CRegTool key;
  if (key.Open(plat::HKEY_LOCAL_MACHINE, keyPath) != plat::ERROR_SUCCESS) return;
  // Under an account that may only read the key these fail, and the registration stays as it was.
  key.WriteDword("CategoryCount", 1);
  key.WriteDword("TypesSupported", 7);
  key.WriteString("EventMessageFile", messagePath);
  key.WriteString("ParameterMessageFile", messagePath);
  key.Close();
}

CEventLogger::~CEventLogger() = default;

void CEventLogger::Report(plat::WORD type, plat::WORD category, plat::DWORD eventId, const char* format,
                          ...) {
  plat::HANDLE source = plat::RegisterEventSourceA(nullptr, m_szSourceName);
  if (source == nullptr) return;
  static char text[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, 1024, format, arguments);
  va_end(arguments);
  const char* strings[] = {text};
  plat::ReportEventA(source, type, category, eventId, nullptr, 1, 0, strings, nullptr);
  plat::DeregisterEventSource(source);
}

void CEventLogger::Unregister() {
  char keyPath[plat::MAX_PATH];
  if (!SourceKeyPath(m_szSourceName, keyPath)) return;
  TOOLFUNC_registry::CRegTool key;
  if (key.Open(plat::HKEY_LOCAL_MACHINE, keyPath) != plat::ERROR_SUCCESS) return;
  key.DeleteKeyRecursive(plat::HKEY_LOCAL_MACHINE, keyPath);
  key.Close();
}

}  // namespace TOOLFUNC_service
