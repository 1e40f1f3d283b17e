// The provider's entry points: signatures, pointer types and the one list of their names in slot order.
//
// A provider exports these functions under exactly these names with C linkage; the service binds them
// by name. An entry point answers at once with 0 for success or a negative LINEERR_ / PHONEERR_ code,
// except the async ones: they return dwRequestID (above 0) when the request is under way and report its
// end later through the ASYNC_COMPLETION handed to TSPI_providerInit, or return a negative error at
// once. PFN_<name> is the type of a pointer to entry point <name> (PFN_TSPI_lineOpen, ...).
#pragma once

#include "tapi.h"

extern "C" {

// ---- Line devices, answered at once

LONG TSPI_lineClose(HDRVLINE hdLine);
LONG TSPI_lineCloseCall(HDRVCALL hdCall);
LONG TSPI_lineConditionalMediaDetection(HDRVLINE hdLine, DWORD dwMediaModes, LPLINECALLPARAMS lpCallParams);
// Obsolete; still looked up by name.
LONG TSPI_lineDropOnClose(HDRVCALL hdCall);
// Obsolete; still looked up by name.
LONG TSPI_lineDropNoOwner(HDRVCALL hdCall);
LONG TSPI_lineGatherDigits(HDRVCALL hdCall, DWORD dwEndToEndID, DWORD dwDigitModes, LPWSTR lpsDigits,
                           DWORD dwNumDigits, LPCWSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout,
                           DWORD dwInterDigitTimeout);
LONG TSPI_lineGenerateDigits(HDRVCALL hdCall, DWORD dwEndToEndID, DWORD dwDigitMode, LPCWSTR lpszDigits,
                             DWORD dwDuration);
LONG TSPI_lineGenerateTone(HDRVCALL hdCall, DWORD dwEndToEndID, DWORD dwToneMode, DWORD dwDuration,
                           DWORD dwNumTones, LPLINEGENERATETONE lpTones);
LONG TSPI_lineGetAddressCaps(DWORD dwDeviceID, DWORD dwAddressID, DWORD dwTSPIVersion, DWORD dwExtVersion,
                             LPLINEADDRESSCAPS lpAddressCaps);
LONG TSPI_lineGetAddressID(HDRVLINE hdLine, LPDWORD lpdwAddressID, DWORD dwAddressMode, LPCWSTR lpsAddress,
                           DWORD dwSize);
LONG TSPI_lineGetAddressStatus(HDRVLINE hdLine, DWORD dwAddressID, LPLINEADDRESSSTATUS lpAddressStatus);
LONG TSPI_lineGetCallAddressID(HDRVCALL hdCall, LPDWORD lpdwAddressID);
LONG TSPI_lineGetCallHubTracking(HDRVLINE hdLine, LPLINECALLHUBTRACKINGINFO lpTrackingInfo);
LONG TSPI_lineGetCallIDs(HDRVCALL hdCall, LPDWORD lpdwAddressID, LPDWORD lpdwCallID,
                         LPDWORD lpdwRelatedCallID);
LONG TSPI_lineGetCallInfo(HDRVCALL hdCall, LPLINECALLINFO lpCallInfo);
LONG TSPI_lineGetCallStatus(HDRVCALL hdCall, LPLINECALLSTATUS lpCallStatus);
LONG TSPI_lineGetDevCaps(DWORD dwDeviceID, DWORD dwTSPIVersion, DWORD dwExtVersion,
                         LPLINEDEVCAPS lpLineDevCaps);
LONG TSPI_lineGetDevConfig(DWORD dwDeviceID, LPVARSTRING lpDeviceConfig, LPCWSTR lpszDeviceClass);
LONG TSPI_lineGetExtensionID(DWORD dwDeviceID, DWORD dwTSPIVersion, LPLINEEXTENSIONID lpExtensionID);
LONG TSPI_lineGetIcon(DWORD dwDeviceID, LPCWSTR lpszDeviceClass, LPHICON lphIcon);
LONG TSPI_lineGetID(HDRVLINE hdLine, DWORD dwAddressID, HDRVCALL hdCall, DWORD dwSelect,
                    LPVARSTRING lpDeviceID, LPCWSTR lpszDeviceClass, HANDLE hTargetProcess);
LONG TSPI_lineGetLineDevStatus(HDRVLINE hdLine, LPLINEDEVSTATUS lpLineDevStatus);
LONG TSPI_lineGetNumAddressIDs(HDRVLINE hdLine, LPDWORD lpdwNumAddressIDs);
LONG TSPI_lineMonitorDigits(HDRVCALL hdCall, DWORD dwDigitModes);
LONG TSPI_lineMonitorMedia(HDRVCALL hdCall, DWORD dwMediaModes);
LONG TSPI_lineMonitorTones(HDRVCALL hdCall, DWORD dwToneListID, LPLINEMONITORTONE lpToneList,
                           DWORD dwNumEntries);
LONG TSPI_lineNegotiateExtVersion(DWORD dwDeviceID, DWORD dwTSPIVersion, DWORD dwLowVersion,
                                  DWORD dwHighVersion, LPDWORD lpdwExtVersion);
LONG TSPI_lineNegotiateTSPIVersion(DWORD dwDeviceID, DWORD dwLowVersion, DWORD dwHighVersion,
                                   LPDWORD lpdwTSPIVersion);
LONG TSPI_lineOpen(DWORD dwDeviceID, HTAPILINE htLine, LPHDRVLINE lphdLine, DWORD dwTSPIVersion,
                   LINEEVENT lpfnEventProc);
LONG TSPI_lineSelectExtVersion(HDRVLINE hdLine, DWORD dwExtVersion);
LONG TSPI_lineSetAppSpecific(HDRVCALL hdCall, DWORD dwAppSpecific);
LONG TSPI_lineSetCallHubTracking(HDRVLINE hdLine, LPLINECALLHUBTRACKINGINFO lpTrackingInfo);
LONG TSPI_lineSetCurrentLocation(DWORD dwLocation);
LONG TSPI_lineSetDefaultMediaDetection(HDRVLINE hdLine, DWORD dwMediaModes);
LONG TSPI_lineSetDevConfig(DWORD dwDeviceID, LPVOID lpDeviceConfig, DWORD dwSize, LPCWSTR lpszDeviceClass);
LONG TSPI_lineSetMediaControl(HDRVLINE hdLine, DWORD dwAddressID, HDRVCALL hdCall, DWORD dwSelect,
                              LPLINEMEDIACONTROLDIGIT lpDigitList, DWORD dwDigitNumEntries,
                              LPLINEMEDIACONTROLMEDIA lpMediaList, DWORD dwMediaNumEntries,
                              LPLINEMEDIACONTROLTONE lpToneList, DWORD dwToneNumEntries,
                              LPLINEMEDIACONTROLCALLSTATE lpCallStateList, DWORD dwCallStateNumEntries);
LONG TSPI_lineSetMediaMode(HDRVCALL hdCall, DWORD dwMediaMode);
LONG TSPI_lineSetStatusMessages(HDRVLINE hdLine, DWORD dwLineStates, DWORD dwAddressStates);

// ---- Line devices, async

LONG TSPI_lineAccept(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG TSPI_lineAddToConference(DRV_REQUESTID dwRequestID, HDRVCALL hdConfCall, HDRVCALL hdConsultCall);
LONG TSPI_lineAnswer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG TSPI_lineBlindTransfer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCWSTR lpszDestAddress,
                            DWORD dwCountryCode);
LONG TSPI_lineCompleteCall(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPDWORD lpdwCompletionID,
                           DWORD dwCompletionMode, DWORD dwMessageID);
LONG TSPI_lineCompleteTransfer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, HDRVCALL hdConsultCall,
                               HTAPICALL htConfCall, LPHDRVCALL lphdConfCall, DWORD dwTransferMode);
