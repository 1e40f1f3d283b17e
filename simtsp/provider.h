// The simulated provider as a whole: its phone system, the host's callbacks and the worker that calls them.
#pragma once

#include <mutex>
#include <string>

#include "config.h"
#include "event_queue.h"
#include "phone_system.h"
#include "tapi.h"

namespace simtsp {

// The TSPI versions this provider speaks: every version up to 3.0. It writes the 3.0 layout of every
// structure whatever version was agreed, so a caller always gives at least that fixed part.
constexpr DWORD kLowestTspiVersion = TAPI_VERSION1_0;
constexpr DWORD kHighestTspiVersion = TAPI_VERSION3_0;

// One method per entry point, with its arguments and result (0 or a LINEERR_ code). Every method
// takes the provider's lock; no callback into the host is ever made under it or on the caller's
// thread: the worker makes them all, so the host may call the provider again from inside a callback.
class Provider {
 public:
  LONG NegotiateTspiVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion, LPDWORD tspiVersion);
  LONG NegotiateExtVersion(DWORD deviceId, DWORD tspiVersion, DWORD lowVersion, DWORD highVersion,
                           LPDWORD extVersion);
  // Reads the configuration that SIMTSP_CONFIG names and builds the phone system anew.
  LONG EnumDevices(LPDWORD numLines, LPDWORD numPhones, HPROVIDER provider, LINEEVENT lineCreate);
  LONG Init(DWORD lineDeviceIdBase, ASYNC_COMPLETION completion, LPDWORD tspiOptions);
  LONG Shutdown();
  LONG GetDevCaps(DWORD deviceId, DWORD tspiVersion, DWORD extVersion, LINEDEVCAPS* caps);
  LONG GetAddressCaps(DWORD deviceId, DWORD addressId, DWORD tspiVersion, DWORD extVersion,
                      LINEADDRESSCAPS* caps);
  LONG Open(DWORD deviceId, HTAPILINE htLine, LPHDRVLINE hdLine, DWORD tspiVersion, LINEEVENT events);
  LONG Close(HDRVLINE hdLine);
  LONG SetStatusMessages(HDRVLINE hdLine, DWORD lineStates, DWORD addressStates);
  LONG SetDefaultMediaDetection(HDRVLINE hdLine, DWORD mediaModes);
  LONG GetLineDevStatus(HDRVLINE hdLine, LINEDEVSTATUS* status);
  LONG GetAddressStatus(HDRVLINE hdLine, DWORD addressId, LINEADDRESSSTATUS* status);
  LONG CreateLineDevice(DWORD_PTR tempId, DWORD deviceId);

  // The phone system's own doings, reported from the worker while the provider runs; false when it
  // does not run (or, for a line, when the host gave no line-creation callback).
  // A new line: the host hears LINE_CREATE with its temporary id and numbers it by CreateLineDevice.
  bool AnnounceLine(const LineSetting& setting);
  // The end of an asynchronous request, after the configured completion delay.
  bool CompleteRequest(DRV_REQUESTID requestId, LONG result);

 private:
  std::mutex m_lock;
  Config m_config;
  PhoneSystem m_system;
  HPROVIDER m_hProvider = 0;
  LINEEVENT m_lineCreate = nullptr;
  ASYNC_COMPLETION m_completion = nullptr;
  EventQueue m_worker;  // last: it stops, and no action runs, before the rest goes away
};

}  // namespace simtsp
