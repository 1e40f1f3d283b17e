// The commands of the control socket, read and carried out.
//
// Fields are separated by blanks; double quotes keep blanks in a field. Numbers are decimal, or
// hexadecimal after "0x"; a <result> may also be negative. Handles are answered in decimal.
//
//   incoming <device-id> [<caller>]          an outside caller rings the open line: OK <hdCall>
//   remote-answer <hdCall>                   the party outside answers the call
//   remote-hangup <hdCall>                   the party outside hangs up
//   create-line <name> <address>             a new line, announced with LINE_CREATE
//   remove-line <device-id>                  the line is gone (LINE_REMOVE)
//   close-line <device-id>                   LINE_CLOSE for the open line
//   event <device-id> <htLine> <htCall> <message> <param1> <param2> <param3>
//                                            any event through the open line's callback
//   complete <request-id> <result>           a completion, asked for or not
//   fail <TSPI function> <result>            its next call returns <result>
//   fail-async <TSPI function> <result>      its next call is pending, then completes with <result>
//   calls                                    every call: OK[ <hdCall>:<device-id>:<state 0x%X>]...
//   forwarded <device-id>                    the last forward list: OK <hex bytes> | OK none
//   burst <device-id> <calls> <events> <threads>
//                                            see Provider::Burst: OK <calls * events>
//   delay <step> <ms>                        one delay of the configuration
//
// Every other answer of a command carried out is "OK"; one that cannot be is "ERR <why>".
#include "control.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "config.h"
#include "provider.h"

namespace simtsp {
namespace {

bool ParseNumber(const std::string& text, uint64_t limit, uint64_t& value) {
  size_t start = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    start = 2;
    base = 16;
  }
  if (start == text.size()) return false;
  value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (value > limit) return false;
  }
  return true;
}

bool ParseDword(const std::string& text, DWORD& value) {
  uint64_t parsed;
  if (!ParseNumber(text, 0xFFFFFFFF, parsed)) return false;
  value = static_cast<DWORD>(parsed);
  return true;
}

// A result as a LONG: -2147483648 to 4294967295, the unsigned values read as the LINEERR_ codes they are.
bool ParseResult(const std::string& text, LONG& result) {
  bool negative = !text.empty() && text[0] == '-';
  uint64_t magnitude;
  if (!ParseNumber(negative ? text.substr(1) : text, negative ? 0x80000000 : 0xFFFFFFFF, magnitude))
    return false;
  DWORD bits = static_cast<DWORD>(negative ? (~magnitude + 1) : magnitude);
  result = static_cast<LONG>(bits);
  return true;
}

std::string Answer(const Refusal& refusal, const std::string& ok = "OK") {
  return refusal.empty() ? ok : "ERR " + refusal;
}

std::string ListCalls(Provider& provider) {
  std::string answer = "OK";
  char entry[48];
  for (const CallSummary& call : provider.ListCalls()) {
    std::snprintf(entry, sizeof(entry), " %" PRIu32 ":%" PRIu32 ":0x%" PRIX32, call.hdCall, call.deviceId,
                  call.state);
    answer += entry;
  }
  return answer;
}

std::string Forwarded(Provider& provider, DWORD deviceId) {
  std::vector<unsigned char> forwardList;
  Refusal refusal = provider.LastForwardList(deviceId, forwardList);
  if (!refusal.empty()) return Answer(refusal);
  if (forwardList.empty()) return "OK none";
  std::string answer = "OK ";
  char byte[3];
  for (unsigned char value : forwardList) {
    std::snprintf(byte, sizeof(byte), "%02X", value);
    answer += byte;
  }
  return answer;
}

std::string InjectFailure(Provider& provider, const std::vector<std::string>& fields, bool asynchronous) {
  Entry entry;
  LONG result;
  if (!FindEntry(fields[1], entry)) return "ERR unknown function";
  if (!ParseResult(fields[2], result)) return "ERR bad result";
  return Answer(provider.InjectFailure(entry, result, asynchronous));
}

std::string Burst(Provider& provider, const std::vector<std::string>& fields) {
  DWORD deviceId, calls, events, threads;
  if (!ParseDword(fields[1], deviceId) || !ParseDword(fields[2], calls) || !ParseDword(fields[3], events) ||
      !ParseDword(fields[4], threads)) {
    return "ERR bad number";
  }
  return Answer(provider.Burst(deviceId, calls, events, threads),
                "OK " + std::to_string(static_cast<uint64_t>(calls) * events));
}

