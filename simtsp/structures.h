// What a simulated line reports about itself in the telephony structures the host asks for.
#pragma once

#include "phone_system.h"
#include "tapi.h"

namespace simtsp {

// The media the simulated lines carry: voice only.
constexpr DWORD kLineMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;

// True when the caller's buffer, by its dwTotalSize, holds the whole fixed part of the structure.
template <class Structure>
bool HoldsFixedPart(const Structure& structure) {
  return structure.dwTotalSize >= sizeof(Structure);
}

// Each fill keeps the caller's dwTotalSize, writes the fixed part and as much of the variable parts as
// fits, and sets dwNeededSize and dwUsedSize. The buffer must hold the fixed part. Without calls, the
// status of an address is the same for every line.
void FillDevCaps(const Line& line, LINEDEVCAPS& caps);
void FillAddressCaps(const Line& line, LINEADDRESSCAPS& caps);
void FillLineDevStatus(const Line& line, LINEDEVSTATUS& status);
void FillAddressStatus(LINEADDRESSSTATUS& status);

}  // namespace simtsp
