// The calls of the simulated phone system: making, ringing, answering, holding and ending them.
#include "switchboard.h"

#include <vector>

#include "call_states.h"
#include "structures.h"

namespace simtsp {
namespace {

// The mode of a LINE_CALLSTATE for the state (DISCONNECTED has its own); CONFERENCED carries the
// conference's htCall instead.
DWORD ModeOf(DWORD state) {
  switch (state) {
    case LINECALLSTATE_OFFERING:
      return LINEOFFERINGMODE_ACTIVE;
    case LINECALLSTATE_DIALTONE:
      return LINEDIALTONEMODE_NORMAL;
    case LINECALLSTATE_BUSY:
      return LINEBUSYMODE_STATION;
    case LINECALLSTATE_CONNECTED:
      return LINECONNECTEDMODE_ACTIVE;
    default:
      return 0;
  }
}

}  // namespace

Call& Switchboard::NewOutgoingCall(Line& line, HTAPICALL htCall, const std::string& destination) {
  Call& call = m_system.AddCall(line, htCall, LINECALLORIGIN_OUTBOUND);
  call.callerId = line.setting.address;
  call.calledId = destination;
  return call;
}

Call& Switchboard::NewConferenceCall(Line& line, HTAPICALL htCall) {
  Call& call = m_system.AddCall(line, htCall, LINECALLORIGIN_CONFERENCE);
  call.isConference = true;
  call.callerId = line.setting.address;
  return call;
}

// Its origin is unknown until it has a call to take over, which happens before its first state.
Call& Switchboard::NewPickupCall(Line& line, HTAPICALL htCall) {
  return m_system.AddCall(line, htCall, LINECALLORIGIN_UNKNOWN);
}

Call& Switchboard::NewIncomingCall(Line& line, const std::string& caller) {
  Call& call = m_system.AddCall(line, 0, LINECALLORIGIN_EXTERNAL);
  call.callerId = caller;
  call.calledId = line.setting.address;
  call.outsideParty = true;
  call.outsideAddress = caller;
  return call;
}

LONG Switchboard::MakeCall(HDRVCALL handle, Reports* reports) {
  Call* call = Find(handle);
  if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (call->state != kNotStarted) return Failure(LINEERR_INVALCALLSTATE);
  if (reports != nullptr) Continue(*call, *reports);
  return 0;
}

LONG Switchboard::Offer(HDRVCALL handle, Reports* reports) {
  Call* call = Find(handle);
  if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (call->state != kNotStarted) return Failure(LINEERR_INVALCALLSTATE);
  if (reports == nullptr) return 0;
  reports->push_back(Report::NewCall(handle));
  Enter(*call, LINECALLSTATE_OFFERING, *reports);
  return 0;
}

LONG Switchboard::Move(HDRVCALL handle, DWORD fromStates, DWORD toState, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, fromStates, call)) return fault;
  if (reports != nullptr) Enter(*call, toState, *reports);
  return 0;
}

LONG Switchboard::Accept(HDRVCALL handle, Reports* reports) {
  return Move(handle, LINECALLSTATE_OFFERING, LINECALLSTATE_ACCEPTED, reports);
}

LONG Switchboard::Answer(HDRVCALL handle, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, LINECALLSTATE_OFFERING | LINECALLSTATE_ACCEPTED, call)) return fault;
  if (reports == nullptr) return 0;
  Enter(*call, LINECALLSTATE_CONNECTED, *reports);
  SetConnectedId(*call, PartyAddress(*call), *reports);
  ConnectFarEnd(*call, *reports);
  return 0;
}

LONG Switchboard::Drop(HDRVCALL handle, Reports* reports) {
  Call* call = Find(handle);
  if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (call->state == LINECALLSTATE_IDLE) return Failure(LINEERR_INVALCALLSTATE);
  if (reports != nullptr) HangUp(*call, *reports);
  return 0;
}

LONG Switchboard::Hold(HDRVCALL handle, Reports* reports) {
  return Move(handle, LINECALLSTATE_CONNECTED, LINECALLSTATE_ONHOLD, reports);
}

LONG Switchboard::Unhold(HDRVCALL handle, Reports* reports) {
  return Move(handle, LINECALLSTATE_ONHOLD, LINECALLSTATE_CONNECTED, reports);
}

