// The exported TSPI entry points of SIMTSP.TSP and of its test variants, which differ in what they export.
//
// SIMTSP_REQUIRED_ONLY      exports the six entry points a host cannot start without
// SIMTSP_NO_SHUTDOWN        exports everything but TSPI_providerShutdown
// SIMTSP_FAULTING_SHUTDOWN  TSPI_providerShutdown raises an access violation
// SIMTSP_FAULTING_ENUM      TSPI_providerEnumDevices counts the lines, then raises an access violation
#include "provider.h"
#include "tspi.h"

#define SIMTSP_EXPORT __attribute__((visibility("default")))

namespace {

// The one provider of this library; it stops its worker when the library is unloaded.
simtsp::Provider g_provider;

// A volatile store through a pointer read from a volatile object: the compiler can neither prove the
// pointer null nor drop or replace the store, and the undefined-behaviour checks must not catch it first.
[[maybe_unused]] __attribute__((no_sanitize("undefined"), noinline)) void RaiseAccessViolation() {
  volatile int* volatile target = nullptr;
  *target = 0;
}

}  // namespace

extern "C" {

SIMTSP_EXPORT LONG TSPI_lineNegotiateTSPIVersion(DWORD dwDeviceID, DWORD dwLowVersion, DWORD dwHighVersion,
                                                 LPDWORD lpdwTSPIVersion) {
  return g_provider.NegotiateTspiVersion(dwDeviceID, dwLowVersion, dwHighVersion, lpdwTSPIVersion);
}

SIMTSP_EXPORT LONG TSPI_providerEnumDevices(DWORD, LPDWORD lpdwNumLines, LPDWORD lpdwNumPhones,
                                            HPROVIDER hProvider, LINEEVENT lpfnLineCreateProc, PHONEEVENT) {
  const LONG result = g_provider.EnumDevices(lpdwNumLines, lpdwNumPhones, hProvider, lpfnLineCreateProc);
#ifdef SIMTSP_FAULTING_ENUM
  RaiseAccessViolation();
#endif
  return result;
}

SIMTSP_EXPORT LONG TSPI_providerInit(DWORD, DWORD, DWORD dwLineDeviceIDBase, DWORD, DWORD_PTR, DWORD_PTR,
                                     ASYNC_COMPLETION lpfnCompletionProc, LPDWORD lpdwTSPIOptions) {
  return g_provider.Init(dwLineDeviceIDBase, lpfnCompletionProc, lpdwTSPIOptions);
}

#ifndef SIMTSP_NO_SHUTDOWN
#ifdef SIMTSP_FAULTING_SHUTDOWN
SIMTSP_EXPORT LONG TSPI_providerShutdown(DWORD, DWORD) {
  RaiseAccessViolation();
  return 0;
}
#else
SIMTSP_EXPORT LONG TSPI_providerShutdown(DWORD, DWORD) { return g_provider.Shutdown(); }
#endif
#endif

SIMTSP_EXPORT LONG TSPI_lineGetDevCaps(DWORD dwDeviceID, DWORD dwTSPIVersion, DWORD dwExtVersion,
                                       LPLINEDEVCAPS lpLineDevCaps) {
  return g_provider.GetDevCaps(dwDeviceID, dwTSPIVersion, dwExtVersion, lpLineDevCaps);
}

SIMTSP_EXPORT LONG TSPI_lineGetAddressCaps(DWORD dwDeviceID, DWORD dwAddressID, DWORD dwTSPIVersion,
                                           DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps) {
  return g_provider.GetAddressCaps(dwDeviceID, dwAddressID, dwTSPIVersion, dwExtVersion, lpAddressCaps);
}

#ifndef SIMTSP_REQUIRED_ONLY

SIMTSP_EXPORT LONG TSPI_lineNegotiateExtVersion(DWORD dwDeviceID, DWORD dwTSPIVersion, DWORD dwLowVersion,
                                                DWORD dwHighVersion, LPDWORD lpdwExtVersion) {
  return g_provider.NegotiateExtVersion(dwDeviceID, dwTSPIVersion, dwLowVersion, dwHighVersion,
                                        lpdwExtVersion);
}

SIMTSP_EXPORT LONG TSPI_lineOpen(DWORD dwDeviceID, HTAPILINE htLine, LPHDRVLINE lphdLine, DWORD dwTSPIVersion,
                                 LINEEVENT lpfnEventProc) {
  return g_provider.Open(dwDeviceID, htLine, lphdLine, dwTSPIVersion, lpfnEventProc);
}

SIMTSP_EXPORT LONG TSPI_lineClose(HDRVLINE hdLine) { return g_provider.Close(hdLine); }

SIMTSP_EXPORT LONG TSPI_lineSetStatusMessages(HDRVLINE hdLine, DWORD dwLineStates, DWORD dwAddressStates) {
  return g_provider.SetStatusMessages(hdLine, dwLineStates, dwAddressStates);
}

SIMTSP_EXPORT LONG TSPI_lineSetDefaultMediaDetection(HDRVLINE hdLine, DWORD dwMediaModes) {
  return g_provider.SetDefaultMediaDetection(hdLine, dwMediaModes);
}

SIMTSP_EXPORT LONG TSPI_lineGetLineDevStatus(HDRVLINE hdLine, LPLINEDEVSTATUS lpLineDevStatus) {
  return g_provider.GetLineDevStatus(hdLine, lpLineDevStatus);
}

SIMTSP_EXPORT LONG TSPI_lineGetAddressStatus(HDRVLINE hdLine, DWORD dwAddressID,
                                             LPLINEADDRESSSTATUS lpAddressStatus) {
  return g_provider.GetAddressStatus(hdLine, dwAddressID, lpAddressStatus);
}

SIMTSP_EXPORT LONG TSPI_providerCreateLineDevice(DWORD_PTR dwTempID, DWORD dwDeviceID) {
  return g_provider.CreateLineDevice(dwTempID, dwDeviceID);
}

// ---- Calls. Country codes, call parameters and user-user information change nothing in the simulation.

SIMTSP_EXPORT LONG TSPI_lineMakeCall(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, HTAPICALL htCall,
                                     LPHDRVCALL lphdCall, LPCWSTR lpszDestAddress, DWORD, LPLINECALLPARAMS) {
  return g_provider.MakeCall(dwRequestID, hdLine, htCall, lphdCall, lpszDestAddress);
}

SIMTSP_EXPORT LONG TSPI_lineDial(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCWSTR lpszDestAddress, DWORD) {
  return g_provider.Dial(dwRequestID, hdCall, lpszDestAddress);
}

SIMTSP_EXPORT LONG TSPI_lineAccept(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR, DWORD) {
  return g_provider.Accept(dwRequestID, hdCall);
}

SIMTSP_EXPORT LONG TSPI_lineAnswer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR, DWORD) {
  return g_provider.Answer(dwRequestID, hdCall);
}

