// The TCP listener of the Telvane protocol.
#include "ToolFunktion.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

plat::BOOL CServiceWindow::StartTcpIp() {
  LogMessage(5, "CServiceWindow::StartTcpIp %d", m_dwPortNumber);
  return plat::FALSE;
}

void CServiceWindow::StopTcpIp() { LogMessage(5, "CServiceWindow::StopTcpIp"); }