LONG TSPI_lineDevSpecific(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwAddressID, HDRVCALL hdCall,
                          LPVOID lpParams, DWORD dwSize);
LONG TSPI_lineDevSpecificFeature(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwFeature, LPVOID lpParams,
                                 DWORD dwSize);
LONG TSPI_lineDial(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCWSTR lpszDestAddress, DWORD dwCountryCode);
LONG TSPI_lineDrop(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR lpsUserUserInfo, DWORD dwSize);
LONG TSPI_lineForward(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD bAllAddresses, DWORD dwAddressID,
                      LPLINEFORWARDLIST lpForwardList, DWORD dwNumRingsNoAnswer, HTAPICALL htConsultCall,
                      LPHDRVCALL lphdConsultCall, LPLINECALLPARAMS lpCallParams);
LONG TSPI_lineHold(DRV_REQUESTID dwRequestID, HDRVCALL hdCall);
LONG TSPI_lineMakeCall(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, HTAPICALL htCall, LPHDRVCALL lphdCall,
                       LPCWSTR lpszDestAddress, DWORD dwCountryCode, LPLINECALLPARAMS lpCallParams);
LONG TSPI_linePark(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, DWORD dwParkMode, LPCWSTR lpszDirAddress,
                   LPVARSTRING lpNonDirAddress);