SIMTSP_EXPORT LONG TSPI_lineDrop(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR, DWORD) {
  return g_provider.Drop(dwRequestID, hdCall);
}

SIMTSP_EXPORT LONG TSPI_lineHold(DRV_REQUESTID dwRequestID, HDRVCALL hdCall) {
  return g_provider.Hold(dwRequestID, hdCall);
}

SIMTSP_EXPORT LONG TSPI_lineUnhold(DRV_REQUESTID dwRequestID, HDRVCALL hdCall) {
  return g_provider.Unhold(dwRequestID, hdCall);
}

SIMTSP_EXPORT LONG TSPI_lineSwapHold(DRV_REQUESTID dwRequestID, HDRVCALL hdActiveCall, HDRVCALL hdHeldCall) {
  return g_provider.SwapHold(dwRequestID, hdActiveCall, hdHeldCall);
}

SIMTSP_EXPORT LONG TSPI_lineRedirect(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCWSTR lpszDestAddress,
                                     DWORD) {
  return g_provider.Redirect(dwRequestID, hdCall, lpszDestAddress);
}

SIMTSP_EXPORT LONG TSPI_lineBlindTransfer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCWSTR lpszDestAddress,
                                          DWORD) {
  return g_provider.BlindTransfer(dwRequestID, hdCall, lpszDestAddress);
}

SIMTSP_EXPORT LONG TSPI_lineSetupTransfer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, HTAPICALL htConsultCall,
                                          LPHDRVCALL lphdConsultCall, LPLINECALLPARAMS) {
  return g_provider.SetupTransfer(dwRequestID, hdCall, htConsultCall, lphdConsultCall);
}

