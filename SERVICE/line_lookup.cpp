// The lookups of a line for a client command or a provider event, which never find the list's root.
#include "line_lookup.h"

#include "line_object.h"
#include "service_window.h"

namespace {

// What a finder found on the list, unless it is the root; no list finds nothing.
template <typename Find>
CLineObject* NotRoot(Find find) {
  CLineObject* root = CServiceWindow::m_pLineRoot;
  if (root == nullptr) return nullptr;
  CLineObject* line = find(root);
  return line == root ? nullptr : line;
}

}  // namespace

namespace line_lookup {

CLineObject* ByAddress(const char* address) {
  return NotRoot([address](CLineObject* root) { return root->GetObjectFromAddress(address); });
}

CLineObject* ByClientNumber(plat::DWORD number) {
  CLineObject* line = NotRoot([number](CLineObject* root) { return root->GetObjectFromClientLine(number); });
  // Only an open line answers to its client number.
  return line == nullptr || line->GetHtLine() == 0 ? nullptr : line;
}

CLineObject* ByHtLine(plat::DWORD htLine) {
  return NotRoot([htLine](CLineObject* root) { return root->GetObjectFromHtLine(htLine); });
}

CLineObject* ByDeviceId(plat::DWORD deviceId) {
  return NotRoot([deviceId](CLineObject* root) { return root->GetObjectFromDeviceID(deviceId); });
}

}  // namespace line_lookup