LONG TSPI_linePickup(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwAddressID, HTAPICALL htCall,
                     LPHDRVCALL lphdCall, LPCWSTR lpszDestAddress, LPCWSTR lpszGroupID);
LONG TSPI_linePrepareAddToConference(DRV_REQUESTID dwRequestID, HDRVCALL hdConfCall, HTAPICALL htConsultCall,
                                     LPHDRVCALL lphdConsultCall, LPLINECALLPARAMS lpCallParams);
LONG TSPI_lineRedirect(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCWSTR lpszDestAddress,
                       DWORD dwCountryCode);
LONG TSPI_lineReleaseUserUserInfo(DRV_REQUESTID dwRequestID, HDRVCALL hdCall);
LONG TSPI_lineRemoveFromConference(DRV_REQUESTID dwRequestID, HDRVCALL hdCall);
LONG TSPI_lineSecureCall(DRV_REQUESTID dwRequestID, HDRVCALL hdCall);
LONG TSPI_lineSendUserUserInfo(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPCSTR lpsUserUserInfo,
                               DWORD dwSize);
LONG TSPI_lineSetCallData(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPVOID lpCallData, DWORD dwSize);
LONG TSPI_lineSetCallParams(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, DWORD dwBearerMode, DWORD dwMinRate,
                            DWORD dwMaxRate, LPLINEDIALPARAMS lpDialParams);
LONG TSPI_lineSetCallQualityOfService(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, LPVOID lpSendingFlowspec,
                                      DWORD dwSendingFlowspecSize, LPVOID lpReceivingFlowspec,
                                      DWORD dwReceivingFlowspecSize);
LONG TSPI_lineSetCallTreatment(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, DWORD dwTreatment);
LONG TSPI_lineSetLineDevStatus(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwStatusToChange,
                               DWORD fStatus);
LONG TSPI_lineSetTerminal(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwAddressID, HDRVCALL hdCall,
                          DWORD dwSelect, DWORD dwTerminalModes, DWORD dwTerminalID, DWORD bEnable);
LONG TSPI_lineSetupConference(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, HDRVLINE hdLine,
                              HTAPICALL htConfCall, LPHDRVCALL lphdConfCall, HTAPICALL htConsultCall,
                              LPHDRVCALL lphdConsultCall, DWORD dwNumParties, LPLINECALLPARAMS lpCallParams);
LONG TSPI_lineSetupTransfer(DRV_REQUESTID dwRequestID, HDRVCALL hdCall, HTAPICALL htConsultCall,
                            LPHDRVCALL lphdConsultCall, LPLINECALLPARAMS lpCallParams);
LONG TSPI_lineSwapHold(DRV_REQUESTID dwRequestID, HDRVCALL hdActiveCall, HDRVCALL hdHeldCall);
LONG TSPI_lineUncompleteCall(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwCompletionID);
LONG TSPI_lineUnhold(DRV_REQUESTID dwRequestID, HDRVCALL hdCall);
LONG TSPI_lineUnpark(DRV_REQUESTID dwRequestID, HDRVLINE hdLine, DWORD dwAddressID, HTAPICALL htCall,
                     LPHDRVCALL lphdCall, LPCWSTR lpszDestAddress);

