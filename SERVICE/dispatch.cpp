// The Telvane command dispatcher: the greeting, the end of a connection and the unknown command.
#include <climits>
#include <cstring>

#include "ToolFunktion.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

namespace {

bool IsFieldSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool StartsWith(const char* line, const char* word) {
  return std::strncmp(line, word, std::strlen(word)) == 0;
}

}  // namespace

void CServiceWindow::ReadFields(const char* line, char (*fields)[256], const size_t* widths, int count) {
  for (int i = 0; i < count; ++i) fields[i][0] = '\0';
  const char* p = line;
  while (IsFieldSeparator(*p)) ++p;
  size_t firstToken = 0;
  while (p[firstToken] != '\0' && !IsFieldSeparator(p[firstToken])) ++firstToken;
  if (firstToken >= 255) return;
  for (int field = 0; field < count; ++field) {
    while (IsFieldSeparator(*p)) ++p;
    if (*p == '\0') break;
    // A token longer than its field is cut there; the rest of the token becomes the next field.
    size_t length = 0;
    while (p[length] != '\0' && !IsFieldSeparator(p[length]) && length < widths[field]) ++length;
    std::memcpy(fields[field], p, length);
    fields[field][length] = '\0';
    p += length;
    if (field > 0) TOOLFUNC_string::RemoveQuotes(fields[field]);
  }
}

plat::LONG CServiceWindow::ReadNumber(const char* field) {
  const char* p = field;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Read by hand in 64 bits and clamped: a long is 64-bit here and would not clamp at 32.
  long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<plat::LONG>(value);
}

void CServiceWindow::DispatchData(const char* line) {
  LogMessage(3, "<- %s", line);
  if (StartsWith(line, "Telvane;version=2")) {
    SendBack("LOGIN_REPLY 0 0");
    LogMessage(3, "LOGIN_REPLY");
    return;
  }
  if (StartsWith(line, "Telvane")) {
    LogMessage(3, "CloseSocket: %d", static_cast<int>(m_ClientSock));
    CloseClientSocket();
    LogMessage(1, "Client not supported");
    return;
  }
  if (std::strcmp(line, "BYE") == 0) {
    LogMessage(3, "CloseSocket: %d", static_cast<int>(m_ClientSock));
    CloseClientSocket();
    LogMessage(3, "BYE");
    CloseAllLines();
    return;
  }
  // The line commands and call commands are not dispatched yet.
  if (StartsWith(line, "TSPI_line")) return;
  char fields[2][256];
  const size_t widths[2] = {254, 31};
  ReadFields(line, fields, widths, 2);
  SendBack("LINE_REPLY %u %u", static_cast<unsigned>(ReadNumber(fields[1])), 0u);
  LogMessage(5, "Unknown command: %s", fields[0]);
}