std::string RaiseEvent(Provider& provider, const std::vector<std::string>& fields) {
  DWORD values[7];
  for (size_t i = 0; i < 7; ++i)
    if (!ParseDword(fields[i + 1], values[i])) return "ERR bad number";
  return Answer(
      provider.RaiseEvent(values[0], values[1], values[2], values[3], values[4], values[5], values[6]));
}

// How many arguments a command takes, and how it is written.
struct CommandForm {
  const char* name;
  size_t fewest;
  size_t most;
  const char* usage;
};

constexpr size_t kAnyNumber = ~size_t{0};
constexpr CommandForm kCommands[] = {
    {"incoming", 1, kAnyNumber, "incoming <device-id> [<caller>]"},
    {"remote-answer", 1, 1, "remote-answer <hdCall>"},
    {"remote-hangup", 1, 1, "remote-hangup <hdCall>"},
    {"create-line", 2, kAnyNumber, "create-line <name> <address>"},
    {"remove-line", 1, 1, "remove-line <device-id>"},
    {"close-line", 1, 1, "close-line <device-id>"},
    {"event", 7, 7, "event <device-id> <htLine> <htCall> <message> <param1> <param2> <param3>"},
    {"complete", 2, 2, "complete <request-id> <result>"},
    {"fail", 2, 2, "fail <TSPI function> <result>"},
    {"fail-async", 2, 2, "fail-async <TSPI function> <result>"},
    {"calls", 0, 0, "calls"},
    {"forwarded", 1, 1, "forwarded <device-id>"},
    {"burst", 4, 4, "burst <device-id> <calls> <events> <threads>"},
    {"delay", 2, 2, "delay <step> <ms>"},
};

// Carries out a command of the right form.
std::string Run(Provider& provider, const std::vector<std::string>& fields) {
  const std::string& name = fields[0];
  if (name == "calls") return ListCalls(provider);
  if (name == "create-line") {
    LineSetting line;
    LineFromFields(fields, 1, line);
    return provider.AnnounceLine(line) ? "OK" : "ERR the provider does not run";
  }
  if (name == "fail" || name == "fail-async") return InjectFailure(provider, fields, name == "fail-async");
  if (name == "burst") return Burst(provider, fields);
  if (name == "event") return RaiseEvent(provider, fields);
  if (name == "complete") {
    DWORD requestId;
    LONG result;
    if (!ParseDword(fields[1], requestId) || !ParseResult(fields[2], result)) return "ERR bad number";
    return provider.CompleteRequest(requestId, result) ? "OK" : "ERR the provider does not run";
  }
  if (name == "delay") return Answer(provider.SetDelay(fields[1], fields[2]));

  // The others name a line or a call first.
  DWORD number;
  if (!ParseDword(fields[1], number)) return "ERR bad number";
  if (name == "incoming") {
    std::string caller;
    for (size_t i = 2; i < fields.size(); ++i) caller += (i > 2 ? " " : "") + fields[i];
    HDRVCALL hdCall = 0;
    Refusal refusal = provider.RingFromOutside(number, caller, hdCall);
    return Answer(refusal, "OK " + std::to_string(hdCall));
  }
  if (name == "remote-answer") return Answer(provider.AnswerFromOutside(number));
  if (name == "remote-hangup") return Answer(provider.HangUpFromOutside(number));
  if (name == "remove-line") return Answer(provider.RemoveLine(number));
  if (name == "close-line") return Answer(provider.AskToCloseLine(number));
  return Forwarded(provider, number);
}

}  // namespace

std::string RunControlCommand(Provider& provider, const std::string& command) {
  std::vector<std::string> fields;
  if (!SplitFields(command, fields)) return "ERR unclosed quote";
  if (fields.empty()) return "ERR unknown command";
  for (const CommandForm& form : kCommands) {
    if (fields[0] != form.name) continue;
    size_t arguments = fields.size() - 1;
    if (arguments < form.fewest || arguments > form.most) return std::string("ERR usage: ") + form.usage;
    return Run(provider, fields);
  }
  return "ERR unknown command";
}

}  // namespace simtsp