// ---- Phone devices, answered at once

LONG TSPI_phoneClose(HDRVPHONE hdPhone);
LONG TSPI_phoneGetButtonInfo(HDRVPHONE hdPhone, DWORD dwButtonLampID, LPPHONEBUTTONINFO lpButtonInfo);
LONG TSPI_phoneGetData(HDRVPHONE hdPhone, DWORD dwDataID, LPVOID lpData, DWORD dwSize);
LONG TSPI_phoneGetDevCaps(DWORD dwDeviceID, DWORD dwTSPIVersion, DWORD dwExtVersion, LPPHONECAPS lpPhoneCaps);
LONG TSPI_phoneGetDisplay(HDRVPHONE hdPhone, LPVARSTRING lpDisplay);
LONG TSPI_phoneGetExtensionID(DWORD dwDeviceID, DWORD dwTSPIVersion, LPPHONEEXTENSIONID lpExtensionID);
LONG TSPI_phoneGetGain(HDRVPHONE hdPhone, DWORD dwHookSwitchDev, LPDWORD lpdwGain);
LONG TSPI_phoneGetHookSwitch(HDRVPHONE hdPhone, LPDWORD lpdwHookSwitchDevs);
LONG TSPI_phoneGetIcon(DWORD dwDeviceID, LPCWSTR lpszDeviceClass, LPHICON lphIcon);
LONG TSPI_phoneGetID(HDRVPHONE hdPhone, LPVARSTRING lpDeviceID, LPCWSTR lpszDeviceClass,
                     HANDLE hTargetProcess);
LONG TSPI_phoneGetLamp(HDRVPHONE hdPhone, DWORD dwButtonLampID, LPDWORD lpdwLampMode);
LONG TSPI_phoneGetRing(HDRVPHONE hdPhone, LPDWORD lpdwRingMode, LPDWORD lpdwVolume);
LONG TSPI_phoneGetStatus(HDRVPHONE hdPhone, LPPHONESTATUS lpPhoneStatus);
LONG TSPI_phoneGetVolume(HDRVPHONE hdPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume);
LONG TSPI_phoneNegotiateExtVersion(DWORD dwDeviceID, DWORD dwTSPIVersion, DWORD dwLowVersion,
                                   DWORD dwHighVersion, LPDWORD lpdwExtVersion);
LONG TSPI_phoneNegotiateTSPIVersion(DWORD dwDeviceID, DWORD dwLowVersion, DWORD dwHighVersion,
                                    LPDWORD lpdwTSPIVersion);
LONG TSPI_phoneOpen(DWORD dwDeviceID, HTAPIPHONE htPhone, LPHDRVPHONE lphdPhone, DWORD dwTSPIVersion,
                    PHONEEVENT lpfnEventProc);
LONG TSPI_phoneSelectExtVersion(HDRVPHONE hdPhone, DWORD dwExtVersion);
LONG TSPI_phoneSetStatusMessages(HDRVPHONE hdPhone, DWORD dwPhoneStates, DWORD dwButtonModes,
                                 DWORD dwButtonStates);

// ---- Phone devices, async

LONG TSPI_phoneDevSpecific(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, LPVOID lpParams, DWORD dwSize);
LONG TSPI_phoneSetButtonInfo(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwButtonLampID,
                             LPPHONEBUTTONINFO lpButtonInfo);
LONG TSPI_phoneSetData(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwDataID, LPVOID lpData,
                       DWORD dwSize);
LONG TSPI_phoneSetDisplay(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwRow, DWORD dwColumn,
                          LPCWSTR lpsDisplay, DWORD dwSize);
LONG TSPI_phoneSetGain(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwHookSwitchDev, DWORD dwGain);
LONG TSPI_phoneSetHookSwitch(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwHookSwitchDevs,
                             DWORD dwHookSwitchMode);
LONG TSPI_phoneSetLamp(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwButtonLampID, DWORD dwLampMode);
LONG TSPI_phoneSetRing(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwRingMode, DWORD dwVolume);
LONG TSPI_phoneSetVolume(DRV_REQUESTID dwRequestID, HDRVPHONE hdPhone, DWORD dwHookSwitchDev, DWORD dwVolume);

