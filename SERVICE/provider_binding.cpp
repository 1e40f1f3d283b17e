// The binding of the provider library: load, bind by name, negotiate, enumerate, initialise, build lines.
#include <new>

#include "ToolFunktion.h"
#include "plat/bounded_text.h"
#include "plat/fault.h"
#include "plat/module.h"
#include "plat/time.h"
#include "provider.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

plat::HMODULE g_hTspiLibrary = nullptr;
TspiEntryPoints g_TspiEntryPoints = {};
plat::DWORD g_dwTSPIVersion = 0;
plat::DWORD g_dwPermanentProviderID = 0;
plat::DWORD g_dwNumLines = 0;
plat::DWORD g_dwNumPhones = 0;
plat::DWORD g_dwTSPIOptions = 0;
const HPROVIDER g_hProvider = 0x009E6540;

namespace {

constexpr plat::DWORD kLowestVersion = TAPI_VERSION1_0;
constexpr plat::DWORD kHighestVersion = TAPI_VERSION3_1;

}  // namespace

LONG QueryDevCaps(const CLineObject& line, LINEDEVCAPS** caps) {
  *caps = static_cast<LINEDEVCAPS*>(CServiceWindow::PrepareStructBuffer());
  LONG result = g_TspiEntryPoints.TSPI_lineGetDevCaps(line.GetDeviceID(), line.GetAPIVersion(),
                                                      line.GetExtVersion(), *caps);
  if (result != 0)
    result = g_TspiEntryPoints.TSPI_lineGetDevCaps(line.GetDeviceID(), line.GetAPIVersion(), 0, *caps);
  return result;
}

LONG QueryAddressCaps(const CLineObject& line, LINEADDRESSCAPS** caps, const char* retryLog) {
  *caps = static_cast<LINEADDRESSCAPS*>(CServiceWindow::PrepareStructBuffer());
  LONG result = g_TspiEntryPoints.TSPI_lineGetAddressCaps(line.GetDeviceID(), 0, line.GetAPIVersion(),
                                                          line.GetExtVersion(), *caps);
  if (result == 0) return 0;
  if (retryLog != nullptr) LogMessage(kLogInfo, "%s", retryLog);
  return g_TspiEntryPoints.TSPI_lineGetAddressCaps(line.GetDeviceID(), 0, line.GetAPIVersion(), 0, *caps);
}

void CServiceWindow::LoadTapiLibrary() {
  LogMessage(kLogTrace, "CServiceWindow::LoadTapiLibrary");
  g_hTspiLibrary = plat::LoadLibraryA(m_szDriver);
  if (g_hTspiLibrary == nullptr) {
    LogMessage(kLogError, "Cannot Load TAPI Driver: %s", m_szDriver);
    return;
  }
#define TSPI_BIND(name) \
  g_TspiEntryPoints.name = reinterpret_cast<PFN_##name>(plat::GetProcAddress(g_hTspiLibrary, #name));
  TSPI_ENTRY_POINTS(TSPI_BIND)
#undef TSPI_BIND
  g_dwPermanentProviderID = TOOLFUNC_registry::GetTapiProviderId(m_szDriver);
  LogMessage(kLogInfo, "g_dwPermanentProviderID %d", g_dwPermanentProviderID);
  if (g_dwPermanentProviderID == 0) LogMessage(kLogCritical, "ProviderID Read Error: (%s)", m_szDriver);
}

plat::BOOL CServiceWindow::PrepareTapiInfos() {
  LogMessage(kLogTrace, "CServiceWindow::PrepareTapiInfos");
  if (g_TspiEntryPoints.TSPI_lineNegotiateTSPIVersion == nullptr) return plat::FALSE;
  LONG result = g_TspiEntryPoints.TSPI_lineNegotiateTSPIVersion(INITIALIZE_NEGOTIATION, kLowestVersion,
                                                                kHighestVersion, &g_dwTSPIVersion);
  LogMessage(kLogDetail, " TSPI_lineNegotiateTSPIVersion return 0x%08X", static_cast<unsigned>(result));
  plat::Sleep(1000);
  if (g_TspiEntryPoints.TSPI_providerEnumDevices == nullptr) return plat::FALSE;
  plat::DWORD fault = plat::GuardedCall([&result] {
    result =
        g_TspiEntryPoints.TSPI_providerEnumDevices(g_dwPermanentProviderID, &g_dwNumLines, &g_dwNumPhones,
                                                   g_hProvider, LineEventFunction, PhoneEventFunction);
  });
  if (fault != 0) LogMessage(kLogDetail, " TSPI_providerEnumDevices failed");
  // After a fault the result is still the negotiation's, and the count whatever the provider left.
  LogMessage(kLogDetail, " TSPI_providerEnumDevices return 0x%08X", static_cast<unsigned>(result));
  LogMessage(kLogDetail, "g_dwNumLines %d", g_dwNumLines);
  // A provider that faults while it counts its devices is not ready, whatever the negotiation gave.
  if (fault != 0 || result != 0) return plat::FALSE;
  struct Required {
    bool present;
    const char* missing;
  } required[] = {
      {g_TspiEntryPoints.TSPI_providerInit != nullptr, "No TSPI_providerInit present"},
      {g_TspiEntryPoints.TSPI_providerShutdown != nullptr, "No F_TSPI_providerShutdown present"},
      {g_TspiEntryPoints.TSPI_lineGetDevCaps != nullptr, "No TSPI_lineGetDevCaps present"},
      {g_TspiEntryPoints.TSPI_lineGetAddressCaps != nullptr, "No TSPI_lineGetAddressCaps present"},
  };
  for (const Required& entry : required) {
    if (!entry.present) {
      LogMessage(kLogError, "%s", entry.missing);
      return plat::FALSE;
    }
  }
  ProviderInit();
  return plat::TRUE;
}

