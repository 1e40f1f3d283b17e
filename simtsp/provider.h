// The simulated provider as a whole: its phone system, the host's callbacks and the threads that call them.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config.h"
#include "control_socket.h"
#include "entry_points.h"
#include "event_queue.h"
#include "phone_system.h"
#include "report.h"
#include "switchboard.h"
#include "tapi.h"

namespace simtsp {

// The TSPI versions this provider speaks: every version up to 3.0. It writes the 3.0 layout of every
// structure whatever version was agreed, so a caller always gives at least that fixed part.
constexpr DWORD kLowestTspiVersion = TAPI_VERSION1_0;
constexpr DWORD kHighestTspiVersion = TAPI_VERSION3_0;

// One call as the control command `calls` lists it.
struct CallSummary {
  HDRVCALL hdCall;
  DWORD deviceId;
  DWORD state;  // 0 before its first state
};

// Why the phone system refused a control command; empty when it did what was asked.
using Refusal = std::string;

// One method per entry point, with its arguments and result: 0, a LINEERR_ code, or for an
// asynchronous request its request id (pending). Every method takes the provider's lock; no callback
// into the host is ever made under it or on the caller's thread: the worker makes them (the control
// command `burst` makes its own), so the host may call the provider again from inside a callback.
//
// A request completes after the configured completion delay, before the state events it causes; the
// calls it creates exist, with their handles written, when it returns. Events of one call keep their
// order. The control commands of SIMTSP_CONTROL reach the phone system through the second group of
// methods.
class Provider {
 public:
  Provider();
  ~Provider();
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;

  LONG NegotiateTspiVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion, LPDWORD tspiVersion);
  LONG NegotiateExtVersion(DWORD deviceId, DWORD tspiVersion, DWORD lowVersion, DWORD highVersion,
                           LPDWORD extVersion);
  // Reads the configuration that SIMTSP_CONFIG names and builds the phone system anew.
  LONG EnumDevices(LPDWORD numLines, LPDWORD numPhones, HPROVIDER provider, LINEEVENT lineCreate);
  // Starts the worker, and the control socket when SIMTSP_CONTROL names a path.
  LONG Init(DWORD lineDeviceIdBase, ASYNC_COMPLETION completion, LPDWORD tspiOptions);
  // Stops every thread of the provider (after that nothing calls back) and closes every line.
  LONG Shutdown();
  LONG GetDevCaps(DWORD deviceId, DWORD tspiVersion, DWORD extVersion, LINEDEVCAPS* caps);
  LONG GetAddressCaps(DWORD deviceId, DWORD addressId, DWORD tspiVersion, DWORD extVersion,
                      LINEADDRESSCAPS* caps);
  LONG Open(DWORD deviceId, HTAPILINE htLine, LPHDRVLINE hdLine, DWORD tspiVersion, LINEEVENT events);
  // Drops the line's calls without a word about them; the far ends of its calls hear them hang up.
  LONG Close(HDRVLINE hdLine);
  LONG SetStatusMessages(HDRVLINE hdLine, DWORD lineStates, DWORD addressStates);
  LONG SetDefaultMediaDetection(HDRVLINE hdLine, DWORD mediaModes);
  LONG GetLineDevStatus(HDRVLINE hdLine, LINEDEVSTATUS* status);
  LONG GetAddressStatus(HDRVLINE hdLine, DWORD addressId, LINEADDRESSSTATUS* status);
  LONG CreateLineDevice(DWORD_PTR tempId, DWORD deviceId);

