// libFuzzer target: the structure text readers, and the lines built from structures a provider wrote,
// each line checked to keep the framing of the protocol.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plat/sync.h"
#include "plat/winsock.h"
#include "provider.h"
#include "service_window.h"

namespace {

using plat::DWORD;
using plat::LONG;

// The running input; the stub provider draws what it writes from it.
FuzzedDataProvider* g_input = nullptr;

// A finding, or a fault of the harness: what broke and the text concerned, escaped, then the abort that
// libFuzzer reports with the input.
[[noreturn]] void Fail(const char* what, const std::string& text = "") {
  std::string shown;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
    shown += escaped;
  }
  std::fprintf(stderr, "struct_text_fuzzer: %s: \"%s\"\n", what, shown.c_str());
  std::abort();
}

// ---- The stub provider ---------------------------------------------------------------------------

// A part in single bytes, or the same bytes as UTF-16 units, as providers write text either way.
std::vector<uint8_t> ChosenPart(size_t limit) {
  const bool wide = g_input->ConsumeBool();
  std::vector<uint8_t> bytes =
      g_input->ConsumeBytes<uint8_t>(g_input->ConsumeIntegralInRange<size_t>(0, wide ? limit / 2 : limit));
  if (!wide) return bytes;
  std::vector<uint8_t> units;
  for (uint8_t byte : bytes) units.insert(units.end(), {byte, 0});
  return units;
}

// What the stub writes into the structure it is asked to fill: chosen bytes from behind dwTotalSize on,
// and one chosen part anywhere inside the total size. The total size is the service's and stays.
LONG WriteStructure(void* structure) {
  auto* bytes = static_cast<unsigned char*>(structure);
  DWORD total = 0;
  std::memcpy(&total, bytes, sizeof(total));
  if (total <= 4) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  const std::vector<uint8_t> head = g_input->ConsumeBytes<uint8_t>(
      g_input->ConsumeIntegralInRange<size_t>(0, std::min<DWORD>(total - 4, 1024)));
  std::copy(head.begin(), head.end(), bytes + 4);
  const DWORD at = g_input->ConsumeIntegralInRange<DWORD>(4, total - 1);
  const std::vector<uint8_t> part = ChosenPart(total - at);
  std::copy(part.begin(), part.end(), bytes + at);
  // Mostly success; an input that has run out succeeds.
  return g_input->ConsumeIntegralInRange<int>(0, 7) == 7 ? static_cast<LONG>(LINEERR_OPERATIONFAILED) : 0;
}

LONG NegotiateTSPIVersion(DWORD, DWORD, DWORD, LPDWORD version) {
  *version = g_input->ConsumeIntegral<DWORD>();
  return 0;
}
LONG GetDevCaps(DWORD, DWORD, DWORD, LPLINEDEVCAPS caps) { return WriteStructure(caps); }
LONG GetAddressCaps(DWORD, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS caps) { return WriteStructure(caps); }
LONG GetAddressStatus(HDRVLINE, DWORD, LPLINEADDRESSSTATUS status) { return WriteStructure(status); }
LONG GetLineDevStatus(HDRVLINE, LPLINEDEVSTATUS status) { return WriteStructure(status); }
LONG GetCallInfo(HDRVCALL, LPLINECALLINFO info) { return WriteStructure(info); }
LONG GetCallStatus(HDRVCALL, LPLINECALLSTATUS status) { return WriteStructure(status); }

// The stub provider; now and then without the entry points the service checks for before it calls.
TspiEntryPoints ChosenProvider() {
  TspiEntryPoints stubs = {};
  stubs.TSPI_lineNegotiateTSPIVersion = NegotiateTSPIVersion;
  stubs.TSPI_lineGetDevCaps = GetDevCaps;
  stubs.TSPI_lineGetAddressCaps = GetAddressCaps;
  if (g_input->ConsumeIntegralInRange<int>(0, 7) == 7) return stubs;
  stubs.TSPI_lineGetAddressStatus = GetAddressStatus;
  stubs.TSPI_lineGetLineDevStatus = GetLineDevStatus;
  stubs.TSPI_lineGetCallInfo = GetCallInfo;
  stubs.TSPI_lineGetCallStatus = GetCallStatus;
  return stubs;
}

// ---- The client that reads the lines --------------------------------------------------------------

plat::SOCKET g_client = plat::INVALID_SOCKET;

plat::sockaddr* AsAddress(plat::sockaddr_in* address) { return reinterpret_cast<plat::sockaddr*>(address); }

