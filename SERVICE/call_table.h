// One call the service knows of, and the size of the table that holds them.
#pragma once

#include "plat/types.h"

class CLineObject;

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
