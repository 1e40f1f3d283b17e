// One call the service knows of, the size of the table that holds them, and the rule for locking it.
#pragma once

#include "plat/types.h"

class CLineObject;

// The table's lock is CServiceWindow::m_csTapiCall. Besides the main thread (client commands, posted
// provider events) the provider's threads use the table: the LINE_NEWCALL callback enters a call and
// the completion callback settles a creating request.
// - A provider thread holds the lock for all it does here, and does only this: it reads DrvBaseCall,
//   TapiCall, DrvClientCall, dwCreation and dwCreatingRequest of any entry, fills a free entry, and
//   changes dwCreation of a pending one. It uses the counters and the creating request in hand, and
//   reads the line list's links and the lines' htLine, under the same lock.
// - Only the main thread frees an entry, so one it has found used holds the same call until it frees it
//   itself. Without the lock it may read any field of such an entry but dwCreation and
//   dwCreatingRequest, and write bNewCallSent, dwOrigin, dwCallState, dwCallID and the checksums.
// - All else takes the lock on the main thread too: reading a free entry or one not found used, touching
//   dwCreation or dwCreatingRequest, filling and clearing entries (the only changes of the fields a
//   provider thread reads), the counters, and changing the line list's links or a line's htLine.
// This is safe: besides dwCreation a provider thread writes only free entries, which the main thread
// reads only under the lock, and nothing a provider thread reads changes outside it. No provider call
// and no send is made under the lock; m_csLineList may be held around it.
struct CallRecord {
  plat::DWORD TapiCall;        // the service's handle of the call, as the provider knows it
  plat::DWORD ClientTapiCall;  // the same for a call the client made; 0 for one the provider announced
  plat::DWORD DrvBaseCall;     // the provider's handle of the call; 0 marks a free entry
  plat::DWORD DrvClientCall;   // the client's number of the call
  plat::BOOL bNewCallSent;
  CLineObject* pLine;  // not owned
  plat::DWORD dwOrigin;
  plat::DWORD dwCallState;
  plat::DWORD dwCallID;
  plat::DWORD dwStatusChecksum;
  plat::DWORD dwInfoChecksum;
  // Where the creating request that entered the call stands (kCreation...), and its identifier.
  plat::DWORD dwCreation;
  plat::DWORD dwCreatingRequest;
};

// A creating request's call is pending until the request completes; a failed completion means the
// provider never made the call, and the main thread frees its entry.
enum : plat::DWORD { kCreationSettled = 0, kCreationPending = 1, kCreationFailed = 2 };

constexpr int kCallTableSize = 1024;
