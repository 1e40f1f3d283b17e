// The event source of the service program in the event log "Application".
#pragma once

#include "debug_tools.h"
#include "plat/types.h"

namespace TOOLFUNC_service {

// Registers one event source when built and reports events under it; the registration outlives it.
class CEventLogger {
 public:
  // Registers `sourceName` with the message file `messageFile` in the system directory.
  CEventLogger(const char* sourceName, const char* messageFile);
  virtual ~CEventLogger();
  CEventLogger(const CEventLogger&) = delete;
  CEventLogger& operator=(const CEventLogger&) = delete;

  // Writes one event whose one insertion string is the printf text (at most 1023 characters). Not safe
  // for calls from several threads at once.
  void Report(plat::WORD type, plat::WORD category, plat::DWORD eventId, const char* format, ...)
      TOOLFUNC_PRINTF(5, 6);
  // Deletes the source's registration with all its subkeys.
  void Unregister();

 private:
  char m_szSourceName[plat::MAX_PATH];
};

}  // namespace TOOLFUNC_service

// The service program's event source "Velcora"; the removal tool has none.
extern TOOLFUNC_service::CEventLogger g_EventLogger;
