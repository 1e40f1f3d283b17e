// The provider-wide and line entry points of the simulated provider, under one lock.
#include "provider.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "call_states.h"
#include "control.h"
#include "structures.h"

namespace simtsp {
namespace {

bool IsSpokenVersion(DWORD version) {
  return version >= kLowestTspiVersion && version <= kHighestTspiVersion;
}

}  // namespace

Provider::Provider() = default;

Provider::~Provider() {
  StopControl();
  m_worker.Stop();
}

LONG Provider::Synchronous(Entry entry, const std::function<LONG()>& body) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (auto injected = TakeInjected(entry)) return injected->result;
  return body();
}

LONG Provider::NegotiateTspiVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                                    LPDWORD tspiVersion) {
  return Synchronous(Entry::TSPI_lineNegotiateTSPIVersion, [&]() -> LONG {
    if (tspiVersion == nullptr) return Failure(LINEERR_INVALPOINTER);
    *tspiVersion = 0;
    if (deviceId != INITIALIZE_NEGOTIATION && m_system.FindByDeviceId(deviceId) == nullptr) {
      return Failure(LINEERR_BADDEVICEID);
    }
    DWORD agreed = std::min(highVersion, kHighestTspiVersion);
    if (agreed < lowVersion || agreed < kLowestTspiVersion) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
    *tspiVersion = agreed;
    return 0;
  });
}

// The simulated lines have no extensions: whatever range the host offers, the agreed version is 0.
LONG Provider::NegotiateExtVersion(DWORD deviceId, DWORD tspiVersion, DWORD, DWORD, LPDWORD extVersion) {
  return Synchronous(Entry::TSPI_lineNegotiateExtVersion, [&]() -> LONG {
    if (extVersion == nullptr) return Failure(LINEERR_INVALPOINTER);
    *extVersion = 0;
    if (m_system.FindByDeviceId(deviceId) == nullptr) return Failure(LINEERR_BADDEVICEID);
    if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
    return 0;
  });
}

LONG Provider::EnumDevices(LPDWORD numLines, LPDWORD numPhones, HPROVIDER provider, LINEEVENT lineCreate) {
  return Synchronous(Entry::TSPI_providerEnumDevices, [&]() -> LONG {
    if (numLines == nullptr || numPhones == nullptr) return Failure(LINEERR_INVALPOINTER);
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
  });
}

LONG Provider::Init(DWORD lineDeviceIdBase, ASYNC_COMPLETION completion, LPDWORD tspiOptions) {
  return Synchronous(Entry::TSPI_providerInit, [&]() -> LONG {
    if (tspiOptions == nullptr) return Failure(LINEERR_INVALPOINTER);
    *tspiOptions = 0;
    if (!m_worker.Start()) return Failure(LINEERR_OPERATIONFAILED);
    m_stopping = false;
    m_completion = completion;
    m_system.NumberLines(lineDeviceIdBase);
    const char* controlPath = std::getenv("SIMTSP_CONTROL");
    if (controlPath != nullptr && *controlPath != '\0') {
      std::string why;
      auto handler = [this](const std::string& command) { return RunControlCommand(*this, command); };
      if (!m_control.Start(controlPath, handler, why)) {
        std::cerr << "SIMTSP: no control socket at " << controlPath << ": " << why << std::endl;
      }
    }
    return 0;
  });
}

LONG Provider::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (auto injected = TakeInjected(Entry::TSPI_providerShutdown)) return injected->result;
  }
  // Not under the lock: what runs on the provider's threads may be inside the host, calling the provider.
  if (OnOwnThread()) return Failure(LINEERR_OPERATIONFAILED);
  StopControl();
  m_worker.Stop();
  std::lock_guard<std::mutex> lock(m_lock);
  m_system.CloseAll();
  m_completion = nullptr;
  m_lineCreate = nullptr;
  m_injected = {};
  return 0;
}

LONG Provider::GetDevCaps(DWORD deviceId, DWORD tspiVersion, DWORD extVersion, LINEDEVCAPS* caps) {
  return Synchronous(Entry::TSPI_lineGetDevCaps, [&]() -> LONG {
    if (caps == nullptr) return Failure(LINEERR_INVALPOINTER);
    const Line* line = m_system.FindByDeviceId(deviceId);
    if (line == nullptr) return Failure(LINEERR_BADDEVICEID);
    if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
    if (extVersion != 0) return Failure(LINEERR_INCOMPATIBLEEXTVERSION);
    if (!HoldsFixedPart(*caps)) return Failure(LINEERR_STRUCTURETOOSMALL);
    FillDevCaps(*line, *caps);
    return 0;
  });
}

