// The entry points of the simulated provider, checked against its phone system under one lock.
#include "provider.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "structures.h"

namespace simtsp {
namespace {

LONG Failure(DWORD lineError) { return static_cast<LONG>(lineError); }

bool IsSpokenVersion(DWORD version) {
  return version >= kLowestTspiVersion && version <= kHighestTspiVersion;
}

}  // namespace

LONG Provider::NegotiateTspiVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                                    LPDWORD tspiVersion) {
  if (tspiVersion == nullptr) return Failure(LINEERR_INVALPOINTER);
  *tspiVersion = 0;
  std::lock_guard<std::mutex> lock(m_lock);
  if (deviceId != INITIALIZE_NEGOTIATION && m_system.FindByDeviceId(deviceId) == nullptr) {
    return Failure(LINEERR_BADDEVICEID);
  }
  DWORD agreed = std::min(highVersion, kHighestTspiVersion);
  if (agreed < lowVersion || agreed < kLowestTspiVersion) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
  *tspiVersion = agreed;
  return 0;
}

// The simulated lines have no extensions: whatever range the host offers, the agreed version is 0.
LONG Provider::NegotiateExtVersion(DWORD deviceId, DWORD tspiVersion, DWORD, DWORD, LPDWORD extVersion) {
  if (extVersion == nullptr) return Failure(LINEERR_INVALPOINTER);
  *extVersion = 0;
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_system.FindByDeviceId(deviceId) == nullptr) return Failure(LINEERR_BADDEVICEID);
  if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
  return 0;
}

LONG Provider::EnumDevices(LPDWORD numLines, LPDWORD numPhones, HPROVIDER provider, LINEEVENT lineCreate) {
  if (numLines == nullptr || numPhones == nullptr) return Failure(LINEERR_INVALPOINTER);
  std::lock_guard<std::mutex> lock(m_lock);
  // A running phone system keeps its lines: the host may have some of them open.
  if (!m_worker.IsRunning()) {
    m_config = LoadConfig(std::getenv("SIMTSP_CONFIG"), std::cerr);
    m_system.Reset(m_config.lines);
  }
  m_hProvider = provider;
  m_lineCreate = lineCreate;
  *numLines = m_system.LineCount();
  *numPhones = 0;
  return 0;
}

LONG Provider::Init(DWORD lineDeviceIdBase, ASYNC_COMPLETION completion, LPDWORD tspiOptions) {
  if (tspiOptions == nullptr) return Failure(LINEERR_INVALPOINTER);
  std::lock_guard<std::mutex> lock(m_lock);
  // Every entry point takes the lock, so the host need not serialise its calls.
  *tspiOptions = 0;
  if (!m_worker.Start()) return Failure(LINEERR_OPERATIONFAILED);
  m_completion = completion;
  m_system.NumberLines(lineDeviceIdBase);
  return 0;
}

LONG Provider::Shutdown() {
  // Not under the lock: the action under way may be inside the host, calling the provider.
  if (!m_worker.Stop()) return Failure(LINEERR_OPERATIONFAILED);
  std::lock_guard<std::mutex> lock(m_lock);
  m_system.CloseAll();
  m_completion = nullptr;
  m_lineCreate = nullptr;
  return 0;
}

LONG Provider::GetDevCaps(DWORD deviceId, DWORD tspiVersion, DWORD extVersion, LINEDEVCAPS* caps) {
  if (caps == nullptr) return Failure(LINEERR_INVALPOINTER);
  std::lock_guard<std::mutex> lock(m_lock);
  const Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return Failure(LINEERR_BADDEVICEID);
  if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
  if (extVersion != 0) return Failure(LINEERR_INCOMPATIBLEEXTVERSION);
  if (!HoldsFixedPart(*caps)) return Failure(LINEERR_STRUCTURETOOSMALL);
  FillDevCaps(*line, *caps);
  return 0;
}