LONG Switchboard::SwapHold(HDRVCALL activeHandle, HDRVCALL heldHandle, Reports* reports) {
  Call* active;
  Call* held;
  if (LONG fault = Expect(activeHandle, LINECALLSTATE_CONNECTED, active)) return fault;
  if (LONG fault = Expect(heldHandle, kHeldStates, held)) return fault;
  // Two calls of one address change places; anything else is no pair to swap.
  if (active->line != held->line) return Failure(LINEERR_INVALCALLHANDLE);
  if (reports == nullptr) return 0;
  Enter(*active, LINECALLSTATE_ONHOLD, *reports);
  Enter(*held, LINECALLSTATE_CONNECTED, *reports);
  return 0;
}

LONG Switchboard::Dial(HDRVCALL handle, const std::string& digits, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, LINECALLSTATE_DIALTONE | LINECALLSTATE_DIALING, call)) return fault;
  if (digits.empty()) return Failure(LINEERR_INVALADDRESS);
  if (reports == nullptr) return 0;
  call->calledId += digits;
  // A call already dialling has its next step under way.
  if (call->state == LINECALLSTATE_DIALTONE) Continue(*call, *reports);
  return 0;
}

LONG Switchboard::RemoteAnswer(HDRVCALL handle, Reports* reports) {
  Call* call;
  constexpr DWORD kOnItsWay = LINECALLSTATE_DIALING | LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK;
  if (LONG fault = Expect(handle, kOnItsWay, call)) return fault;
  // Only a party outside answers from outside; a line of this system answers through its own host.
  bool goesOutside = call->outsideParty || m_system.FindByAddress(call->calledId) == nullptr;
  if (!goesOutside || call->origin != LINECALLORIGIN_OUTBOUND) return Failure(LINEERR_INVALCALLSTATE);
  if (reports == nullptr) return 0;
  if (!call->outsideParty) {
    call->outsideParty = true;
    call->outsideAddress = call->calledId;
  }
  Enter(*call, LINECALLSTATE_CONNECTED, *reports);
  SetConnectedId(*call, call->outsideAddress, *reports);
  return 0;
}

LONG Switchboard::RemoteHangup(HDRVCALL handle, Reports* reports) {
  Call* call;
  if (LONG fault = Expect(handle, kLiveStates & ~LINECALLSTATE_DISCONNECTED, call)) return fault;
  if (!call->outsideParty) return Failure(LINEERR_INVALCALLSTATE);
  if (reports != nullptr) Disconnect(*call, LINEDISCONNECTMODE_NORMAL, *reports);
  return 0;
}

// The steps of a call going out: dial tone and dialling only for a number outside or none yet; a
// line of this system is reached at once.
void Switchboard::Continue(const Call& call, Reports& reports) {
  bool internal = m_system.FindByAddress(call.calledId) != nullptr;
  switch (call.state) {
    case kNotStarted:
      if (internal) {
        reports.push_back(Report::Step(call.hdCall, call.state, m_delays.proceeding));
      } else {
        reports.push_back(Report::Step(call.hdCall, call.state, m_delays.dialtone));
      }
      break;
    case LINECALLSTATE_DIALTONE:
      if (!call.calledId.empty()) reports.push_back(Report::Step(call.hdCall, call.state, m_delays.dialing));
      break;
    case LINECALLSTATE_DIALING:
      reports.push_back(Report::Step(call.hdCall, call.state, m_delays.proceeding));
      break;
    case LINECALLSTATE_PROCEEDING:
      reports.push_back(Report::Step(call.hdCall, call.state, m_delays.ringback));
      break;
    case LINECALLSTATE_RINGBACK:
      if (call.outsideParty) reports.push_back(Report::Step(call.hdCall, call.state, m_delays.connected));
      break;
    default:
      break;
  }
}

void Switchboard::Advance(HDRVCALL handle, DWORD expectedState, Reports& reports) {
  Call* call = Find(handle);
  // Whatever happened to the call since the step was scheduled replaces the step.
  if (call == nullptr || call->state != expectedState) return;
  bool internal = m_system.FindByAddress(call->calledId) != nullptr;
  switch (call->state) {
    case kNotStarted:
      Enter(*call, internal ? LINECALLSTATE_PROCEEDING : LINECALLSTATE_DIALTONE, reports);
      break;
    case LINECALLSTATE_DIALTONE:
      Enter(*call, LINECALLSTATE_DIALING, reports);
      break;
    case LINECALLSTATE_DIALING:
      Enter(*call, LINECALLSTATE_PROCEEDING, reports);
      break;
    case LINECALLSTATE_PROCEEDING:
      Route(*call, reports);
      break;
    case LINECALLSTATE_RINGBACK:
      Enter(*call, LINECALLSTATE_CONNECTED, reports);
      SetConnectedId(*call, call->outsideAddress, reports);
      break;
    default:
      return;
  }
  Continue(*call, reports);
}

