// The calls of the simulated phone system that change hands: redirect, transfer, conference, pickup.
#include <vector>

#include "call_states.h"
#include "structures.h"
#include "switchboard.h"

namespace simtsp {

LONG Switchboard::Redirect(HDRVCALL handle, const std::string& destination, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED, call)) return fault;
  if (destination.empty()) return Failure(LINEERR_INVALADDRESS);
  if (reports == nullptr) return 0;
  Line* target = m_system.FindByAddress(destination);
  if (target != nullptr && !target->IsOpen()) return Failure(LINEERR_OPERATIONFAILED);

  Enter(*call, LINECALLSTATE_IDLE, *reports);
  if (target != nullptr) {
    Call& ringing = Ring(*target, call->callerId, call->origin, LINECALLREASON_REDIRECT, *reports);
    MoveParty(*call, ringing);
  } else if (Call* caller = Find(call->farEnd)) {
    // The caller now rings a number outside, which answers after the usual delay.
    HandPartyOutside(*call, *caller, destination);
    Continue(*caller, *reports);
  }
  Release(*call, *reports);
  return 0;
}

LONG Switchboard::BlindTransfer(HDRVCALL handle, const std::string& destination, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, LINECALLSTATE_CONNECTED, call)) return fault;
  if (call->isConference) return Failure(LINEERR_INVALCALLSTATE);
  if (destination.empty()) return Failure(LINEERR_INVALADDRESS);
  if (reports == nullptr) return 0;
  Line* target = m_system.FindByAddress(destination);
  if (target != nullptr && !target->IsOpen()) return Failure(LINEERR_OPERATIONFAILED);

  Call* party = Find(call->farEnd);
  DWORD origin = party != nullptr ? LINECALLORIGIN_INTERNAL : LINECALLORIGIN_EXTERNAL;
  std::string partyAddress = PartyAddress(*call);
  Enter(*call, LINECALLSTATE_IDLE, *reports);
  if (target != nullptr) {
    Call& ringing = Ring(*target, partyAddress, origin, LINECALLREASON_TRANSFER, *reports);
    MoveParty(*call, ringing);
  } else if (party != nullptr) {
    HandPartyOutside(*call, *party, destination);
    SetConnectedId(*party, destination, *reports);
  }
  Release(*call, *reports);
  return 0;
}

LONG Switchboard::SetupTransfer(HDRVCALL handle, HDRVCALL consultationHandle, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, LINECALLSTATE_CONNECTED, call)) return fault;
  if (call->isConference) return Failure(LINEERR_INVALCALLSTATE);
  if (reports == nullptr) return 0;
  Call* consultation = Find(consultationHandle);
  if (consultation == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  Enter(*call, LINECALLSTATE_ONHOLDPENDTRANSFER, *reports);
  consultation->consultFor = handle;
  Enter(*consultation, LINECALLSTATE_DIALTONE, *reports);
  return 0;
}