// ---- The provider as a whole

// Obsolete since version 2.0 (TUISPI_providerConfig took its place), still looked up by name.
LONG TSPI_providerConfig(HWND hwndOwner, DWORD dwPermanentProviderID);
LONG TSPI_providerCreateLineDevice(DWORD_PTR dwTempID, DWORD dwDeviceID);
LONG TSPI_providerCreatePhoneDevice(DWORD_PTR dwTempID, DWORD dwDeviceID);
LONG TSPI_providerEnumDevices(DWORD dwPermanentProviderID, LPDWORD lpdwNumLines, LPDWORD lpdwNumPhones,
                              HPROVIDER hProvider, LINEEVENT lpfnLineCreateProc,
                              PHONEEVENT lpfnPhoneCreateProc);
LONG TSPI_providerFreeDialogInstance(HDRVDIALOGINSTANCE hdDlgInst);
LONG TSPI_providerGenericDialogData(DWORD_PTR dwObjectID, DWORD dwObjectType, LPVOID lpParams, DWORD dwSize);
LONG TSPI_providerInit(DWORD dwTSPIVersion, DWORD dwPermanentProviderID, DWORD dwLineDeviceIDBase,
                       DWORD dwPhoneDeviceIDBase, DWORD_PTR dwNumLines, DWORD_PTR dwNumPhones,
                       ASYNC_COMPLETION lpfnCompletionProc, LPDWORD lpdwTSPIOptions);
// Obsolete since version 2.0 (TUISPI_providerInstall took its place), still looked up by name.
LONG TSPI_providerInstall(HWND hwndOwner, DWORD dwPermanentProviderID);
// Obsolete since version 2.0 (TUISPI_providerRemove took its place), still looked up by name.
LONG TSPI_providerRemove(HWND hwndOwner, DWORD dwPermanentProviderID);
LONG TSPI_providerShutdown(DWORD dwTSPIVersion, DWORD dwPermanentProviderID);
LONG TSPI_providerUIIdentify(LPWSTR lpszUIDLLName);

// ---- Media service providers

LONG TSPI_lineMSPIdentify(DWORD dwDeviceID, GUID* pCLSID);
LONG TSPI_lineCreateMSPInstance(HDRVLINE hdLine, DWORD dwAddressID, HTAPIMSPLINE htMSPLine,
                                LPHDRVMSPLINE lphdMSPLine);
LONG TSPI_lineCloseMSPInstance(HDRVMSPLINE hdMSPLine);
LONG TSPI_lineReceiveMSPData(HDRVLINE hdLine, HDRVCALL hdCall, HDRVMSPLINE hdMSPLine, LPVOID pBuffer,
                             DWORD dwSize);

// ---- The user-interface library (may be the provider library itself)

LONG TUISPI_lineConfigDialog(TUISPIDLLCALLBACK lpfnUIDLLCallback, DWORD dwDeviceID, HWND hwndOwner,
                             LPCWSTR lpszDeviceClass);
LONG TUISPI_lineConfigDialogEdit(TUISPIDLLCALLBACK lpfnUIDLLCallback, DWORD dwDeviceID, HWND hwndOwner,
                                 LPCWSTR lpszDeviceClass, LPVOID lpDeviceConfigIn, DWORD dwSize,
                                 LPVARSTRING lpDeviceConfigOut);
LONG TUISPI_phoneConfigDialog(TUISPIDLLCALLBACK lpfnUIDLLCallback, DWORD dwDeviceID, HWND hwndOwner,
                              LPCWSTR lpszDeviceClass);
LONG TUISPI_providerConfig(TUISPIDLLCALLBACK lpfnUIDLLCallback, HWND hwndOwner, DWORD dwPermanentProviderID);
LONG TUISPI_providerGenericDialog(TUISPIDLLCALLBACK lpfnUIDLLCallback, HTAPIDIALOGINSTANCE htDlgInst,
                                  LPVOID lpParams, DWORD dwSize, HANDLE hEvent);
