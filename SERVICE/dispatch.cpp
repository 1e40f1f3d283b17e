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

// One command of the protocol: its word, the fields it reads (the word and the request included), whether
// its fields take 62 characters with the overflow rule of the call it makes, and its handler.
struct Command {
  const char* word;
  int fields;
  bool wide;
  void (*handle)(CommandFields);
};

using namespace commands;

// In the order of testing: the first word the line begins with decides, so "TSPI_lineCloseCall" stands
// before "TSPI_lineClose".
constexpr Command kCommands[] = {
    {"TSPI_lineGetDevCaps", GetDevCaps::kCount, false, GetDevCaps::Handle},
    {"TSPI_lineGetAddressCaps", GetAddressCaps::kCount, false, GetAddressCaps::Handle},
    {"TSPI_lineGetAddressStatus", GetAddressStatus::kCount, false, GetAddressStatus::Handle},
    {"TSPI_lineOpen", Open::kCount, false, Open::Handle},
    {"TSPI_lineCloseCall", CloseCall::kCount, false, CloseCall::Handle},
    {"TSPI_lineClose", Close::kCount, false, Close::Handle},
    {"TSPI_lineMakeCall", MakeCall::kCount, true, MakeCall::Handle},
    {"TSPI_lineDrop", Drop::kCount, false, Drop::Handle},
    {"TSPI_linePickup", Pickup::kCount, false, Pickup::Handle},
    {"TSPI_linePrepareAddToConference", PrepareAddToConference::kCount, false,
     PrepareAddToConference::Handle},
    {"TSPI_lineAnswer", Answer::kCount, false, Answer::Handle},
    {"TSPI_lineSetupTransfer", SetupTransfer::kCount, false, SetupTransfer::Handle},
    {"TSPI_lineSetupConference", SetupConference::kCount, false, SetupConference::Handle},
    {"TSPI_lineAddToConference", AddToConference::kCount, false, AddToConference::Handle},
    {"TSPI_lineDial", Dial::kCount, false, Dial::Handle},
    {"TSPI_lineRedirect", Redirect::kCount, false, Redirect::Handle},
    {"TSPI_lineRemoveFromConference", RemoveFromConference::kCount, false, RemoveFromConference::Handle},
    {"TSPI_lineBlindTransfer", BlindTransfer::kCount, false, BlindTransfer::Handle},
    {"TSPI_lineSwapHold", SwapHold::kCount, false, SwapHold::Handle},
    {"TSPI_lineHold", Hold::kCount, false, Hold::Handle},
    {"TSPI_lineUnhold", Unhold::kCount, false, Unhold::Handle},
    {"TSPI_lineCompleteCall", CompleteCall::kCount, false, CompleteCall::Handle},
    {"TSPI_lineAccept", Accept::kCount, false, Accept::Handle},
    {"TSPI_lineCompleteTransfer", CompleteTransfer::kCount, false, CompleteTransfer::Handle},
    {"TSPI_lineForward", Forward::kCount, false, Forward::Handle},
    {"TSPI_lineGenerateDigits", GenerateDigits::kCount, false, GenerateDigits::Handle},
};

constexpr int MostFields() {
  int most = 0;
  for (const Command& command : kCommands) most = command.fields > most ? command.fields : most;
  return most;
}
constexpr int kMostFields = MostFields();

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
