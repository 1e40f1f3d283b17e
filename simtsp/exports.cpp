// The exported TSPI entry points of SIMTSP.TSP and of its test variants, which differ in what they export.
//
// SIMTSP_REQUIRED_ONLY      exports the six entry points a host cannot start without
// SIMTSP_NO_SHUTDOWN        exports everything but TSPI_providerShutdown
// SIMTSP_FAULTING_SHUTDOWN  TSPI_providerShutdown raises an access violation
#include "provider.h"
#include "tspi.h"

#define SIMTSP_EXPORT __attribute__((visibility("default")))

namespace {

// The one provider of this library; it stops its worker when the library is unloaded.
simtsp::Provider g_provider;

}  // namespace

extern "C" {

SIMTSP_EXPORT LONG TSPI_lineNegotiateTSPIVersion(DWORD dwDeviceID, DWORD dwLowVersion, DWORD dwHighVersion,
                                                 LPDWORD lpdwTSPIVersion) {
  return g_provider.NegotiateTspiVersion(dwDeviceID, dwLowVersion, dwHighVersion, lpdwTSPIVersion);
}

SIMTSP_EXPORT LONG TSPI_providerEnumDevices(DWORD, LPDWORD lpdwNumLines, LPDWORD lpdwNumPhones,
                                            HPROVIDER hProvider, LINEEVENT lpfnLineCreateProc, PHONEEVENT) {
  return g_provider.EnumDevices(lpdwNumLines, lpdwNumPhones, hProvider, lpfnLineCreateProc);
}

SIMTSP_EXPORT LONG TSPI_providerInit(DWORD, DWORD, DWORD dwLineDeviceIDBase, DWORD, DWORD_PTR, DWORD_PTR,
                                     ASYNC_COMPLETION lpfnCompletionProc, LPDWORD lpdwTSPIOptions) {
  return g_provider.Init(dwLineDeviceIDBase, lpfnCompletionProc, lpdwTSPIOptions);
}

#ifndef SIMTSP_NO_SHUTDOWN
#ifdef SIMTSP_FAULTING_SHUTDOWN
// A volatile store through a pointer read from a volatile object: the compiler can neither prove the
// pointer null nor drop or replace the store, and the undefined-behaviour checks must not catch it first.
__attribute__((no_sanitize("undefined"))) SIMTSP_EXPORT LONG TSPI_providerShutdown(DWORD, DWORD) {
  volatile int* volatile target = nullptr;
  *target = 0;
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

#endif  // SIMTSP_REQUIRED_ONLY

}  // extern "C"
