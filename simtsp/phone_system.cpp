// The line devices and calls of the simulated phone system, and the open state of the lines.
#include "phone_system.h"

namespace simtsp {

void PhoneSystem::Reset(const std::vector<LineSetting>& lines) {
  m_calls.clear();
  m_lines.clear();
  m_pending.clear();
  m_nextPermanentId = 1;
  for (const LineSetting& setting : lines) {
    Line line;
    line.permanentId = m_nextPermanentId++;
    line.setting = setting;
    m_lines.push_back(line);
  }
  NumberLines(0);
}

void PhoneSystem::NumberLines(DWORD deviceIdBase) {
  DWORD deviceId = deviceIdBase;
  for (Line& line : m_lines) line.deviceId = deviceId++;
}

Line* PhoneSystem::FindByDeviceId(DWORD deviceId) {
  for (Line& line : m_lines) {
    if (line.deviceId == deviceId) return &line;
  }
  return nullptr;
}

Line* PhoneSystem::FindByHandle(HDRVLINE hdLine) {
  if (hdLine == 0) return nullptr;
  for (Line& line : m_lines) {
    if (line.hdLine == hdLine) return &line;
  }
  return nullptr;
}

Line* PhoneSystem::FindByAddress(const std::string& address) {
  if (address.empty()) return nullptr;
  for (Line& line : m_lines) {
    if (line.setting.address == address) return &line;
  }
  return nullptr;
}

HDRVLINE PhoneSystem::Open(Line& line, HTAPILINE htLine, LINEEVENT events) {
  line.hdLine = m_nextHandle++;
  line.htLine = htLine;
  line.events = events;
  return line.hdLine;
}

void PhoneSystem::Close(Line& line) {
  line.hdLine = 0;
  line.htLine = 0;
  line.events = nullptr;
  line.lineStates = 0;
  line.addressStates = 0;
  line.detectedMediaModes = 0;
}

void PhoneSystem::CloseAll() {
  m_calls.clear();
  for (Line& line : m_lines) Close(line);
  m_pending.clear();
}

void PhoneSystem::RemoveLine(Line& line) {
  m_lines.remove_if([&](const Line& candidate) { return &candidate == &line; });
}

DWORD_PTR PhoneSystem::AddPendingLine(const LineSetting& setting) {
  DWORD_PTR tempId = m_nextTempId++;
  m_pending[tempId] = setting;
  return tempId;
}

bool PhoneSystem::AdoptPendingLine(DWORD_PTR tempId, DWORD deviceId) {
  auto pending = m_pending.find(tempId);
  if (pending == m_pending.end()) return false;
  Line line;
  line.deviceId = deviceId;
  line.permanentId = m_nextPermanentId++;
  line.setting = pending->second;
  m_lines.push_back(line);
  m_pending.erase(pending);
  return true;
}

Call& PhoneSystem::AddCall(Line& line, HTAPICALL htCall, DWORD origin) {
  Call call;
  call.hdCall = m_nextCallHandle++;
  call.htCall = htCall;
  call.line = &line;
  call.origin = origin;
  call.callId = m_nextCallId++;
  return m_calls.emplace(call.hdCall, call).first->second;
}

Call* PhoneSystem::FindCall(HDRVCALL hdCall) {
  auto found = m_calls.find(hdCall);
  return found == m_calls.end() ? nullptr : &found->second;
}

void PhoneSystem::RemoveCall(HDRVCALL hdCall) { m_calls.erase(hdCall); }

std::vector<HDRVCALL> PhoneSystem::CallsOn(const Line& line) const {
  std::vector<HDRVCALL> handles;
  for (const auto& [hdCall, call] : m_calls) {
    if (call.line == &line) handles.push_back(hdCall);
  }
  return handles;
}

CallCounts PhoneSystem::CountCalls(const Line& line) const {
  CallCounts counts;
  for (const auto& entry : m_calls) {
    const Call& call = entry.second;
    if (call.line != &line) continue;
    switch (call.state) {
      case kNotStarted:
      case LINECALLSTATE_IDLE:
        break;
      case LINECALLSTATE_ONHOLD:
        ++counts.onHold;
        break;
      case LINECALLSTATE_ONHOLDPENDTRANSFER:
      case LINECALLSTATE_ONHOLDPENDCONF:
        ++counts.onHoldPending;
        break;
      default:
        ++counts.active;
    }
  }
  return counts;
}

}  // namespace simtsp