LONG Switchboard::CompleteTransfer(HDRVCALL handle, HDRVCALL consultationHandle, DWORD transferMode,
                                   HDRVCALL conferenceHandle, Reports* reports) {
  Call* call = Find(handle);
  Call* consultation = Find(consultationHandle);
  if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (consultation == nullptr || consultation == call || consultation->line != call->line) {
    return Failure(LINEERR_INVALCONSULTCALLHANDLE);
  }
  if (transferMode != LINETRANSFERMODE_TRANSFER && transferMode != LINETRANSFERMODE_CONFERENCE) {
    return Failure(LINEERR_INVALTRANSFERMODE);
  }
  // One of the two is held while the other reaches its party; which one, SwapHold may have changed.
  constexpr DWORD kWaiting = LINECALLSTATE_ONHOLDPENDTRANSFER | LINECALLSTATE_ONHOLD;
  bool paired = (In(call->state, kWaiting) && In(consultation->state, kReachingStates)) ||
                (In(consultation->state, kWaiting) && In(call->state, kReachingStates));
  if (!paired || call->isConference || consultation->isConference || call->conference != 0 ||
      consultation->conference != 0) {
    return Failure(LINEERR_INVALCALLSTATE);
  }
  if (reports == nullptr) return 0;

  if (transferMode == LINETRANSFERMODE_TRANSFER) {
    JoinParties(*call, *consultation, *reports);
    Enter(*call, LINECALLSTATE_IDLE, *reports);
    Enter(*consultation, LINECALLSTATE_IDLE, *reports);
    Release(*call, *reports);
    Release(*consultation, *reports);
    return 0;
  }
  Call* conference = Find(conferenceHandle);
  if (conference == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  Enter(*conference, LINECALLSTATE_CONNECTED, *reports);
  for (Call* party : {call, consultation}) {
    party->consultFor = 0;
    party->conference = conferenceHandle;
    Enter(*party, LINECALLSTATE_CONFERENCED, *reports);
  }
  return 0;
}

LONG Switchboard::SetupConference(HDRVCALL handle, HDRVCALL conferenceHandle, HDRVCALL consultationHandle,
                                  DWORD numParties, Reports* reports) {
  Call* call = nullptr;
  if (handle != 0) {
    if (LONG fault = Expect(handle, LINECALLSTATE_CONNECTED, call)) return fault;
    if (call->isConference) return Failure(LINEERR_INVALCALLSTATE);
  }
  if (numParties > kMaxConferenceParties) return Failure(LINEERR_CONFERENCEFULL);
  if (reports == nullptr) return 0;
  Call* conference = Find(conferenceHandle);
  Call* consultation = Find(consultationHandle);
  if (conference == nullptr || consultation == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  Enter(*conference, LINECALLSTATE_ONHOLDPENDCONF, *reports);
  if (call != nullptr) {
    call->conference = conferenceHandle;
    Enter(*call, LINECALLSTATE_CONFERENCED, *reports);
  }
  consultation->consultFor = conferenceHandle;
  Enter(*consultation, LINECALLSTATE_DIALTONE, *reports);
  return 0;
}

LONG Switchboard::PrepareAddToConference(HDRVCALL conferenceHandle, HDRVCALL consultationHandle,
                                         Reports* reports) {
  Call* conference;
  if (LONG fault = ExpectConference(conferenceHandle, LINECALLSTATE_CONNECTED, conference)) return fault;
  if (CountParties(conferenceHandle) >= kMaxConferenceParties) return Failure(LINEERR_CONFERENCEFULL);
  if (reports == nullptr) return 0;
  Call* consultation = Find(consultationHandle);
  if (consultation == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  Enter(*conference, LINECALLSTATE_ONHOLDPENDCONF, *reports);
  consultation->consultFor = conferenceHandle;
  Enter(*consultation, LINECALLSTATE_DIALTONE, *reports);
  return 0;
}

LONG Switchboard::AddToConference(HDRVCALL conferenceHandle, HDRVCALL consultationHandle, Reports* reports) {
  Call* conference;
  constexpr DWORD kReadyToAdd = LINECALLSTATE_ONHOLDPENDCONF | LINECALLSTATE_ONHOLD;
  if (LONG fault = ExpectConference(conferenceHandle, kReadyToAdd, conference)) return fault;
  Call* consultation;
  if (LONG fault = Expect(consultationHandle, kReachingStates | LINECALLSTATE_ONHOLD, consultation))
    return fault;
  if (consultation->isConference || consultation->conference != 0 || consultation->line != conference->line) {
    return Failure(LINEERR_INVALCALLHANDLE);
  }
  if (CountParties(conferenceHandle) >= kMaxConferenceParties) return Failure(LINEERR_CONFERENCEFULL);
  if (reports == nullptr) return 0;
  consultation->consultFor = 0;
  consultation->conference = conferenceHandle;
  Enter(*consultation, LINECALLSTATE_CONFERENCED, *reports);
  Enter(*conference, LINECALLSTATE_CONNECTED, *reports);
  return 0;
}

// The party leaves the conference for good: its call ends here and its far end hears it hang up.
LONG Switchboard::RemoveFromConference(HDRVCALL handle, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, LINECALLSTATE_CONFERENCED, call)) return fault;
  if (reports == nullptr) return 0;
  call->conference = 0;
  Enter(*call, LINECALLSTATE_IDLE, *reports);
  Release(*call, *reports);
  return 0;
}

LONG Switchboard::Pickup(HDRVCALL pickupHandle, const std::string& destination, Reports* reports) {
  if (reports == nullptr) return 0;
  Call* pickup = Find(pickupHandle);
  if (pickup == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  Line* target = m_system.FindByAddress(destination);
  Call* ringing = nullptr;
  for (const auto& entry : m_system.Calls()) {
    const Call& candidate = entry.second;
    bool atTarget = destination.empty() ? candidate.line != pickup->line : candidate.line == target;
    if (atTarget && candidate.state == LINECALLSTATE_OFFERING) {
      ringing = Find(entry.first);
      break;
    }
  }
  if (ringing == nullptr || ringing->line == pickup->line) return Failure(LINEERR_OPERATIONFAILED);

  pickup->origin = ringing->origin;
  pickup->reason = LINECALLREASON_PICKUP;
  pickup->callerId = ringing->callerId;
  pickup->calledId = ringing->calledId;
  MoveParty(*ringing, *pickup);
  Enter(*ringing, LINECALLSTATE_IDLE, *reports);
  Release(*ringing, *reports);
  Enter(*pickup, LINECALLSTATE_CONNECTED, *reports);
  SetConnectedId(*pickup, PartyAddress(*pickup), *reports);
  ConnectFarEnd(*pickup, *reports);
  return 0;
}

void Switchboard::MoveParty(Call& from, Call& to) {
  Call* party = Find(from.farEnd);
  if (party != nullptr) party->farEnd = to.hdCall;
  to.farEnd = party != nullptr ? party->hdCall : 0;
  to.outsideParty = from.outsideParty;
  to.outsideAddress = from.outsideAddress;
  from.farEnd = 0;
  from.outsideParty = false;
}

void Switchboard::HandPartyOutside(Call& from, Call& party, const std::string& number) {
  from.farEnd = 0;
  party.farEnd = 0;
  party.outsideParty = true;
  party.outsideAddress = number;
}

void Switchboard::JoinParties(Call& first, Call& second, Reports& reports) {
  Call* firstParty = Find(first.farEnd);
  Call* secondParty = Find(second.farEnd);
  // Each party takes over the other call's end: a line's call, or the number outside.
  if (firstParty != nullptr) MoveParty(second, *firstParty);
  if (secondParty != nullptr) MoveParty(first, *secondParty);
  first.farEnd = second.farEnd = 0;
  first.outsideParty = second.outsideParty = false;
  // A party still ringing learns whom it is connected with when it answers.
  for (Call* party : {firstParty, secondParty}) {
    if (party != nullptr && party->state == LINECALLSTATE_CONNECTED) {
      SetConnectedId(*party, PartyAddress(*party), reports);
    }
  }
}

DWORD Switchboard::CountParties(HDRVCALL conference) const {
  DWORD parties = 0;
  for (const auto& entry : m_system.Calls()) {
    if (entry.second.conference == conference) ++parties;
  }
  return parties;
}

}  // namespace simtsp