void Switchboard::Route(Call& call, Reports& reports) {
  Line* destination = m_system.FindByAddress(call.calledId);
  if (destination == nullptr) {
    call.outsideParty = true;
    call.outsideAddress = call.calledId;
    Enter(call, LINECALLSTATE_RINGBACK, reports);
    return;
  }
  if (destination == call.line || !destination->IsOpen()) {
    Enter(call, LINECALLSTATE_BUSY, reports);
    return;
  }
  Enter(call, LINECALLSTATE_RINGBACK, reports);
  Call& called =
      Ring(*destination, call.line->setting.address, LINECALLORIGIN_INTERNAL, LINECALLREASON_DIRECT, reports);
  called.farEnd = call.hdCall;
  call.farEnd = called.hdCall;
}

Call& Switchboard::Ring(Line& line, const std::string& callerId, DWORD origin, DWORD reason,
                        Reports& reports) {
  Call& call = m_system.AddCall(line, 0, origin);
  call.reason = reason;
  call.callerId = callerId;
  call.calledId = line.setting.address;
  reports.push_back(Report::NewCall(call.hdCall));
  Enter(call, LINECALLSTATE_OFFERING, reports);
  return call;
}

void Switchboard::ConnectFarEnd(const Call& answered, Reports& reports) {
  Call* farEnd = Find(answered.farEnd);
  if (farEnd == nullptr) return;
  if (In(farEnd->state, LINECALLSTATE_PROCEEDING | LINECALLSTATE_RINGBACK)) {
    Enter(*farEnd, LINECALLSTATE_CONNECTED, reports);
  }
  SetConnectedId(*farEnd, answered.line->setting.address, reports);
}

void Switchboard::HangUp(Call& call, Reports& reports) {
  if (call.state != kNotStarted && !In(call.state, kEndedStates)) {
    Disconnect(call, LINEDISCONNECTMODE_NORMAL, reports);
  }
  Enter(call, LINECALLSTATE_IDLE, reports);
  Release(call, reports);
}

void Switchboard::FarEndGone(Call& call, Reports& reports) {
  if (call.state == LINECALLSTATE_IDLE) return;
  HangUp(call, reports);
}

void Switchboard::Release(Call& call, Reports& reports) {
  if (Call* farEnd = Find(call.farEnd)) {
    farEnd->farEnd = 0;
    call.farEnd = 0;
    FarEndGone(*farEnd, reports);
  }
  call.farEnd = 0;
  call.outsideParty = false;
  call.conference = 0;
  // The links are followed by handle, so collect them before the calls they name change.
  std::vector<HDRVCALL> parties;
  std::vector<HDRVCALL> consultations;
  for (const auto& [handle, other] : m_system.Calls()) {
    if (call.isConference && other.conference == call.hdCall) parties.push_back(handle);
    if (other.consultFor == call.hdCall) consultations.push_back(handle);
  }
  for (HDRVCALL handle : consultations) Find(handle)->consultFor = 0;
  // A conference ends with every party in it.
  for (HDRVCALL handle : parties) {
    Call* party = Find(handle);
    party->conference = 0;
    HangUp(*party, reports);
  }
  // The consultation is over; the call it was for stays held.
  if (Call* held = Find(call.consultFor)) {
    if (In(held->state, LINECALLSTATE_ONHOLDPENDTRANSFER | LINECALLSTATE_ONHOLDPENDCONF)) {
      Enter(*held, LINECALLSTATE_ONHOLD, reports);
    }
  }
  call.consultFor = 0;
}

void Switchboard::Enter(Call& call, DWORD state, Reports& reports) {
  DWORD mode = ModeOf(state);
  DWORD_PTR param2 = mode;
  if (state == LINECALLSTATE_CONFERENCED) {
    const Call* conference = Find(call.conference);
    param2 = conference == nullptr ? 0 : conference->htCall;
  }
  call.state = state;
  call.stateMode = mode;
  reports.push_back(Report::CallEvent(call.hdCall, LINE_CALLSTATE, state, param2, kLineMediaModes));
}

void Switchboard::Disconnect(Call& call, DWORD disconnectMode, Reports& reports) {
  call.state = LINECALLSTATE_DISCONNECTED;
  call.stateMode = disconnectMode;
  reports.push_back(Report::CallEvent(call.hdCall, LINE_CALLSTATE, LINECALLSTATE_DISCONNECTED, disconnectMode,
                                      kLineMediaModes));
}