void CServiceWindow::ProviderInit() {
  LogMessage(kLogDetail, "CServiceWindow::ProviderInit");
  LONG result =
      g_TspiEntryPoints.TSPI_providerInit(g_dwTSPIVersion, g_dwPermanentProviderID, 0, 0, g_dwNumLines,
                                          g_dwNumPhones, AsyncCompletion, &g_dwTSPIOptions);
  LogMessage(kLogDetail, " TSPI_providerInit return 0x%08X", static_cast<unsigned>(result));
  LogMessage(kLogDetail, "  g_dwTSPIOptions 0x%08X", g_dwTSPIOptions);
  plat::CriticalSectionLock lock(&m_csLineList);
  for (plat::DWORD device = 0; device < g_dwNumLines; ++device) CreateInsertLineObject(device);
}

CLineObject* CServiceWindow::CreateInsertLineObject(plat::DWORD dwDeviceID) {
  LogMessage(kLogTrace, "CServiceWindow::CreateInsertLineObject LinePos %d", dwDeviceID);
  // No memory for the object: no line for the device, and the start or the event goes on without it.
  auto* line = new (std::nothrow) CLineObject(dwDeviceID);
  if (line == nullptr) return nullptr;
  plat::DWORD apiVersion = 0;
  g_TspiEntryPoints.TSPI_lineNegotiateTSPIVersion(dwDeviceID, kLowestVersion, g_dwTSPIVersion, &apiVersion);
  line->SetAPIVersion(apiVersion);
  plat::DWORD extVersion = 0;
  if (g_TspiEntryPoints.TSPI_lineNegotiateExtVersion != nullptr)
    g_TspiEntryPoints.TSPI_lineNegotiateExtVersion(dwDeviceID, apiVersion, 0, 0xFFFFFFFF, &extVersion);
  line->SetExtVersion(extVersion);

  LINEDEVCAPS* devCaps = nullptr;
  LONG result = QueryDevCaps(*line, &devCaps);
  if (result == 0) {
    line->SetNumAddresses(devCaps->dwNumAddresses);
    line->SetLineFeatures(devCaps->dwLineFeatures);
    plat::BoundedCopy(line->LineName, sizeof(line->LineName),
                      GetStructText(devCaps, devCaps->dwLineNameOffset, devCaps->dwLineNameSize));
  } else {
    LogMessage(
        kLogTrace,
        "CServiceWindow::CreateInsertLineObject TSPI_lineGetDevCaps failed with errorCode %d for dwDevice "
        "0x%08X",
        static_cast<int>(result), dwDeviceID);
  }

  LINEADDRESSCAPS* addressCaps = nullptr;
  result =
      QueryAddressCaps(*line, &addressCaps,
                       "CServiceWindow::CreateInsertLineObject first attempt of lineGetAddressCaps failed, "
                       "retrying with 0 version");
  if (result == 0) {
    plat::BoundedCopy(line->Address, sizeof(line->Address),
                      GetStructText(addressCaps, addressCaps->dwAddressOffset, addressCaps->dwAddressSize));
    line->SetCallFeatures(addressCaps->dwCallFeatures);
    line->SetCallFeatures2(addressCaps->dwCallFeatures2);
    line->SetAddressFeatures(addressCaps->dwAddressFeatures);
  } else {
    LogMessage(kLogInfo,
               "CServiceWindow::CreateInsertLineObject lineGetAddressCaps failed with errorCode 0x%08X for "
               "Device %d",
               static_cast<unsigned>(result), dwDeviceID);
  }

  LogMessage(kLogDetail, "LineName %s", line->GetLineName());
  LogMessage(kLogDetail, " Address %s", line->GetAddress());
  LogMessage(kLogDetail, " dwAPIVersion 0x%08X", line->GetAPIVersion());
  LogMessage(kLogDetail, " dwExtVersion 0x%08X", line->GetExtVersion());
  LogMessage(kLogDetail, " dwCallFeatures 0x%08X", line->GetCallFeatures());
  LogMessage(kLogDetail, " dwCallFeatures2 0x%08X", line->GetCallFeatures2());
  LogMessage(kLogDetail, " dwAddressFeatures 0x%08X", line->GetAddressFeatures());
  LogMessage(kLogDetail, " dwLineFeatures 0x%08X", line->GetLineFeatures());
  LogMessage(kLogDetail, " dwNumAddresses 0x%08X", line->GetNumAddresses());
  {
    plat::CriticalSectionLock lock(&m_csTapiCall);
    m_pLineRoot->AddObject(line);
  }
  LogMessage(kLogTrace, " Number of Objects: %d", m_pLineRoot->GetNumberOfObjects());
  return line;
}

void CServiceWindow::CloseAllLines() {
  LogMessage(kLogTrace, "CServiceWindow::CloseAllLines");
  if (g_TspiEntryPoints.TSPI_lineClose == nullptr) return;
  for (CLineObject* line = m_pLineRoot; line != nullptr; line = line->GetNext()) {
    if (line->GetHdLine() == 0) continue;
    g_TspiEntryPoints.TSPI_lineClose(line->GetHdLine());
    ResetLine(line);
  }
}

void CServiceWindow::ResetLine(CLineObject* line) {
  plat::CriticalSectionLock lock(&m_csTapiCall);
  line->SetHtLine(0);
  line->SetClientLine(0);
  line->SetHdLine(0);
  ClearCallsOfLine(line);
}
