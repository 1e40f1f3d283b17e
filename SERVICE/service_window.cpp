// The process-wide state of CServiceWindow.
#include "service_window.h"

plat::BOOL g_bFeatureOrigin = 0;
plat::BOOL g_bFeatureFilterFeatures = 0;
plat::BOOL g_bFeatureRefreshStatus = 0;

plat::CRITICAL_SECTION CServiceWindow::m_csLineList;
plat::CRITICAL_SECTION CServiceWindow::m_csTapiCall;
plat::CRITICAL_SECTION CServiceWindow::m_csSend;
CLineObject* CServiceWindow::m_pLineRoot = nullptr;
