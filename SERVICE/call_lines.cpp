// The call status, call information and new-call lines the service sends about one call.
#include "service_window.h"

plat::BOOL g_bInSendNewCall = 0;

void CServiceWindow::SendCallStatus(CLineObject*, int, plat::DWORD, plat::DWORD, plat::DWORD) {}
plat::DWORD CServiceWindow::GetClearedCallFeatures(plat::DWORD, plat::DWORD features) { return features; }
void CServiceWindow::RefreshCallStatusWithSameCallId(CLineObject*, int, plat::DWORD) {}
void CServiceWindow::SendCallInfo(CLineObject*, int, plat::DWORD) {}
void CServiceWindow::SendNewCall(CLineObject*, int) {}