// A loopback connection whose server end is the service's client socket.
void ConnectClient() {
  plat::WSADATA data;
  if (plat::WSAStartup(plat::MAKEWORD(2, 0), &data) != 0) Fail("no sockets");
  plat::SOCKET listener = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  plat::sockaddr_in address = {};
  address.sin_family = plat::AF_INET;
  address.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  int length = sizeof(address);
  if (plat::bind(listener, AsAddress(&address), sizeof(address)) != 0 || plat::listen(listener, 1) != 0 ||
      plat::getsockname(listener, AsAddress(&address), &length) != 0)
    Fail("cannot listen");
  g_client = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
  if (plat::connect(g_client, AsAddress(&address), sizeof(address)) != 0) Fail("cannot connect");
  CServiceWindow::m_ClientSock = plat::accept(listener, nullptr, nullptr);
  if (CServiceWindow::m_ClientSock == plat::INVALID_SOCKET) Fail("cannot accept");
  plat::closesocket(listener);
}

bool WaitReadable(plat::SOCKET socket) {
  plat::fd_set readable;
  plat::FdZero(&readable);
  plat::FdSet(socket, &readable);
  plat::timeval limit = {5, 0};
  return plat::select(0, &readable, nullptr, nullptr, &limit) == 1;
}

// True once `received` ends with the whole closing line; provider text may end a line with the same
// characters, but no line of the service is only them.
bool EndsWithClosingLine(const std::string& received, const std::string& closing) {
  if (received == closing) return true;
  const std::string whole = "\r\n" + closing;
  return received.size() >= whole.size() &&
         received.compare(received.size() - whole.size(), whole.size(), whole) == 0;
}

// Reads what the service sent up to a closing line of the fuzzer's own, and checks that every line
// ends with CR LF and holds no other CR, LF or NUL: provider text must never cut or join lines.
void ExpectFramedLines() {
  static const std::string kClosing = "FUZZ-END\r\n";
  CServiceWindow::SendBack("FUZZ-END");
  std::string received;
  while (!EndsWithClosingLine(received, kClosing)) {
    if (!WaitReadable(g_client)) Fail("the service's lines do not arrive", received);
    char buffer[4096];
    int count = plat::recv(g_client, buffer, sizeof(buffer), 0);
    if (count <= 0) Fail("the service dropped its client", received);
    received.append(buffer, static_cast<size_t>(count));
  }
  received.resize(received.size() - kClosing.size());
  for (size_t start = 0; start < received.size();) {
    const size_t end = received.find("\r\n", start);
    if (end == std::string::npos) Fail("a line without its CR LF", received.substr(start));
    const std::string line = received.substr(start, end - start);
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) Fail("a line broken inside", line);
    start = end + 2;
  }
}

// A text the readers return: within its buffer, never with a line break.
void ExpectText(const char* text, size_t mostCharacters) {
  const size_t length = strnlen(text, mostCharacters + 1);
  if (length > mostCharacters) Fail("a text longer than its buffer allows", std::string(text, length));
  if (std::strpbrk(text, "\r\n") != nullptr) Fail("a line break in a structure text", text);
}

// ---- The service's side --------------------------------------------------------------------------

// The one line the builders report on, with chosen numbers and features.
CLineObject g_line(0);

void ChooseLine() {
  g_line.SetClientLine(g_input->ConsumeIntegral<DWORD>());
  g_line.SetHdLine(g_input->ConsumeIntegral<DWORD>());
  g_line.SetCallFeatures(g_input->ConsumeIntegral<DWORD>());
  g_line.SetCallFeatures2(g_input->ConsumeIntegral<DWORD>());
}

// A call entry with chosen contents on that line, at a chosen position that may lie outside the table.
int PlaceCall() {
  const int position = g_input->ConsumeIntegralInRange<int>(-1, kCallTableSize);
  if (position < 0 || position >= kCallTableSize) return position;
  CallRecord& call = CServiceWindow::CallTable[position];
  call.TapiCall = g_input->ConsumeIntegral<DWORD>();
  call.ClientTapiCall = g_input->ConsumeIntegral<DWORD>();
  call.DrvBaseCall = g_input->ConsumeIntegral<DWORD>();
  call.DrvClientCall = g_input->ConsumeIntegral<DWORD>();
  call.bNewCallSent = g_input->ConsumeBool();
  call.pLine = &g_line;
  call.dwOrigin = g_input->ConsumeIntegral<DWORD>();
  call.dwCallState = g_input->ConsumeIntegral<DWORD>();
  call.dwCallID = g_input->ConsumeIntegral<DWORD>();
  call.dwStatusChecksum = g_input->ConsumeIntegral<DWORD>();
  call.dwInfoChecksum = g_input->ConsumeIntegral<DWORD>();
  return position;
}