  // ---- Calls. Texts are the host's UTF-16; a null text reads as empty.
  LONG MakeCall(DRV_REQUESTID requestId, HDRVLINE hdLine, HTAPICALL htCall, LPHDRVCALL hdCall,
                LPCWSTR destAddress);
  LONG Dial(DRV_REQUESTID requestId, HDRVCALL hdCall, LPCWSTR destAddress);
  LONG Accept(DRV_REQUESTID requestId, HDRVCALL hdCall);
  LONG Answer(DRV_REQUESTID requestId, HDRVCALL hdCall);
  LONG Drop(DRV_REQUESTID requestId, HDRVCALL hdCall);
  LONG Hold(DRV_REQUESTID requestId, HDRVCALL hdCall);
  LONG Unhold(DRV_REQUESTID requestId, HDRVCALL hdCall);
  LONG SwapHold(DRV_REQUESTID requestId, HDRVCALL hdActiveCall, HDRVCALL hdHeldCall);
  LONG Redirect(DRV_REQUESTID requestId, HDRVCALL hdCall, LPCWSTR destAddress);
  LONG BlindTransfer(DRV_REQUESTID requestId, HDRVCALL hdCall, LPCWSTR destAddress);
  LONG SetupTransfer(DRV_REQUESTID requestId, HDRVCALL hdCall, HTAPICALL htConsultCall,
                     LPHDRVCALL hdConsultCall);
  LONG CompleteTransfer(DRV_REQUESTID requestId, HDRVCALL hdCall, HDRVCALL hdConsultCall,
                        HTAPICALL htConfCall, LPHDRVCALL hdConfCall, DWORD transferMode);
  // Takes the line of hdCall, or hdLine when hdCall is 0.
  LONG SetupConference(DRV_REQUESTID requestId, HDRVCALL hdCall, HDRVLINE hdLine, HTAPICALL htConfCall,
                       LPHDRVCALL hdConfCall, HTAPICALL htConsultCall, LPHDRVCALL hdConsultCall,
                       DWORD numParties);
  LONG PrepareAddToConference(DRV_REQUESTID requestId, HDRVCALL hdConfCall, HTAPICALL htConsultCall,
                              LPHDRVCALL hdConsultCall);
  LONG AddToConference(DRV_REQUESTID requestId, HDRVCALL hdConfCall, HDRVCALL hdConsultCall);
  LONG RemoveFromConference(DRV_REQUESTID requestId, HDRVCALL hdCall);
  // Completes with LINEERR_OPERATIONFAILED, and the new call is gone, when nothing rings there.
  LONG Pickup(DRV_REQUESTID requestId, HDRVLINE hdLine, DWORD addressId, HTAPICALL htCall, LPHDRVCALL hdCall,
              LPCWSTR destAddress);
  // Hands out a completion id and completes; the phone system does not call back later.
  LONG CompleteCall(DRV_REQUESTID requestId, HDRVCALL hdCall, LPDWORD completionId);
  // Answers at once; LINE_GENERATE (done) follows after the completion delay. Null digits cancel
  // nothing and report nothing.
  LONG GenerateDigits(HDRVCALL hdCall, DWORD endToEndId, DWORD digitMode, LPCWSTR digits);
  LONG GetCallStatus(HDRVCALL hdCall, LINECALLSTATUS* status);
  LONG GetCallInfo(HDRVCALL hdCall, LINECALLINFO* info);
  // Forgets the call; one not yet idle ends without a word about it, its far end hears it hang up.
  LONG CloseCall(HDRVCALL hdCall);
  // Keeps the forward list for the control command `forwarded`; no call is forwarded, and no
  // consultation call made (*hdConsultCall is 0).
  LONG Forward(DRV_REQUESTID requestId, HDRVLINE hdLine, DWORD allAddresses, DWORD addressId,
               const LINEFORWARDLIST* forwardList, LPHDRVCALL hdConsultCall);

  // ---- The phone system's own doings, reported from the worker while the provider runs
  // A new line: the host hears LINE_CREATE with its temporary id and numbers it by CreateLineDevice.
  // False when the provider does not run or the host gave no line-creation callback.
  bool AnnounceLine(const LineSetting& setting);
  // The end of an asynchronous request, after the configured completion delay; false when the
  // provider does not run.
  bool CompleteRequest(DRV_REQUESTID requestId, LONG result);
  // A caller from outside rings the open line `deviceId`; `hdCall` is the new call.
  Refusal RingFromOutside(DWORD deviceId, const std::string& caller, HDRVCALL& hdCall);
  Refusal AnswerFromOutside(HDRVCALL hdCall);
  Refusal HangUpFromOutside(HDRVCALL hdCall);
  // LINE_REMOVE to the host; the line and its calls are gone at once.
  Refusal RemoveLine(DWORD deviceId);
  // LINE_CLOSE to the host for the open line, which stays open until the host closes it.
  Refusal AskToCloseLine(DWORD deviceId);
  // Any event with the given handles and parameters through the open line's event callback, as a
  // faulty provider might raise it; LINE_NEWCALL, whose dwParam2 is a pointer, is refused.
  Refusal RaiseEvent(DWORD deviceId, HTAPILINE htLine, HTAPICALL htCall, DWORD message, DWORD param1,
                     DWORD param2, DWORD param3);
  // The next call of `entry` returns `result`, or with `asynchronous` is accepted as pending and
  // completes with `result`; a synchronous entry point cannot be made to fail asynchronously.
  Refusal InjectFailure(Entry entry, LONG result, bool asynchronous);
  std::vector<CallSummary> ListCalls();
  // The forward list last given for the line; empty when there is none.
  Refusal LastForwardList(DWORD deviceId, std::vector<unsigned char>& forwardList);
  // Rings `calls` new calls on the open line (LINE_NEWCALL and OFFERING each, in order), then
  // `threads` threads at once report `events` LINE_CALLSTATE CONNECTED per call, with the modes 1 to
  // `events` in order. Returns when every event has been reported (or Shutdown stopped it).
  Refusal Burst(DWORD deviceId, DWORD calls, DWORD events, DWORD threads);
  Refusal SetDelay(const std::string& step, const std::string& milliseconds);