LONG TUISPI_providerGenericDialogData(HTAPIDIALOGINSTANCE htDlgInst, LPVOID lpParams, DWORD dwSize);
LONG TUISPI_providerInstall(TUISPIDLLCALLBACK lpfnUIDLLCallback, HWND hwndOwner, DWORD dwPermanentProviderID);
LONG TUISPI_providerRemove(TUISPIDLLCALLBACK lpfnUIDLLCallback, HWND hwndOwner, DWORD dwPermanentProviderID);

}  // extern "C"

// ---- The entry points in slot order
// TSPI_ENTRY_POINTS(X) expands X(name) once per entry point, in the order of the service's slot table:
// the line functions, the phone functions, the provider functions, the media service provider
// functions and last the user-interface functions. The name table, the typed slots and their count
// are all made from this one list.

// clang-format off
#define TSPI_LINE_ENTRY_POINTS(X) \
  X(TSPI_lineAccept) \
  X(TSPI_lineAddToConference) \
  X(TSPI_lineAnswer) \
  X(TSPI_lineBlindTransfer) \
  X(TSPI_lineClose) \
  X(TSPI_lineCloseCall) \
  X(TSPI_lineCompleteCall) \
  X(TSPI_lineCompleteTransfer) \
  X(TSPI_lineConditionalMediaDetection) \
  X(TSPI_lineDevSpecific) \
  X(TSPI_lineDevSpecificFeature) \
  X(TSPI_lineDial) \
  X(TSPI_lineDrop) \
  X(TSPI_lineDropOnClose) \
  X(TSPI_lineDropNoOwner) \
  X(TSPI_lineForward) \
  X(TSPI_lineGatherDigits) \
  X(TSPI_lineGenerateDigits) \
  X(TSPI_lineGenerateTone) \
  X(TSPI_lineGetAddressCaps) \
  X(TSPI_lineGetAddressID) \
  X(TSPI_lineGetAddressStatus) \
  X(TSPI_lineGetCallAddressID) \
  X(TSPI_lineGetCallHubTracking) \
  X(TSPI_lineGetCallIDs) \
  X(TSPI_lineGetCallInfo) \
  X(TSPI_lineGetCallStatus) \
  X(TSPI_lineGetDevCaps) \
  X(TSPI_lineGetDevConfig) \
  X(TSPI_lineGetExtensionID) \
  X(TSPI_lineGetIcon) \
  X(TSPI_lineGetID) \
  X(TSPI_lineGetLineDevStatus) \
  X(TSPI_lineGetNumAddressIDs) \
  X(TSPI_lineHold) \
  X(TSPI_lineMakeCall) \
  X(TSPI_lineMonitorDigits) \
  X(TSPI_lineMonitorMedia) \
  X(TSPI_lineMonitorTones) \
  X(TSPI_lineNegotiateExtVersion) \
  X(TSPI_lineNegotiateTSPIVersion) \
  X(TSPI_lineOpen) \
  X(TSPI_linePark) \
  X(TSPI_linePickup) \
  X(TSPI_linePrepareAddToConference) \
  X(TSPI_lineRedirect) \
  X(TSPI_lineReleaseUserUserInfo) \
  X(TSPI_lineRemoveFromConference) \
  X(TSPI_lineSecureCall) \
  X(TSPI_lineSelectExtVersion) \
  X(TSPI_lineSendUserUserInfo) \
  X(TSPI_lineSetAppSpecific) \
  X(TSPI_lineSetCallData) \
  X(TSPI_lineSetCallHubTracking) \
  X(TSPI_lineSetCallParams) \
  X(TSPI_lineSetCallQualityOfService) \
  X(TSPI_lineSetCallTreatment) \
  X(TSPI_lineSetCurrentLocation) \
  X(TSPI_lineSetDefaultMediaDetection) \
  X(TSPI_lineSetDevConfig) \
  X(TSPI_lineSetLineDevStatus) \
  X(TSPI_lineSetMediaControl) \
  X(TSPI_lineSetMediaMode) \
  X(TSPI_lineSetStatusMessages) \
  X(TSPI_lineSetTerminal) \
  X(TSPI_lineSetupConference) \
  X(TSPI_lineSetupTransfer) \
  X(TSPI_lineSwapHold) \
  X(TSPI_lineUncompleteCall) \
  X(TSPI_lineUnhold) \
  X(TSPI_lineUnpark)

