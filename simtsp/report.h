// What the phone system has to tell the host about its calls, gathered under the provider's lock.
#pragma once

#include <chrono>
#include <vector>

#include "tapi.h"

namespace simtsp {

// One thing to tell or do once the lock is released. A report names its call by handle only: the
// line, its callback and the host's handles are looked up when it is delivered, so a report about a
// call or line that has gone in the meantime is dropped instead of reaching a host that closed it.
struct Report {
  enum class Kind {
    kCallEvent,  // `message` with the three parameters to the call's line, with the call's htCall
    kNewCall,    // LINE_NEWCALL for the call; the host writes its htCall back
    kStep,       // the call moves on by itself after `delay`, if it is then still in `expectedState`
  };

  static Report CallEvent(HDRVCALL call, DWORD message, DWORD_PTR param1, DWORD_PTR param2,
                          DWORD_PTR param3) {
    return {Kind::kCallEvent, call, message, param1, param2, param3, 0, {}};
  }
  static Report NewCall(HDRVCALL call) { return {Kind::kNewCall, call, LINE_NEWCALL, 0, 0, 0, 0, {}}; }
  static Report Step(HDRVCALL call, DWORD expectedState, std::chrono::milliseconds delay) {
    return {Kind::kStep, call, 0, 0, 0, 0, expectedState, delay};
  }

  Kind kind;
  HDRVCALL call;
  DWORD message;
  DWORD_PTR param1;
  DWORD_PTR param2;
  DWORD_PTR param3;
  DWORD expectedState;
  std::chrono::milliseconds delay;
};

using Reports = std::vector<Report>;

}  // namespace simtsp
