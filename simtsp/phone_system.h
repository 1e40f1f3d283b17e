// The simulated phone system's state: its line devices, the calls on them, and lines not yet numbered.
#pragma once

#include <list>
#include <map>
#include <string>
#include <vector>

#include "config.h"
#include "tapi.h"

namespace simtsp {

// One line device with its single address (address id 0).
struct Line {
  DWORD deviceId = 0;
  DWORD permanentId = 0;  // stays with the line whatever device id the host gives it
  LineSetting setting;

  // What the host set up while the line is open; all 0 while it is closed.
  HDRVLINE hdLine = 0;
  HTAPILINE htLine = 0;
  LINEEVENT events = nullptr;
  DWORD lineStates = 0;     // LINEDEVSTATE_ changes the host wants to hear of
  DWORD addressStates = 0;  // LINEADDRESSSTATE_ changes the host wants to hear of
  DWORD detectedMediaModes = 0;

  // The LINEFORWARDLIST of the last TSPI_lineForward, byte for byte; empty when forwarding was never
  // set or was cancelled.
  std::vector<unsigned char> forwardList;

  bool IsOpen() const { return hdLine != 0; }
};

// The state a call has before the phone system first reports one; it reads as idle.
constexpr DWORD kNotStarted = 0;

// One call on a line. A call and the calls it is tied to (its far end, its conference, the call it
// consults for) name each other by handle, so a call that goes away leaves no dangling reference.
struct Call {
  HDRVCALL hdCall = 0;
  HTAPICALL htCall = 0;  // the host's handle: given with the request, or written back on LINE_NEWCALL
  Line* line = nullptr;
  DWORD state = kNotStarted;
  DWORD stateMode = 0;
  DWORD origin = 0;  // LINECALLORIGIN_
  DWORD reason = LINECALLREASON_DIRECT;
  DWORD callId = 0;  // unique in the phone system, never 0
  std::string callerId;
  std::string calledId;
  std::string connectedId;

  HDRVCALL farEnd = 0;         // the other end, when it is a call on a line of this phone system
  bool outsideParty = false;   // the other end is outside the phone system
  std::string outsideAddress;  // that party's number
  bool isConference = false;   // the conference call itself, whose parties are CONFERENCED
  HDRVCALL conference = 0;     // the conference this call is a party of
  HDRVCALL consultFor = 0;     // the held call or the conference this consultation call was set up for
};

// How many calls of a line are in which kind of state, as the status structures count them.
struct CallCounts {
  DWORD active = 0;  // neither idle nor held
  DWORD onHold = 0;
  DWORD onHoldPending = 0;  // held pending a transfer or a conference
};

// The state only; the provider serialises every access under its own lock.
class PhoneSystem {
 public:
  // Replaces every line, open or pending, by the configured ones: closed, device ids 0, 1, ...; no calls.
  void Reset(const std::vector<LineSetting>& lines);
  DWORD LineCount() const { return static_cast<DWORD>(m_lines.size()); }
  // Gives the lines the device ids base, base + 1, ... in their order.
  void NumberLines(DWORD deviceIdBase);

  Line* FindByDeviceId(DWORD deviceId);
  Line* FindByHandle(HDRVLINE hdLine);
  // The line whose address is `address`; null for an empty or unknown address.
  Line* FindByAddress(const std::string& address);

  // Opens the line for the host and returns its new handle: never 0, never handed out before.
  HDRVLINE Open(Line& line, HTAPILINE htLine, LINEEVENT events);
  // Forgets what the host set up on the line; its calls must be gone first.
  void Close(Line& line);
  // Closes every line, forgets every call and the pending lines: what the host set up ends with the provider.
  void CloseAll();
  // Forgets the line; its calls must be gone first.
  void RemoveLine(Line& line);

  // A line that appears while the provider runs waits under a temporary id, never 0, until the host
  // gives it a device id.
  DWORD_PTR AddPendingLine(const LineSetting& setting);
  // Makes the pending line a line device with `deviceId`; false for an unknown temporary id.
  bool AdoptPendingLine(DWORD_PTR tempId, DWORD deviceId);

  // A new call on `line`, not started, with its own handle and call id.
  Call& AddCall(Line& line, HTAPICALL htCall, DWORD origin);
  // A call handle that no call will ever have, for a request that is to fail.
  HDRVCALL SpareCallHandle() { return m_nextCallHandle++; }
  Call* FindCall(HDRVCALL hdCall);
  void RemoveCall(HDRVCALL hdCall);
  // The handles of the calls on `line`, oldest first.
  std::vector<HDRVCALL> CallsOn(const Line& line) const;
  CallCounts CountCalls(const Line& line) const;
  const std::map<HDRVCALL, Call>& Calls() const { return m_calls; }

  // A completion id for TSPI_lineCompleteCall: never 0, never handed out twice.
  DWORD NextCompletionId() { return m_nextCompletionId++; }

 private:
  std::list<Line> m_lines;  // a list, so a Line found stays where it is while lines come and go
  std::map<DWORD_PTR, LineSetting> m_pending;
  std::map<HDRVCALL, Call> m_calls;  // a map: its elements stay where they are, and it lists them in order
  // Handles start far from the small device ids and from each other, so a host that mixes them up is caught.
  HDRVLINE m_nextHandle = 0x00010001;
  HDRVCALL m_nextCallHandle = 0x00020001;
  DWORD m_nextCallId = 1;
  DWORD m_nextCompletionId = 1;
  DWORD m_nextPermanentId = 1;
  DWORD_PTR m_nextTempId = 1;
};

}  // namespace simtsp