void ClearCall(int position) {
  if (position >= 0 && position < kCallTableSize)
    std::memset(&CServiceWindow::CallTable[position], 0, sizeof(CallRecord));
}

// A request field as the client sends it: a number.
std::string ChosenRequest() { return std::to_string(g_input->ConsumeIntegral<uint32_t>()); }

// What one input drives: a structure text reader, or the lines of one builder.
enum Target {
  kStructText,
  kStructForward,
  kDevCaps,
  kAddressCaps,
  kAddressStatus,
  kLineDevStatus,
  kCallStatus,
  kCallInfo,
  kNewCall,
  kNewLine,
  kTargetCount
};

// A chosen structure in the buffer, read as text at a chosen offset and size, or as the destination of
// a chosen forward entry of a list at a chosen offset.
void ReadStructText(Target target) {
  CServiceWindow::PrepareStructBuffer();
  WriteStructure(CServiceWindow::m_StructBuffer);
  const DWORD first = g_input->ConsumeIntegral<DWORD>();
  const DWORD second = g_input->ConsumeIntegral<DWORD>();
  if (target == kStructText)
    ExpectText(CServiceWindow::GetStructText(CServiceWindow::m_StructBuffer, first, second), 4095);
  else
    ExpectText(CServiceWindow::GetStructForward(CServiceWindow::m_StructBuffer, first, second), 1022);
}

// The builders' lines for one target; the call entry placed for it is cleared after.
void BuildLines(Target target) {
  ChooseLine();
  int position = -1;
  switch (target) {
    case kDevCaps:
      CServiceWindow::SendDevCaps(&g_line, ChosenRequest().c_str());
      break;
    case kAddressCaps:
      CServiceWindow::SendAddressCaps(&g_line, ChosenRequest().c_str());
      break;
    case kAddressStatus:
      CServiceWindow::SendAddressStatus(&g_line, g_input->ConsumeIntegral<DWORD>(),
                                        g_input->ConsumeIntegral<DWORD>(), g_input->ConsumeBool());
      break;
    case kLineDevStatus:
      CServiceWindow::SendLineDevStatus(&g_line, g_input->ConsumeIntegral<DWORD>(),
                                        g_input->ConsumeIntegral<DWORD>(), g_input->ConsumeIntegral<DWORD>(),
                                        g_input->ConsumeBool());
      break;
    case kCallStatus:
      position = PlaceCall();
      CServiceWindow::SendCallStatus(&g_line, position, g_input->ConsumeIntegral<DWORD>(),
                                     g_input->ConsumeIntegral<DWORD>(), g_input->ConsumeIntegral<DWORD>());
      break;
    case kCallInfo:
      position = PlaceCall();
      CServiceWindow::SendCallInfo(&g_line, position, g_input->ConsumeIntegral<DWORD>());
      break;
    case kNewCall:
      position = PlaceCall();
      CServiceWindow::SendNewCall(&g_line, position);
      break;
    case kNewLine: {
      // The line's name and address come from the provider's capabilities, and go out in its lines.
      CLineObject* line = CServiceWindow::CreateInsertLineObject(g_input->ConsumeIntegral<DWORD>());
      CServiceWindow::SendDevCaps(line, ChosenRequest().c_str());
      CServiceWindow::SendAddressCaps(line, ChosenRequest().c_str());
      ExpectText(line->GetLineName(), sizeof(line->LineName) - 1);
      ExpectText(line->GetAddress(), sizeof(line->Address) - 1);
      CLineObject::RemoveObject(line);
      break;
    }
    case kStructText:
    case kStructForward:
    case kTargetCount:
      return;
  }
  ClearCall(position);
  ExpectFramedLines();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plat::InitializeCriticalSection(&CServiceWindow::m_csSend);
  plat::InitializeCriticalSection(&CServiceWindow::m_csTapiCall);
  CServiceWindow::m_pLineRoot = new CLineObject(0xFFFFFFFF);
  std::strcpy(g_line.GetAddress(), "201");
  ConnectClient();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  g_input = &input;
  const auto target = static_cast<Target>(input.ConsumeIntegralInRange<int>(0, kTargetCount - 1));
  g_dwTSPIVersion = input.PickValueInArray({0x00020002u, 0x00030001u});
  g_bFeatureOrigin = input.ConsumeBool();
  g_bFeatureFilterFeatures = input.ConsumeBool();
  g_bFeatureRefreshStatus = input.ConsumeBool();
  g_TspiEntryPoints = ChosenProvider();
  if (target == kStructText || target == kStructForward)
    ReadStructText(target);
  else
    BuildLines(target);
  g_input = nullptr;
  return 0;
}
