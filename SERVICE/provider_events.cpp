// The provider's callbacks: line events, phone events and request completions.
#include "ToolFunktion.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

void CServiceWindow::LineEventFunction(HTAPILINE htLine, HTAPICALL htCall, plat::DWORD dwMsg,
                                       plat::DWORD_PTR dwParam1, plat::DWORD_PTR, plat::DWORD_PTR) {
  LogMessage(5, "CServiceWindow::LineEventFunction 0x%08X 0x%08X %u 0x%08X", htLine, htCall, dwMsg,
             static_cast<unsigned>(dwParam1));
}

void CServiceWindow::PhoneEventFunction(HTAPIPHONE, plat::DWORD, plat::DWORD_PTR, plat::DWORD_PTR,
                                        plat::DWORD_PTR) {}

void CServiceWindow::AsyncCompletion(DRV_REQUESTID dwRequestID, plat::LONG lResult) {
  LogMessage(5, "CServiceWindow::AsyncCompletion %u %d", dwRequestID, lResult);
}