 private:
  // A host's request carried out when it completes, as the switchboard's operations take it.
  using Operation = std::function<LONG(Switchboard&, Reports*)>;
  struct InjectedFailure {
    LONG result;
    bool asynchronous;
  };
  // What a request's own checks make of it: the fault that refuses it at once, or the operation with
  // the calls created for it, one for each handle the request writes, in their order (none when it
  // creates no call).
  struct Prepared {
    Prepared(LONG refusal) : fault(refusal) {}
    Prepared(Operation run, std::vector<HDRVCALL> created = {})
        : operation(std::move(run)), newCalls(std::move(created)) {}
    LONG fault = 0;
    Operation operation;
    std::vector<HDRVCALL> newCalls;
  };
  // The change from outside that a control command asks of a call.
  using OutsideChange = LONG (Switchboard::*)(HDRVCALL, Reports*);

  // ---- Taking the lock
  // An asynchronous request on the switchboard: the handles are cleared, an injected failure for
  // `entry` answers first, then `prepare` checks the request; once it is accepted the handles get the
  // new calls and the result is the pending request id.
  LONG Request(Entry entry, DRV_REQUESTID requestId, std::initializer_list<LPHDRVCALL> handles,
               const std::function<Prepared()>& prepare);
  // A request that creates no call and whose checks are all its operation's.
  LONG Request(Entry entry, DRV_REQUESTID requestId, Operation operation);
  // An entry point that answers at once: an injected failure for `entry` answers first, else `body`, all
  // under the lock, so the host need not serialise its calls.
  LONG Synchronous(Entry entry, const std::function<LONG()>& body);
  // A control command's change of the call: checked at once, carried out on the worker.
  Refusal ChangeFromOutside(HDRVCALL hdCall, OutsideChange change);

  // ---- With the lock held
  // The failure injected for the entry point's next call, used up by taking it.
  std::optional<InjectedFailure> TakeInjected(Entry entry);
  // The result of an injected failure; asynchronous ones complete later and write `newCalls` (spare
  // handles) as a real request would.
  LONG Injected(const InjectedFailure& failure, DRV_REQUESTID requestId,
                std::initializer_list<LPHDRVCALL> newCalls = {});
  // Checks the request and, when it passes, has it carried out when it completes: 0, or the fault that
  // refuses it. Calls in `newCalls` were created for the request and go again when it fails.
  LONG Submit(DRV_REQUESTID requestId, Operation operation, std::vector<HDRVCALL> newCalls = {});
  bool PostCompletion(DRV_REQUESTID requestId, LONG result);
  // Carries out a change of the phone system on the worker and reports it from there.
  bool PostChange(Operation change);
  // Takes the calls out of the phone system at once; the calls they were tied to learn it on the worker.
  void TakeOut(const std::vector<Call>& calls);
  std::vector<Call> CallsOf(const Line& line);

  // ---- Without the lock, on a thread of the provider
  void Deliver(const Reports& reports);
  void DeliverCallEvent(const Report& report);
  void AnnounceCall(HDRVCALL hdCall);
  void RunStep(HDRVCALL hdCall, DWORD expectedState);
  // True on the worker, the control thread or a burst thread: there Shutdown cannot wait for itself.
  bool OnOwnThread() const;
  static bool OnBurstThread();
  // The end of the commands and the bursts.
  void StopControl();

  std::mutex m_lock;
  Config m_config;
  PhoneSystem m_system;
  Switchboard m_switchboard{m_system, m_config.delays};
  HPROVIDER m_hProvider = 0;
  LINEEVENT m_lineCreate = nullptr;
  ASYNC_COMPLETION m_completion = nullptr;
  std::array<std::optional<InjectedFailure>, kEntryCount> m_injected;
  std::atomic<bool> m_stopping{false};  // tells a burst under way to stop
  ControlSocket m_control;
  EventQueue m_worker;
};

}  // namespace simtsp
