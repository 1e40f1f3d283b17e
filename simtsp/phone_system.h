// The simulated phone system: its line devices, which of them the host has open, and lines not yet numbered.
#pragma once

#include <list>
#include <map>
#include <vector>

#include "config.h"
#include "tapi.h"

namespace simtsp {

// One line device with its single address (address id 0).
struct Line {
  DWORD deviceId = 0;
  DWORD permanentId = 0;  // stays with the line whatever device id the host gives it
  LineSetting setting;

  // What the host set up while the line is open; all 0 while it is closed.
  HDRVLINE hdLine = 0;
  HTAPILINE htLine = 0;
  LINEEVENT events = nullptr;
  DWORD lineStates = 0;     // LINEDEVSTATE_ changes the host wants to hear of
  DWORD addressStates = 0;  // LINEADDRESSSTATE_ changes the host wants to hear of
  DWORD detectedMediaModes = 0;

  bool IsOpen() const { return hdLine != 0; }
};

// The state only; the provider serialises every access under its own lock.
class PhoneSystem {
 public:
  // Replaces every line, open or pending, by the configured ones: closed, device ids 0, 1, ...
  void Reset(const std::vector<LineSetting>& lines);
  DWORD LineCount() const { return static_cast<DWORD>(m_lines.size()); }
  // Gives the lines the device ids base, base + 1, ... in their order.
  void NumberLines(DWORD deviceIdBase);

  Line* FindByDeviceId(DWORD deviceId);
  Line* FindByHandle(HDRVLINE hdLine);

  // Opens the line for the host and returns its new handle: never 0, never handed out before.
  HDRVLINE Open(Line& line, HTAPILINE htLine, LINEEVENT events);
  void Close(Line& line);
  // Closes every line and forgets the pending ones: what the host set up ends with the provider.
  void CloseAll();

  // A line that appears while the provider runs waits under a temporary id, never 0, until the host
  // gives it a device id.
  DWORD_PTR AddPendingLine(const LineSetting& setting);
  // Makes the pending line a line device with `deviceId`; false for an unknown temporary id.
  bool AdoptPendingLine(DWORD_PTR tempId, DWORD deviceId);

 private:
  std::list<Line> m_lines;  // a list, so a Line found stays where it is while lines come and go
  std::map<DWORD_PTR, LineSetting> m_pending;
  // Line handles start far from the small device ids, so a host that mixes the two up is caught.
  HDRVLINE m_nextHandle = 0x00010001;
  DWORD m_nextPermanentId = 1;
  DWORD_PTR m_nextTempId = 1;
};

}  // namespace simtsp
