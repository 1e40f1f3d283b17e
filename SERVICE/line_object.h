// The line list: one CLineObject per line device of the provider, in a chain headed by a root.
#pragma once

#include "plat/types.h"

// The data of one line as the service tracks it.
struct tag_tspiline_struct {
  plat::DWORD hdLine;
  plat::DWORD dwClientLine;
  plat::DWORD htLine;
  plat::DWORD dwAPIVersion;
  plat::DWORD dwExtVersion;
  char Address[32];
  char LineName[128];
  plat::DWORD dwNumAddresses;
  plat::DWORD dwLineFeatures;
  plat::DWORD dwCallFeatures;
  plat::DWORD dwCallFeatures2;
  plat::DWORD dwAddressFeatures;
  plat::DWORD dwDeviceID;
};

// One line of the chain. Each object owns the rest of the chain behind it, so the root owns the list.
class CLineObject : public tag_tspiline_struct {
 public:
  CLineObject();
  explicit CLineObject(plat::DWORD deviceId);
  virtual ~CLineObject();
  CLineObject(const CLineObject&) = delete;
  CLineObject& operator=(const CLineObject&) = delete;

  // Clears every field and both links.
  void Reset();
  // Links `object` behind the last object of the chain.
  void AddObject(CLineObject* object);
  // Unlinks `object` from its neighbours and deletes it alone; a null object is ignored.
  static void RemoveObject(CLineObject* object);
  // This object and every object behind it.
  int GetNumberOfObjects();

  // The first object from this one on whose field equals the key, or null. These search the whole
  // chain, root included: callers that look up a client's or the provider's line exclude the root.
  CLineObject* GetObjectFromAddress(const char* address);
  CLineObject* GetObjectFromHdLine(plat::DWORD handle);
  CLineObject* GetObjectFromClientLine(plat::DWORD number);
  CLineObject* GetObjectFromHtLine(plat::DWORD handle);
  CLineObject* GetObjectFromDeviceID(plat::DWORD deviceId);

  plat::DWORD GetHdLine() const { return hdLine; }
  void SetHdLine(plat::DWORD value) { hdLine = value; }
  plat::DWORD* GetHdLinePtr() { return &hdLine; }
  plat::DWORD GetClientLine() const { return dwClientLine; }
  void SetClientLine(plat::DWORD value) { dwClientLine = value; }
  plat::DWORD GetHtLine() const { return htLine; }
  void SetHtLine(plat::DWORD value) { htLine = value; }
  plat::DWORD GetAPIVersion() const { return dwAPIVersion; }
  void SetAPIVersion(plat::DWORD value) { dwAPIVersion = value; }
  plat::DWORD GetExtVersion() const { return dwExtVersion; }
  void SetExtVersion(plat::DWORD value) { dwExtVersion = value; }
  char* GetAddress() { return Address; }
  char* GetLineName() { return LineName; }
  plat::DWORD GetNumAddresses() const { return dwNumAddresses; }
  void SetNumAddresses(plat::DWORD value) { dwNumAddresses = value; }
  plat::DWORD GetLineFeatures() const { return dwLineFeatures; }
  void SetLineFeatures(plat::DWORD value) { dwLineFeatures = value; }
  plat::DWORD GetCallFeatures() const { return dwCallFeatures; }
  void SetCallFeatures(plat::DWORD value) { dwCallFeatures = value; }
  plat::DWORD GetCallFeatures2() const { return dwCallFeatures2; }
  void SetCallFeatures2(plat::DWORD value) { dwCallFeatures2 = value; }
  plat::DWORD GetAddressFeatures() const { return dwAddressFeatures; }
  void SetAddressFeatures(plat::DWORD value) { dwAddressFeatures = value; }
  plat::DWORD GetDeviceID() const { return dwDeviceID; }
  CLineObject* GetNext() const { return m_pNext; }
  void SetNext(CLineObject* next) { m_pNext = next; }
  CLineObject* GetPrev() const { return m_pPrev; }
  void SetPrev(CLineObject* previous) { m_pPrev = previous; }

 private:
  template <typename Matches>
  CLineObject* FindFirst(Matches matches);

  CLineObject* m_pNext = nullptr;
  CLineObject* m_pPrev = nullptr;
};
