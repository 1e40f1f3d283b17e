// The line devices of the simulated phone system and their open state.
#include "phone_system.h"

namespace simtsp {

void PhoneSystem::Reset(const std::vector<LineSetting>& lines) {
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
  for (Line& line : m_lines) Close(line);
  m_pending.clear();
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

}  // namespace simtsp
