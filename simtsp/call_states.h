// Groups of call states the phone system treats alike, and the test whether a call is in one of them.
#pragma once

#include "phone_system.h"
#include "tapi.h"

namespace simtsp {

constexpr DWORD kHeldStates =
    LINECALLSTATE_ONHOLD | LINECALLSTATE_ONHOLDPENDTRANSFER | LINECALLSTATE_ONHOLDPENDCONF;
constexpr DWORD kEndedStates = LINECALLSTATE_DISCONNECTED | LINECALLSTATE_IDLE;
// Every state a call can be dropped from: all but idle.
constexpr DWORD kLiveStates = 0xFFFF & ~LINECALLSTATE_IDLE;
// A consultation call that has reached, or is reaching, its party.
constexpr DWORD kReachingStates = LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK | LINECALLSTATE_CONNECTED;

// True when `state` is one of `states`; a call not started yet is in none.
constexpr bool In(DWORD state, DWORD states) { return state != kNotStarted && (state & states) != 0; }

// A LINEERR_ code as the result of an entry point.
constexpr LONG Failure(DWORD lineError) { return static_cast<LONG>(lineError); }

}  // namespace simtsp
