// How the simulated phone system moves its calls from state to state.
#pragma once

#include <string>

#include "config.h"
#include "phone_system.h"
#include "report.h"
#include "tapi.h"

namespace simtsp {

// Every operation checks its arguments against the calls as they are now and returns 0 or a LINEERR_
// code. With `reports` null it only checks, so the provider can refuse a request at once; otherwise it
// carries the operation out and appends what the host is to hear, in order. The host's requests are
// checked when they arrive and carried out when they complete: a check can pass and the later run fail
// when the calls changed in between, and a few faults (nobody to pick up, a closed destination) show
// only in the run. Nothing is changed by a run that fails.
//
// New calls a request creates (consultation and conference calls, the call of TSPI_lineMakeCall or
// TSPI_linePickup) exist, not started, from the request on; the run gets their handles.
class Switchboard {
 public:
  Switchboard(PhoneSystem& system, const Delays& delays) : m_system(system), m_delays(delays) {}

  // ---- New calls, not started: no reports until an operation starts them
  // A call from `line` to `destination` (may be empty: the caller dials later).
  Call& NewOutgoingCall(Line& line, HTAPICALL htCall, const std::string& destination);
  // A conference call on `line`, whose parties are CONFERENCED.
  Call& NewConferenceCall(Line& line, HTAPICALL htCall);
  // A call to pick another one up on `line`; it takes over the picked call's parties and ids.
  Call& NewPickupCall(Line& line, HTAPICALL htCall);
  // A call from outside the phone system with the caller's number `caller`, ringing `line`.
  Call& NewIncomingCall(Line& line, const std::string& caller);

  // ---- The host's requests
  LONG MakeCall(HDRVCALL call, Reports* reports);
  LONG Accept(HDRVCALL call, Reports* reports);
  LONG Answer(HDRVCALL call, Reports* reports);
  LONG Drop(HDRVCALL call, Reports* reports);
  LONG Hold(HDRVCALL call, Reports* reports);
  LONG Unhold(HDRVCALL call, Reports* reports);
  LONG SwapHold(HDRVCALL active, HDRVCALL held, Reports* reports);
  LONG Dial(HDRVCALL call, const std::string& digits, Reports* reports);
  LONG Redirect(HDRVCALL call, const std::string& destination, Reports* reports);
  LONG BlindTransfer(HDRVCALL call, const std::string& destination, Reports* reports);
  LONG SetupTransfer(HDRVCALL call, HDRVCALL consultation, Reports* reports);
  LONG CompleteTransfer(HDRVCALL call, HDRVCALL consultation, DWORD transferMode, HDRVCALL conference,
                        Reports* reports);
  // `call` may be 0: the conference then starts without a first party.
  LONG SetupConference(HDRVCALL call, HDRVCALL conference, HDRVCALL consultation, DWORD numParties,
                       Reports* reports);
  LONG PrepareAddToConference(HDRVCALL conference, HDRVCALL consultation, Reports* reports);
  LONG AddToConference(HDRVCALL conference, HDRVCALL consultation, Reports* reports);
  LONG RemoveFromConference(HDRVCALL call, Reports* reports);
  // Takes over a call ringing at the line whose address is `destination` (any other line for an empty
  // one); nobody to pick up fails the run with LINEERR_OPERATIONFAILED.
  LONG Pickup(HDRVCALL pickupCall, const std::string& destination, Reports* reports);

  // ---- The phone system's own doings
  // Rings the line of a new incoming call: LINE_NEWCALL and OFFERING.
  LONG Offer(HDRVCALL call, Reports* reports);
  // The party outside that a call is going out to answers now.
  LONG RemoteAnswer(HDRVCALL call, Reports* reports);
  // The party outside hangs up: DISCONNECTED, until the host drops the call.
  LONG RemoteHangup(HDRVCALL call, Reports* reports);
  // A step of a call that moves on by itself (dial tone, dialling, ...), due now.
  void Advance(HDRVCALL call, DWORD expectedState, Reports& reports);
  // Unties a call that has been taken out of the phone system (closed, or its line closed or removed)
  // from every call it was tied to; its far end hears it hang up.
  void Release(Call& call, Reports& reports);

  // ---- What the status structures tell
  // The LINECALLFEATURE_ operations the call takes in its present state.
  DWORD Features(const Call& call) const;
  // The call id of the call this one belongs with: its far end, the call it consults for, or its conference.
  DWORD RelatedCallId(const Call& call) const;

 private:
  // A call in one of `fromStates` goes to `toState`; the shape of accept, hold and unhold.
  LONG Move(HDRVCALL handle, DWORD fromStates, DWORD toState, Reports* reports);
  // The call `handle` when it exists (else LINEERR_INVALCALLHANDLE) and is in one of `states` (else
  // LINEERR_INVALCALLSTATE); a call not started yet is in none of them.
  LONG Expect(HDRVCALL handle, DWORD states, Call*& call);
  // Like Expect, for a conference call.
  LONG ExpectConference(HDRVCALL handle, DWORD states, Call*& conference);
  Call* Find(HDRVCALL handle) { return handle == 0 ? nullptr : m_system.FindCall(handle); }
  const Call* Find(HDRVCALL handle) const { return handle == 0 ? nullptr : m_system.FindCall(handle); }

  // The call enters `state` with the mode that goes with it.
  void Enter(Call& call, DWORD state, Reports& reports);
  void Disconnect(Call& call, DWORD disconnectMode, Reports& reports);
  void SetConnectedId(Call& call, const std::string& id, Reports& reports);
  // Schedules the call's next step when it moves on by itself from its present state.
  void Continue(const Call& call, Reports& reports);
  // The outgoing call reaches its destination: a line of this system rings (or is busy), or the call
  // goes outside.
  void Route(Call& call, Reports& reports);
  // A new call ringing `line`, announced with LINE_NEWCALL.
  Call& Ring(Line& line, const std::string& callerId, DWORD origin, DWORD reason, Reports& reports);
  // `answered` has just been connected: its far end, still ringing back, connects too.
  void ConnectFarEnd(const Call& answered, Reports& reports);
  // Ends this call here: DISCONNECTED (unless it is already), IDLE, and untied.
  void HangUp(Call& call, Reports& reports);
  // The other end of `call` has hung up.
  void FarEndGone(Call& call, Reports& reports);
  // Hands the party at the other end of `from` over to `to`, which takes `from`'s place.
  void MoveParty(Call& from, Call& to);
  // The party at the other end of `from` is put through to `number` outside the phone system.
  void HandPartyOutside(Call& from, Call& party, const std::string& number);
  // Connects the parties at the other ends of two calls with each other; both calls lose them.
  void JoinParties(Call& first, Call& second, Reports& reports);
  // The address or number of whoever is at the other end of the call; empty when nobody is.
  std::string PartyAddress(const Call& call) const;
  DWORD CountParties(HDRVCALL conference) const;
  // True when another call on `line` is in one of `states`.
  bool LineHasCallIn(const Line& line, DWORD states, HDRVCALL except) const;

  PhoneSystem& m_system;
  const Delays& m_delays;
};

}  // namespace simtsp
