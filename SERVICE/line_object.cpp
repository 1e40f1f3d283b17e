// The chain of line objects and its five finders.
#include "line_object.h"

#include <cstring>

CLineObject::CLineObject() { Reset(); }

CLineObject::CLineObject(plat::DWORD deviceId) {
  Reset();
  dwDeviceID = deviceId;
}

CLineObject::~CLineObject() { delete m_pNext; }

void CLineObject::Reset() {
  m_pNext = nullptr;
  m_pPrev = nullptr;
  hdLine = 0;
  dwClientLine = 0;
  htLine = 0;
  dwAPIVersion = 0;
  dwExtVersion = 0;
  Address[0] = '\0';
  LineName[0] = '\0';
  dwNumAddresses = 0;
  dwLineFeatures = 0;
  dwCallFeatures = 0;
  dwCallFeatures2 = 0;
  dwAddressFeatures = 0;
  dwDeviceID = 0;
}

void CLineObject::AddObject(CLineObject* object) {
  CLineObject* last = this;
  while (last->m_pNext != nullptr) last = last->m_pNext;
  last->m_pNext = object;
  object->m_pPrev = last;
}

void CLineObject::RemoveObject(CLineObject* object) {
  if (object == nullptr) return;
  if (object->m_pPrev != nullptr) object->m_pPrev->m_pNext = object->m_pNext;
  if (object->m_pNext != nullptr) object->m_pNext->m_pPrev = object->m_pPrev;
  // Without its links its deletion takes nothing else with it.
  object->Reset();
  delete object;
}

int CLineObject::GetNumberOfObjects() {
  int count = 0;
  for (CLineObject* object = this; object != nullptr; object = object->m_pNext) ++count;
  return count;
}

template <typename Matches>
CLineObject* CLineObject::FindFirst(Matches matches) {
  for (CLineObject* object = this; object != nullptr; object = object->m_pNext)
    if (matches(*object)) return object;
  return nullptr;
}

CLineObject* CLineObject::GetObjectFromAddress(const char* address) {
  return FindFirst([address](const CLineObject& line) { return std::strcmp(line.Address, address) == 0; });
}

CLineObject* CLineObject::GetObjectFromHdLine(plat::DWORD handle) {
  return FindFirst([handle](const CLineObject& line) { return line.hdLine == handle; });
}

CLineObject* CLineObject::GetObjectFromClientLine(plat::DWORD number) {
  return FindFirst([number](const CLineObject& line) { return line.dwClientLine == number; });
}

CLineObject* CLineObject::GetObjectFromHtLine(plat::DWORD handle) {
  return FindFirst([handle](const CLineObject& line) { return line.htLine == handle; });
}

CLineObject* CLineObject::GetObjectFromDeviceID(plat::DWORD deviceId) {
  return FindFirst([deviceId](const CLineObject& line) { return line.dwDeviceID == deviceId; });
}