#define TSPI_PHONE_ENTRY_POINTS(X) \
  X(TSPI_phoneClose) \
  X(TSPI_phoneDevSpecific) \
  X(TSPI_phoneGetButtonInfo) \
  X(TSPI_phoneGetData) \
  X(TSPI_phoneGetDevCaps) \
  X(TSPI_phoneGetDisplay) \
  X(TSPI_phoneGetExtensionID) \
  X(TSPI_phoneGetGain) \
  X(TSPI_phoneGetHookSwitch) \
  X(TSPI_phoneGetIcon) \
  X(TSPI_phoneGetID) \
  X(TSPI_phoneGetLamp) \
  X(TSPI_phoneGetRing) \
  X(TSPI_phoneGetStatus) \
  X(TSPI_phoneGetVolume) \
  X(TSPI_phoneNegotiateExtVersion) \
  X(TSPI_phoneNegotiateTSPIVersion) \
  X(TSPI_phoneOpen) \
  X(TSPI_phoneSelectExtVersion) \
  X(TSPI_phoneSetButtonInfo) \
  X(TSPI_phoneSetData) \
  X(TSPI_phoneSetDisplay) \
  X(TSPI_phoneSetGain) \
  X(TSPI_phoneSetHookSwitch) \
  X(TSPI_phoneSetLamp) \
  X(TSPI_phoneSetRing) \
  X(TSPI_phoneSetStatusMessages) \
  X(TSPI_phoneSetVolume)

#define TSPI_PROVIDER_ENTRY_POINTS(X) \
  X(TSPI_providerConfig) \
  X(TSPI_providerCreateLineDevice) \
  X(TSPI_providerCreatePhoneDevice) \
  X(TSPI_providerEnumDevices) \
  X(TSPI_providerFreeDialogInstance) \
  X(TSPI_providerGenericDialogData) \
  X(TSPI_providerInit) \
  X(TSPI_providerInstall) \
  X(TSPI_providerRemove) \
  X(TSPI_providerShutdown) \
  X(TSPI_providerUIIdentify)

#define TSPI_MSP_ENTRY_POINTS(X) \
  X(TSPI_lineMSPIdentify) \
  X(TSPI_lineCreateMSPInstance) \
  X(TSPI_lineCloseMSPInstance) \
  X(TSPI_lineReceiveMSPData)

#define TUISPI_ENTRY_POINTS(X) \
  X(TUISPI_lineConfigDialog) \
  X(TUISPI_lineConfigDialogEdit) \
  X(TUISPI_phoneConfigDialog) \
  X(TUISPI_providerConfig) \
  X(TUISPI_providerGenericDialog) \
  X(TUISPI_providerGenericDialogData) \
  X(TUISPI_providerInstall) \
  X(TUISPI_providerRemove)

#define TSPI_ENTRY_POINTS(X) \
  TSPI_LINE_ENTRY_POINTS(X) \
  TSPI_PHONE_ENTRY_POINTS(X) \
  TSPI_PROVIDER_ENTRY_POINTS(X) \
  TSPI_MSP_ENTRY_POINTS(X) \
  TUISPI_ENTRY_POINTS(X)
// clang-format on

// PFN_<name> for every listed entry point; a name in the list without a declaration above fails here.
#define TSPI_DECLARE_POINTER_TYPE(name) using PFN_##name = decltype(&name);
TSPI_ENTRY_POINTS(TSPI_DECLARE_POINTER_TYPE)
#undef TSPI_DECLARE_POINTER_TYPE

// The number of entry points, and so of slots.
#define TSPI_COUNT_ENTRY_POINT(name) +1
constexpr DWORD TSPI_ENTRY_POINT_COUNT = 0 TSPI_ENTRY_POINTS(TSPI_COUNT_ENTRY_POINT);
#undef TSPI_COUNT_ENTRY_POINT
static_assert(TSPI_ENTRY_POINT_COUNT == 122);
