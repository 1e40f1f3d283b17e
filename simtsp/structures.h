// What a simulated line reports about itself in the telephony structures the host asks for.
#pragma once

#include "phone_system.h"
#include "tapi.h"

namespace simtsp {

// The media the simulated lines carry: voice only.
constexpr DWORD kLineMediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;
// The most parties one conference call holds.
constexpr DWORD kMaxConferenceParties = 3;

// True when the caller's buffer, by its dwTotalSize, holds the whole fixed part of the structure.
template <class Structure>
bool HoldsFixedPart(const Structure& structure) {
  return structure.dwTotalSize >= sizeof(Structure);
}

// Each fill keeps the caller's dwTotalSize, writes the fixed part and as much of the variable parts as
// fits, and sets dwNeededSize and dwUsedSize. The buffer must hold the fixed part.
void FillDevCaps(const Line& line, LINEDEVCAPS& caps);
void FillAddressCaps(const Line& line, LINEADDRESSCAPS& caps);
void FillLineDevStatus(const Line& line, const CallCounts& calls, LINEDEVSTATUS& status);
void FillAddressStatus(const CallCounts& calls, LINEADDRESSSTATUS& status);
// `features` are the call's LINECALLFEATURE_ operations in its present state.
void FillCallStatus(const Call& call, DWORD features, LINECALLSTATUS& status);
// `relatedCallId` is the call id of the call this one belongs with, or 0.
void FillCallInfo(const Call& call, DWORD relatedCallId, LINECALLINFO& info);

}  // namespace simtsp