LONG Provider::GetAddressCaps(DWORD deviceId, DWORD addressId, DWORD tspiVersion, DWORD extVersion,
                              LINEADDRESSCAPS* caps) {
  if (caps == nullptr) return Failure(LINEERR_INVALPOINTER);
  std::lock_guard<std::mutex> lock(m_lock);
  const Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return Failure(LINEERR_BADDEVICEID);
  if (addressId != 0) return Failure(LINEERR_INVALADDRESSID);
  if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
  if (extVersion != 0) return Failure(LINEERR_INCOMPATIBLEEXTVERSION);
  if (!HoldsFixedPart(*caps)) return Failure(LINEERR_STRUCTURETOOSMALL);
  FillAddressCaps(*line, *caps);
  return 0;
}

LONG Provider::Open(DWORD deviceId, HTAPILINE htLine, LPHDRVLINE hdLine, DWORD tspiVersion,
                    LINEEVENT events) {
  if (hdLine == nullptr) return Failure(LINEERR_INVALPOINTER);
  *hdLine = 0;
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByDeviceId(deviceId);
  if (line == nullptr) return Failure(LINEERR_BADDEVICEID);
  if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
  // The host multiplexes its clients onto one open per line.
  if (line->IsOpen()) return Failure(LINEERR_RESOURCEUNAVAIL);
  *hdLine = m_system.Open(*line, htLine, events);
  return 0;
}

LONG Provider::Close(HDRVLINE hdLine) {
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByHandle(hdLine);
  if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
  m_system.Close(*line);
  return 0;
}

LONG Provider::SetStatusMessages(HDRVLINE hdLine, DWORD lineStates, DWORD addressStates) {
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByHandle(hdLine);
  if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
  line->lineStates = lineStates;
  line->addressStates = addressStates;
  return 0;
}

LONG Provider::SetDefaultMediaDetection(HDRVLINE hdLine, DWORD mediaModes) {
  std::lock_guard<std::mutex> lock(m_lock);
  Line* line = m_system.FindByHandle(hdLine);
  if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
  if ((mediaModes & ~kLineMediaModes) != 0) return Failure(LINEERR_INVALMEDIAMODE);
  line->detectedMediaModes = mediaModes;
  return 0;
}

LONG Provider::GetLineDevStatus(HDRVLINE hdLine, LINEDEVSTATUS* status) {
  if (status == nullptr) return Failure(LINEERR_INVALPOINTER);
  std::lock_guard<std::mutex> lock(m_lock);
  const Line* line = m_system.FindByHandle(hdLine);
  if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
  if (!HoldsFixedPart(*status)) return Failure(LINEERR_STRUCTURETOOSMALL);
  FillLineDevStatus(*line, *status);
  return 0;
}

LONG Provider::GetAddressStatus(HDRVLINE hdLine, DWORD addressId, LINEADDRESSSTATUS* status) {
  if (status == nullptr) return Failure(LINEERR_INVALPOINTER);
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_system.FindByHandle(hdLine) == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
  if (addressId != 0) return Failure(LINEERR_INVALADDRESSID);
  if (!HoldsFixedPart(*status)) return Failure(LINEERR_STRUCTURETOOSMALL);
  FillAddressStatus(*status);
  return 0;
}

LONG Provider::CreateLineDevice(DWORD_PTR tempId, DWORD deviceId) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_system.AdoptPendingLine(tempId, deviceId)) return Failure(LINEERR_BADDEVICEID);
  return 0;
}

bool Provider::AnnounceLine(const LineSetting& setting) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_lineCreate == nullptr || !m_worker.IsRunning()) return false;
  DWORD_PTR tempId = m_system.AddPendingLine(setting);
  LINEEVENT lineCreate = m_lineCreate;
  HPROVIDER provider = m_hProvider;
  return m_worker.Post(std::chrono::milliseconds(0), [lineCreate, provider, tempId] {
    lineCreate(0, 0, LINE_CREATE, provider, tempId, 0);
  });
}

bool Provider::CompleteRequest(DRV_REQUESTID requestId, LONG result) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_completion == nullptr) return false;
  ASYNC_COMPLETION completion = m_completion;
  return m_worker.Post(m_config.delays.completion,
                       [completion, requestId, result] { completion(requestId, result); });
}

}  // namespace simtsp