void Switchboard::SetConnectedId(Call& call, const std::string& id, Reports& reports) {
  if (call.connectedId == id) return;
  call.connectedId = id;
  reports.push_back(Report::CallEvent(call.hdCall, LINE_CALLINFO, LINECALLINFOSTATE_CONNECTEDID, 0, 0));
}

std::string Switchboard::PartyAddress(const Call& call) const {
  if (const Call* farEnd = Find(call.farEnd)) return farEnd->line->setting.address;
  return call.outsideParty ? call.outsideAddress : std::string();
}

LONG Switchboard::Expect(HDRVCALL handle, DWORD states, Call*& call) {
  call = Find(handle);
  if (call == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (!In(call->state, states)) return Failure(LINEERR_INVALCALLSTATE);
  return 0;
}

LONG Switchboard::ExpectConference(HDRVCALL handle, DWORD states, Call*& conference) {
  conference = Find(handle);
  if (conference == nullptr) return Failure(LINEERR_INVALCALLHANDLE);
  if (!conference->isConference) return Failure(LINEERR_INVALCONFCALLHANDLE);
  if (!In(conference->state, states)) return Failure(LINEERR_INVALCALLSTATE);
  return 0;
}

bool Switchboard::LineHasCallIn(const Line& line, DWORD states, HDRVCALL except) const {
  for (const auto& [handle, call] : m_system.Calls()) {
    if (handle != except && call.line == &line && In(call.state, states)) return true;
  }
  return false;
}

DWORD Switchboard::Features(const Call& call) const {
  const Call* consultedFor = Find(call.consultFor);
  // What a consultation call can finish: the transfer or the conference it was set up for.
  DWORD consultation = 0;
  if (consultedFor != nullptr) {
    consultation = consultedFor->isConference ? LINECALLFEATURE_ADDTOCONF : LINECALLFEATURE_COMPLETETRANSF;
  }
  DWORD swap = 0;
  if (call.state == LINECALLSTATE_CONNECTED && LineHasCallIn(*call.line, kHeldStates, call.hdCall)) {
    swap = LINECALLFEATURE_SWAPHOLD;
  }
  if (In(call.state, kHeldStates) && LineHasCallIn(*call.line, LINECALLSTATE_CONNECTED, call.hdCall)) {
    swap = LINECALLFEATURE_SWAPHOLD;
  }
  switch (call.state) {
    case LINECALLSTATE_IDLE:
      return 0;
    case LINECALLSTATE_OFFERING:
      return LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP |
             LINECALLFEATURE_REDIRECT;
    case LINECALLSTATE_ACCEPTED:
      return LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP | LINECALLFEATURE_REDIRECT;
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
      return LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
    case LINECALLSTATE_PROCEEDING:
    case LINECALLSTATE_RINGBACK:
      return LINECALLFEATURE_DROP | consultation;
    case LINECALLSTATE_CONNECTED:
      if (call.isConference) {
        return LINECALLFEATURE_DROP | LINECALLFEATURE_GENERATEDIGITS | LINECALLFEATURE_HOLD |
               LINECALLFEATURE_PREPAREADDCONF | swap;
      }
      return LINECALLFEATURE_BLINDTRANSFER | LINECALLFEATURE_DROP | LINECALLFEATURE_GENERATEDIGITS |
             LINECALLFEATURE_HOLD | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_SETUPTRANSFER | consultation |
             swap;
    case LINECALLSTATE_ONHOLD:
      return LINECALLFEATURE_DROP | LINECALLFEATURE_UNHOLD |
             (call.isConference ? LINECALLFEATURE_ADDTOCONF : 0) | swap;
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
      return LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_DROP | swap;
    case LINECALLSTATE_ONHOLDPENDCONF:
      return LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_DROP | swap;
    case LINECALLSTATE_CONFERENCED:
      return LINECALLFEATURE_DROP | LINECALLFEATURE_REMOVEFROMCONF;
    default:  // not started, busy, disconnected: all that is left is to drop it
      return LINECALLFEATURE_DROP;
  }
}

DWORD Switchboard::RelatedCallId(const Call& call) const {
  for (HDRVCALL related : {call.farEnd, call.consultFor, call.conference}) {
    if (const Call* other = Find(related)) return other->callId;
  }
  return 0;
}

}  // namespace simtsp