SIMTSP_EXPORT LONG TSPI_lineCompleteTransfer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall,
                                             HDRVCALL hdConsultCall, HTAPICALL htConfCall,
                                             LPHDRVCALL lphdConfCall, DWORD dwTransferMode) {
  return g_provider.CompleteTransfer(dwRequestID, hdCall, hdConsultCall, htConfCall, lphdConfCall,
                                     dwTransferMode);
}

SIMTSP_EXPORT LONG TSPI_lineSetupConference(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, HDRVLINE hdLine,
                                            HTAPICALL htConfCall, LPHDRVCALL lphdConfCall,
                                            HTAPICALL htConsultCall, LPHDRVCALL lphdConsultCall,
                                            DWORD dwNumParties, LPLINECALLPARAMS) {
  return g_provider.SetupConference(dwRequestID, hdCall, hdLine, htConfCall, lphdConfCall, htConsultCall,
                                    lphdConsultCall, dwNumParties);
}

SIMTSP_EXPORT LONG TSPI_linePrepareAddToConference(DRV_REQUESTID dwRequestID, HDRVCALL hdConfCall,
                                                   HTAPICALL htConsultCall, LPHDRVCALL lphdConsultCall,
                                                   LPLINECALLPARAMS) {
  return g_provider.PrepareAddToConference(dwRequestID, hdConfCall, htConsultCall, lphdConsultCall);
}

SIMTSP_EXPORT LONG TSPI_lineAddToConference(DRV_REQUESTID dwRequestID, HDRVCALL hdConfCall,
                                            HDRVCALL hdConsultCall) {
  return g_provider.AddToConference(dwRequestID, hdConfCall, hdConsultCall);
}

SIMTSP_EXPORT LONG TSPI_lineRemoveFromConference(DRV_REQUESTID dwRequestID, HDRVCALL hdCall) {
  return g_provider.RemoveFromConference(dwRequestID, hdCall);
}

// The group id does not matter: the destination names the line to pick up from.
SIMTSP_EXPORT LONG TSPI_linePickup(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwAddressID,
                                   HTAPICALL htCall, LPHDRVCALL lphdCall, LPCWSTR lpszDestAddress, LPCWSTR) {
  return g_provider.Pickup(dwRequestID, hdLine, dwAddressID, htCall, lphdCall, lpszDestAddress);
}

SIMTSP_EXPORT LONG TSPI_lineCompleteCall(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPDWORD lpdwCompletionID,
                                         DWORD, DWORD) {
  return g_provider.CompleteCall(dwRequestID, hdCall, lpdwCompletionID);
}

// The digits take no time to generate beyond the completion delay, whatever the duration.
SIMTSP_EXPORT LONG TSPI_lineGenerateDigits(HDRVCALL hdCall, DWORD dwEndToEndID, DWORD dwDigitMode,
                                           LPCWSTR lpszDigits, DWORD) {
  return g_provider.GenerateDigits(hdCall, dwEndToEndID, dwDigitMode, lpszDigits);
}

SIMTSP_EXPORT LONG TSPI_lineGetCallStatus(HDRVCALL hdCall, LPLINECALLSTATUS lpCallStatus) {
  return g_provider.GetCallStatus(hdCall, lpCallStatus);
}

SIMTSP_EXPORT LONG TSPI_lineGetCallInfo(HDRVCALL hdCall, LPLINECALLINFO lpCallInfo) {
  return g_provider.GetCallInfo(hdCall, lpCallInfo);
}

SIMTSP_EXPORT LONG TSPI_lineCloseCall(HDRVCALL hdCall) { return g_provider.CloseCall(hdCall); }

// The rings before a no-answer forward and any consultation call change nothing in the simulation.
SIMTSP_EXPORT LONG TSPI_lineForward(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD bAllAddresses,
                                    DWORD dwAddressID, LPLINEFORWARDLIST lpForwardList, DWORD, HTAPICALL,
                                    LPHDRVCALL lphdConsultCall, LPLINECALLPARAMS) {
  return g_provider.Forward(dwRequestID, hdLine, bAllAddresses, dwAddressID, lpForwardList, lphdConsultCall);
}

#endif  // SIMTSP_REQUIRED_ONLY

}  // extern "C"
