// CServiceWindow: the service program's one central object and the process-wide state it drives.
#pragma once

#include "call_table.h"
#include "line_object.h"
#include "plat/sync.h"
#include "plat/types.h"

class CServiceWindow {
 public:
  // ---- call table and handle counters --------------------------------------------------------
  // The position of the call's entry (an existing one for a known provider handle), -1 when the table
  // is full or the provider handle is 0.
  static int InsertCall(CLineObject* pLine, plat::DWORD DrvBaseCall, plat::DWORD DrvClientCall,
                        plat::DWORD TapiCall, plat::DWORD ClientTapiCall, plat::DWORD dwOrigin);
  static void RemoveDrvBaseCall(plat::DWORD DrvBaseCall);
  static void RemoveTapiCall(plat::DWORD TapiCall);
  // Positions of the first used entry whose field equals the key, else -1.
  static int GetPosFromTapiCall(plat::DWORD TapiCall);
  static int GetPosFromDrvClientCall(plat::DWORD DrvClientCall);
  static int GetPosFromDrvBaseCall(plat::DWORD DrvBaseCall);
  // A new service call handle: 4, 8, ... 0x7FFC, then 4 again.
  static plat::DWORD IncrementTapiCall();
  // The current client number for a call the provider announces; the next one is never 0 nor a number
  // a call in the table still has.
  static plat::DWORD IncrementDrvCall();
  // Clears the entries of the calls on `line`: a closed or removed line keeps no calls.
  static void ClearCallsOfLine(const CLineObject* line);

  static CallRecord CallTable[kCallTableSize];
  static plat::DWORD m_dwNextTapiCall;
  static plat::DWORD m_dwNextDrvCall;

  // ---- structure buffer and structure text --------------------------------------------------------
  static constexpr plat::DWORD kStructBufferSize = 16384;
  // Clears the structure buffer and sets its dwTotalSize, ready for one provider query.
  static void* PrepareStructBuffer();
  // The variable part of a structure as ANSI text (UTF-16 when its second byte is 0), in a buffer the
  // next call overwrites. Offsets and sizes the provider wrote are kept inside the structure buffer.
  static char* GetStructText(const void* structure, plat::DWORD offset, plat::DWORD size);
  // The destination of forward entry `index` of the list at `listOffset`.
  static char* GetStructForward(const void* structure, plat::DWORD index, plat::DWORD listOffset);

  alignas(8) static unsigned char m_StructBuffer[kStructBufferSize];
  // One more than the 4096 characters of the text: the bounded copy writes a second terminator.
  static char m_szStructText[4096 + 1];
  static char m_szStructForward[1024];

  // ---- locks and the line list -------------------------------------------------------------------
  // The line objects and the handling of one provider event; taken before m_csSend.
  static plat::CRITICAL_SECTION m_csLineList;
  // The call table and its counters; nothing else is taken under it.
  static plat::CRITICAL_SECTION m_csTapiCall;
  // One line sent to the client; always the innermost lock.
  static plat::CRITICAL_SECTION m_csSend;
  static CLineObject* m_pLineRoot;
};

// The switches of the settings file.
extern plat::BOOL g_bFeatureOrigin;
extern plat::BOOL g_bFeatureFilterFeatures;
extern plat::BOOL g_bFeatureRefreshStatus;