LONG Provider::GetAddressCaps(DWORD deviceId, DWORD addressId, DWORD tspiVersion, DWORD extVersion,
                              LINEADDRESSCAPS* caps) {
  return Synchronous(Entry::TSPI_lineGetAddressCaps, [&]() -> LONG {
    if (caps == nullptr) return Failure(LINEERR_INVALPOINTER);
    const Line* line = m_system.FindByDeviceId(deviceId);
    if (line == nullptr) return Failure(LINEERR_BADDEVICEID);
    if (addressId != 0) return Failure(LINEERR_INVALADDRESSID);
    if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
    if (extVersion != 0) return Failure(LINEERR_INCOMPATIBLEEXTVERSION);
    if (!HoldsFixedPart(*caps)) return Failure(LINEERR_STRUCTURETOOSMALL);
    FillAddressCaps(*line, *caps);
    return 0;
  });
}

LONG Provider::Open(DWORD deviceId, HTAPILINE htLine, LPHDRVLINE hdLine, DWORD tspiVersion,
                    LINEEVENT events) {
  return Synchronous(Entry::TSPI_lineOpen, [&]() -> LONG {
    if (hdLine == nullptr) return Failure(LINEERR_INVALPOINTER);
    *hdLine = 0;
    Line* line = m_system.FindByDeviceId(deviceId);
    if (line == nullptr) return Failure(LINEERR_BADDEVICEID);
    if (!IsSpokenVersion(tspiVersion)) return Failure(LINEERR_INCOMPATIBLEAPIVERSION);
    // The host multiplexes its clients onto one open per line.
    if (line->IsOpen()) return Failure(LINEERR_RESOURCEUNAVAIL);
    *hdLine = m_system.Open(*line, htLine, events);
    return 0;
  });
}

LONG Provider::Close(HDRVLINE hdLine) {
  return Synchronous(Entry::TSPI_lineClose, [&]() -> LONG {
    Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    TakeOut(CallsOf(*line));
    m_system.Close(*line);
    return 0;
  });
}

LONG Provider::SetStatusMessages(HDRVLINE hdLine, DWORD lineStates, DWORD addressStates) {
  return Synchronous(Entry::TSPI_lineSetStatusMessages, [&]() -> LONG {
    Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    line->lineStates = lineStates;
    line->addressStates = addressStates;
    return 0;
  });
}

LONG Provider::SetDefaultMediaDetection(HDRVLINE hdLine, DWORD mediaModes) {
  return Synchronous(Entry::TSPI_lineSetDefaultMediaDetection, [&]() -> LONG {
    Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    if ((mediaModes & ~kLineMediaModes) != 0) return Failure(LINEERR_INVALMEDIAMODE);
    line->detectedMediaModes = mediaModes;
    return 0;
  });
}

LONG Provider::GetLineDevStatus(HDRVLINE hdLine, LINEDEVSTATUS* status) {
  return Synchronous(Entry::TSPI_lineGetLineDevStatus, [&]() -> LONG {
    if (status == nullptr) return Failure(LINEERR_INVALPOINTER);
    const Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    if (!HoldsFixedPart(*status)) return Failure(LINEERR_STRUCTURETOOSMALL);
    FillLineDevStatus(*line, m_system.CountCalls(*line), *status);
    return 0;
  });
}

LONG Provider::GetAddressStatus(HDRVLINE hdLine, DWORD addressId, LINEADDRESSSTATUS* status) {
  return Synchronous(Entry::TSPI_lineGetAddressStatus, [&]() -> LONG {
    if (status == nullptr) return Failure(LINEERR_INVALPOINTER);
    const Line* line = m_system.FindByHandle(hdLine);
    if (line == nullptr) return Failure(LINEERR_INVALLINEHANDLE);
    if (addressId != 0) return Failure(LINEERR_INVALADDRESSID);
    if (!HoldsFixedPart(*status)) return Failure(LINEERR_STRUCTURETOOSMALL);
    FillAddressStatus(m_system.CountCalls(*line), *status);
    return 0;
  });
}

LONG Provider::CreateLineDevice(DWORD_PTR tempId, DWORD deviceId) {
  return Synchronous(Entry::TSPI_providerCreateLineDevice, [&]() -> LONG {
    if (!m_system.AdoptPendingLine(tempId, deviceId)) return Failure(LINEERR_BADDEVICEID);
    return 0;
  });
}

bool Provider::OnOwnThread() const {
  return m_worker.OnWorkerThread() || m_control.OnServingThread() || OnBurstThread();
}

void Provider::StopControl() {
  m_stopping = true;
  m_control.Stop();
}

}  // namespace simtsp
