// The Telvane command dispatcher: the command table, the field and number rules, the greeting and BYE.
#include <cstring>

#include "ToolFunktion.h"
#include "commands.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

namespace {

bool IsFieldSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool StartsWith(const char* line, const char* word) {
  return std::strncmp(line, word, std::strlen(word)) == 0;
}

constexpr int kMostFields = 12;

// One command of the protocol: its word, the fields it reads (the word and the request included), and
// whether its fields take 62 characters with the overflow rule of the call it makes.
struct Command {
  const char* word;
  int fields;
  bool wide;
  void (*handle)(CommandFields);
};

// In the order of testing: the first word the line begins with decides, so "TSPI_lineCloseCall" stands
// before "TSPI_lineClose".
const Command kCommands[] = {
    {"TSPI_lineGetDevCaps", 3, false, commands::GetDevCaps},
    {"TSPI_lineGetAddressCaps", 3, false, commands::GetAddressCaps},
    {"TSPI_lineGetAddressStatus", 4, false, commands::GetAddressStatus},
    {"TSPI_lineOpen", 7, false, commands::Open},
    {"TSPI_lineCloseCall", 3, false, commands::CloseCall},
    {"TSPI_lineClose", 3, false, commands::Close},
    {"TSPI_lineMakeCall", 6, true, commands::MakeCall},
    {"TSPI_lineDrop", 3, false, commands::Drop},
    {"TSPI_linePickup", 8, false, commands::Pickup},
    {"TSPI_linePrepareAddToConference", 5, false, commands::PrepareAddToConference},
    {"TSPI_lineAnswer", 3, false, commands::Answer},
    {"TSPI_lineSetupTransfer", 5, false, commands::SetupTransfer},
    {"TSPI_lineSetupConference", 9, false, commands::SetupConference},
    {"TSPI_lineAddToConference", 4, false, commands::AddToConference},
    {"TSPI_lineDial", 4, false, commands::Dial},
    {"TSPI_lineRedirect", 4, false, commands::Redirect},
    {"TSPI_lineRemoveFromConference", 3, false, commands::RemoveFromConference},
    {"TSPI_lineBlindTransfer", 4, false, commands::BlindTransfer},
    {"TSPI_lineSwapHold", 4, false, commands::SwapHold},
    {"TSPI_lineHold", 3, false, commands::Hold},
    {"TSPI_lineUnhold", 3, false, commands::Unhold},
    {"TSPI_lineCompleteCall", 6, false, commands::CompleteCall},
    {"TSPI_lineAccept", 3, false, commands::Accept},
    {"TSPI_lineCompleteTransfer", 7, false, commands::CompleteTransfer},
    {"TSPI_lineForward", 12, false, commands::Forward},
    {"TSPI_lineGenerateDigits", 7, false, commands::GenerateDigits},
};

}  // namespace

void CServiceWindow::ReadFields(const char* line, CommandFields fields, const size_t* widths, int count,
                                bool overflowEmpties) {
  for (int i = 0; i < count; ++i) fields[i][0] = '\0';
  const char* p = line;
  while (IsFieldSeparator(*p)) ++p;
  size_t firstToken = 0;
  while (p[firstToken] != '\0' && !IsFieldSeparator(p[firstToken])) ++firstToken;
  if (firstToken >= 255) return;
  for (int field = 0; field < count; ++field) {
    while (IsFieldSeparator(*p)) ++p;
    if (*p == '\0') break;
    size_t token = 0;
    while (p[token] != '\0' && !IsFieldSeparator(p[token])) ++token;
    // Where a token too long for its field empties it and every later one.
    if (overflowEmpties && token > widths[field]) return;
    // Elsewhere it is cut at its width; the rest of the token becomes the next field.
    size_t length = token < widths[field] ? token : widths[field];
    std::memcpy(fields[field], p, length);
    fields[field][length] = '\0';
    p += length;
    if (field > 0) TOOLFUNC_string::RemoveQuotes(fields[field]);
  }
}

plat::LONG CServiceWindow::ReadNumber(const char* field) { return TOOLFUNC_string::ReadSignedDecimal(field); }

void CServiceWindow::DispatchDataCSTA(const char*) {
  LogMessage(kLogTrace, "CServiceWindow::DispatchDataCSTA");
}

void CServiceWindow::DispatchData(const char* line) {
  LogMessage(kLogInfo, "<- %s", line);
  if (StartsWith(line, "Telvane;version=2")) {
    SendBack("LOGIN_REPLY 0 0");
    LogMessage(kLogInfo, "LOGIN_REPLY");
    return;
  }
  if (StartsWith(line, "Telvane")) {
    LogMessage(kLogInfo, "CloseSocket: %d", static_cast<int>(m_ClientSock));
    CloseClientSocket();
    LogMessage(kLogError, "Client not supported");
    return;
  }
  if (std::strcmp(line, "BYE") == 0) {
    LogMessage(kLogInfo, "CloseSocket: %d", static_cast<int>(m_ClientSock));
    CloseClientSocket();
    LogMessage(kLogInfo, "BYE");
    CloseAllLines();
    return;
  }
  for (const Command& command : kCommands) {
    if (!StartsWith(line, command.word)) continue;
    char fields[kMostFields][256];
    size_t widths[kMostFields];
    widths[0] = 254;
    for (int i = 1; i < kMostFields; ++i) widths[i] = command.wide ? 62 : 31;
    ReadFields(line, fields, widths, command.fields, command.wide);
    command.handle(fields);
    return;
  }
  char fields[2][256];
  const size_t widths[2] = {254, 31};
  ReadFields(line, fields, widths, 2, false);
  SendBack("LINE_REPLY %u %u", static_cast<unsigned>(ReadNumber(fields[1])), 0u);
  LogMessage(kLogTrace, "Unknown command: %s", fields[0]);
}
