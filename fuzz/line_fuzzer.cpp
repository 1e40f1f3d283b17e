// libFuzzer target: a client's bytes through the service's line framer into the command dispatcher,
// against a stub provider whose answers the same bytes choose.
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "plat/error.h"
#include "plat/testing/time.h"
#include "plat/winsock.h"
#include "provider.h"
#include "service_window.h"
#include "winmain.h"

namespace {

using plat::DWORD;
using plat::LONG;

// ---- The provider's choices ---------------------------------------------------------------------

// Reads the input round and round, so one input always gets the same answers and a change to it
// changes some of them. Empty while no input runs: the service starts against a provider that agrees.
class Tape {
 public:
  void Load(const uint8_t* data, size_t size) {
    m_data = data;
    m_size = size;
    m_next = 0;
  }
  uint8_t Byte() { return m_size == 0 ? 0 : m_data[m_next++ % m_size]; }
  DWORD Dword() {
    DWORD value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | Byte();
    return value;
  }

 private:
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  size_t m_next = 0;
};

Tape g_tape;

// One of the refusals providers give.
LONG Refusal() {
  static constexpr DWORD kRefusals[] = {
      LINEERR_INVALCALLHANDLE,  LINEERR_INVALLINEHANDLE, LINEERR_INVALPARAM,        LINEERR_OPERATIONFAILED,
      LINEERR_OPERATIONUNAVAIL, LINEERR_RESOURCEUNAVAIL, LINEERR_STRUCTURETOOSMALL, LINEERR_NOMEM,
  };
  return static_cast<LONG>(kRefusals[g_tape.Byte() % 8]);
}

// An entry point that answers at once: mostly success.
LONG AnswerNow() { return g_tape.Byte() % 4 == 3 ? Refusal() : 0; }

// An asynchronous request: under way (its identifier), done at once, or refused.
LONG AnswerRequest(DRV_REQUESTID request) {
  switch (g_tape.Byte() % 4) {
    case 0:
    case 1: {
      LONG pending = static_cast<LONG>(request & 0x7FFFFFFF);
      return pending > 0 ? pending : 1;
    }
    case 2:
      return 0;
    default:
      return Refusal();
  }
}

// A provider's handle of a new call; small, so handles of different requests meet now and then.
DWORD NewCallHandle() { return g_tape.Byte(); }

// What the provider reads of the service's data lands here, so the reads are not optimised away and
// the sanitizer sees each of them.
volatile unsigned g_readSink;

// A provider reads every unit of a text it is handed, up to the terminator.
void ReadText(LPCWSTR text) {
  unsigned sum = 0;
  for (; *text != 0; ++text) sum += *text;
  g_readSink = sum;
}

// A provider reads what the forward list says it holds: the entries and each destination text.
void ReadForwardList(const LINEFORWARDLIST* list) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(list);
  const DWORD entrySize = ForwardEntrySize();
  unsigned sum = 0;
  for (DWORD n = 0; n < list->dwNumEntries; ++n) {
    LINEFORWARD entry = {};
    std::memcpy(&entry, bytes + 8 + n * entrySize, entrySize);
    for (DWORD at = 0; at < entry.dwDestAddressSize; ++at) sum += bytes[entry.dwDestAddressOffset + at];
  }
  g_readSink = sum;
}

// ---- Structures the provider fills ------------------------------------------------------------

// Writes a provider structure into the service's buffer: chosen numbers in the fixed part, variable
// parts behind it, and the sizes the provider reports. Nothing past the total size it was given.
class StructureWriter {
 public:
  StructureWriter(void* structure, DWORD fixedSize)
      : m_bytes(static_cast<unsigned char*>(structure)), m_total(Field(0)), m_used(fixedSize) {}

  bool Fits() const { return m_used <= m_total; }

  // Chosen numbers in every field of the fixed part behind the three size fields.
  void Numbers() {
    for (DWORD at = 12; at + 4 <= m_used; at += 4) SetField(at, g_tape.Dword());
  }

  // The text as a variable part (UTF-16 or bytes, with its terminator, as the tape says), named by the
  // size and offset fields at the given places; a part that does not fit is left out.
  void Text(const std::string& text, DWORD sizeField, DWORD offsetField) {
    const bool wide = g_tape.Byte() % 4 != 3;
    const DWORD size = static_cast<DWORD>((text.size() + 1) * (wide ? 2 : 1));
    const DWORD offset = Reserve(size);
    if (offset == 0) return;
    for (size_t i = 0; i <= text.size(); ++i) {
      const char c = i < text.size() ? text[i] : '\0';
      if (wide) {
        m_bytes[offset + 2 * i] = static_cast<unsigned char>(c);
        m_bytes[offset + 2 * i + 1] = 0;
      } else {
        m_bytes[offset + i] = static_cast<unsigned char>(c);
      }
    }
    SetField(sizeField, size);
    SetField(offsetField, offset);
  }

  // Room for `size` bytes behind what is used; its offset, 0 when it does not fit.
  DWORD Reserve(DWORD size) {
    if (m_used > m_total || size > m_total - m_used) return 0;
    const DWORD offset = m_used;
    m_used += size;
    return offset;
  }

  unsigned char* At(DWORD offset) { return m_bytes + offset; }

  // The sizes the provider reports: what it needed and used.
  LONG Finish() {
    SetField(4, m_used);
    SetField(8, m_used);
    return 0;
  }

 private:
  DWORD Field(DWORD at) const {
    DWORD value = 0;
    std::memcpy(&value, m_bytes + at, sizeof(value));
    return value;
  }
  void SetField(DWORD at, DWORD value) { std::memcpy(m_bytes + at, &value, sizeof(value)); }

  unsigned char* m_bytes;
  DWORD m_total;
  DWORD m_used;
};

// The lines the provider has: "201", "202" and "203".
constexpr DWORD kLineCount = 3;

std::string AddressOf(DWORD deviceId) { return "20" + std::to_string(deviceId + 1); }

// ---- The stub provider ---------------------------------------------------------------------------

LONG NegotiateTSPIVersion(DWORD, DWORD, DWORD highVersion, LPDWORD version) {
  *version = highVersion;
  return 0;
}

LONG EnumDevices(DWORD, LPDWORD lines, LPDWORD phones, HPROVIDER, LINEEVENT, PHONEEVENT) {
  *lines = kLineCount;
  *phones = 0;
  return 0;
}

LONG ProviderInit(DWORD, DWORD, DWORD, DWORD, DWORD_PTR, DWORD_PTR, ASYNC_COMPLETION, LPDWORD options) {
  *options = 0;
  return 0;
}

LONG ProviderShutdown(DWORD, DWORD) { return 0; }

LONG GetDevCaps(DWORD deviceId, DWORD, DWORD, LPLINEDEVCAPS caps) {
  StructureWriter writer(caps, sizeof(LINEDEVCAPS));
  if (!writer.Fits()) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  if (LONG refused = AnswerNow(); refused != 0) return refused;
  writer.Numbers();
  writer.Text("Line " + AddressOf(deviceId), offsetof(LINEDEVCAPS, dwLineNameSize),
              offsetof(LINEDEVCAPS, dwLineNameOffset));
  return writer.Finish();
}

LONG GetAddressCaps(DWORD deviceId, DWORD, DWORD, DWORD, LPLINEADDRESSCAPS caps) {
  StructureWriter writer(caps, sizeof(LINEADDRESSCAPS));
  if (!writer.Fits()) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  if (LONG refused = AnswerNow(); refused != 0) return refused;
  writer.Numbers();
  writer.Text(AddressOf(deviceId), offsetof(LINEADDRESSCAPS, dwAddressSize),
              offsetof(LINEADDRESSCAPS, dwAddressOffset));
  return writer.Finish();
}

// Up to four forward entries, each with a destination, laid out for the negotiated version.
LONG GetAddressStatus(HDRVLINE, DWORD, LPLINEADDRESSSTATUS status) {
  StructureWriter writer(status, sizeof(LINEADDRESSSTATUS));
  if (!writer.Fits()) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  if (LONG refused = AnswerNow(); refused != 0) return refused;
  writer.Numbers();
  const DWORD entries = g_tape.Byte() % 5;
  const DWORD entrySize = ForwardEntrySize();
  const DWORD listOffset = writer.Reserve(entries * entrySize);
  status->dwForwardNumEntries = listOffset == 0 ? 0 : entries;
  status->dwForwardSize = status->dwForwardNumEntries * entrySize;
  status->dwForwardOffset = listOffset;
  for (DWORD n = 0; n < status->dwForwardNumEntries; ++n) {
    const DWORD entry = listOffset + n * entrySize;
    LINEFORWARD forward = {};
    forward.dwForwardMode = DWORD{1} << (g_tape.Byte() % 16);
    std::memcpy(writer.At(entry), &forward, entrySize);
    writer.Text(std::to_string(g_tape.Dword() % 100000), entry + offsetof(LINEFORWARD, dwDestAddressSize),
                entry + offsetof(LINEFORWARD, dwDestAddressOffset));
  }
  return writer.Finish();
}

LONG GetLineDevStatus(HDRVLINE, LPLINEDEVSTATUS status) {
  StructureWriter writer(status, sizeof(LINEDEVSTATUS));
  if (!writer.Fits()) return static_cast<LONG>(LINEERR_STRUCTURETOOSMALL);
  if (LONG refused = AnswerNow(); refused != 0) return refused;
  writer.Numbers();
  return writer.Finish();
}

LONG Open(DWORD, HTAPILINE, LPHDRVLINE line, DWORD, LINEEVENT) {
  *line = g_tape.Dword();
  return AnswerNow();
}

LONG LineOnly(HDRVLINE) { return AnswerNow(); }
LONG SetStatusMessages(HDRVLINE, DWORD, DWORD) { return AnswerNow(); }
LONG SetDefaultMediaDetection(HDRVLINE, DWORD) { return AnswerNow(); }

LONG Forward(DRV_REQUESTID request, HDRVLINE, DWORD, DWORD, LPLINEFORWARDLIST list, DWORD, HTAPICALL,
             LPHDRVCALL consultation, LPLINECALLPARAMS) {
  ReadForwardList(list);
  *consultation = NewCallHandle();
  return AnswerRequest(request);
}

LONG MakeCall(DRV_REQUESTID request, HDRVLINE, HTAPICALL, LPHDRVCALL call, LPCWSTR destination, DWORD,
              LPLINECALLPARAMS) {
  ReadText(destination);
  *call = NewCallHandle();
  return AnswerRequest(request);
}

LONG Pickup(DRV_REQUESTID request, HDRVLINE, DWORD, HTAPICALL, LPHDRVCALL call, LPCWSTR destination,
            LPCWSTR group) {
  ReadText(destination);
  ReadText(group);
  *call = NewCallHandle();
  return AnswerRequest(request);
}

LONG WithUserInfo(DRV_REQUESTID request, HDRVCALL, LPCSTR, DWORD) { return AnswerRequest(request); }
LONG OnOneCall(DRV_REQUESTID request, HDRVCALL) { return AnswerRequest(request); }
LONG OnTwoCalls(DRV_REQUESTID request, HDRVCALL, HDRVCALL) { return AnswerRequest(request); }

LONG ToDestination(DRV_REQUESTID request, HDRVCALL, LPCWSTR destination, DWORD) {
  ReadText(destination);
  return AnswerRequest(request);
}

LONG Consultation(DRV_REQUESTID request, HDRVCALL, HTAPICALL, LPHDRVCALL consultation, LPLINECALLPARAMS) {
  *consultation = NewCallHandle();
  return AnswerRequest(request);
}

LONG SetupConference(DRV_REQUESTID request, HDRVCALL, HDRVLINE, HTAPICALL, LPHDRVCALL conference, HTAPICALL,
                     LPHDRVCALL consultation, DWORD, LPLINECALLPARAMS) {
  *conference = NewCallHandle();
  *consultation = NewCallHandle();
  return AnswerRequest(request);
}

LONG CompleteTransfer(DRV_REQUESTID request, HDRVCALL, HDRVCALL, HTAPICALL, LPHDRVCALL conference, DWORD) {
  *conference = NewCallHandle();
  return AnswerRequest(request);
}

LONG CompleteCall(DRV_REQUESTID request, HDRVCALL, LPDWORD completion, DWORD, DWORD) {
  *completion = g_tape.Dword();
  return AnswerRequest(request);
}

LONG GenerateDigits(HDRVCALL, DWORD, DWORD, LPCWSTR digits, DWORD) {
  ReadText(digits);
  return AnswerNow();
}

TspiEntryPoints StubProvider() {
  TspiEntryPoints stubs = {};
  stubs.TSPI_lineNegotiateTSPIVersion = NegotiateTSPIVersion;
  stubs.TSPI_providerEnumDevices = EnumDevices;
  stubs.TSPI_providerInit = ProviderInit;
  stubs.TSPI_providerShutdown = ProviderShutdown;
  stubs.TSPI_lineGetDevCaps = GetDevCaps;
  stubs.TSPI_lineGetAddressCaps = GetAddressCaps;
  stubs.TSPI_lineGetAddressStatus = GetAddressStatus;
  stubs.TSPI_lineGetLineDevStatus = GetLineDevStatus;
  stubs.TSPI_lineOpen = Open;
  stubs.TSPI_lineClose = LineOnly;
  stubs.TSPI_lineSetStatusMessages = SetStatusMessages;
  stubs.TSPI_lineSetDefaultMediaDetection = SetDefaultMediaDetection;
  stubs.TSPI_lineForward = Forward;
  stubs.TSPI_lineMakeCall = MakeCall;
  stubs.TSPI_linePickup = Pickup;
  stubs.TSPI_lineDrop = WithUserInfo;
  stubs.TSPI_lineAccept = WithUserInfo;
  stubs.TSPI_lineAnswer = WithUserInfo;
  stubs.TSPI_lineHold = OnOneCall;
  stubs.TSPI_lineUnhold = OnOneCall;
  stubs.TSPI_lineRemoveFromConference = OnOneCall;
  stubs.TSPI_lineAddToConference = OnTwoCalls;
  stubs.TSPI_lineSwapHold = OnTwoCalls;
  stubs.TSPI_lineDial = ToDestination;
  stubs.TSPI_lineRedirect = ToDestination;
  stubs.TSPI_lineBlindTransfer = ToDestination;
  stubs.TSPI_linePrepareAddToConference = Consultation;
  stubs.TSPI_lineSetupTransfer = Consultation;
  stubs.TSPI_lineSetupConference = SetupConference;
  stubs.TSPI_lineCompleteTransfer = CompleteTransfer;
  stubs.TSPI_lineCompleteCall = CompleteCall;
  stubs.TSPI_lineGenerateDigits = GenerateDigits;
  return stubs;
}

template <typename EntryPoint>
void MaybeLeaveOut(EntryPoint& slot) {
  if (g_tape.Byte() % 3 == 0) slot = nullptr;
}

// A provider without some of the entry points the service checks for before it calls them; those it
// calls unchecked after its start (capabilities, version negotiation) stay.
void LeaveOutSome(TspiEntryPoints& stubs) {
  MaybeLeaveOut(stubs.TSPI_lineGetAddressStatus);
  MaybeLeaveOut(stubs.TSPI_lineGetLineDevStatus);
  MaybeLeaveOut(stubs.TSPI_lineOpen);
  MaybeLeaveOut(stubs.TSPI_lineClose);
  MaybeLeaveOut(stubs.TSPI_lineSetStatusMessages);
  MaybeLeaveOut(stubs.TSPI_lineSetDefaultMediaDetection);
  MaybeLeaveOut(stubs.TSPI_lineForward);
  MaybeLeaveOut(stubs.TSPI_lineMakeCall);
  MaybeLeaveOut(stubs.TSPI_linePickup);
  MaybeLeaveOut(stubs.TSPI_lineDrop);
  MaybeLeaveOut(stubs.TSPI_lineAccept);
  MaybeLeaveOut(stubs.TSPI_lineAnswer);
  MaybeLeaveOut(stubs.TSPI_lineHold);
  MaybeLeaveOut(stubs.TSPI_lineUnhold);
  MaybeLeaveOut(stubs.TSPI_lineRemoveFromConference);
  MaybeLeaveOut(stubs.TSPI_lineAddToConference);
  MaybeLeaveOut(stubs.TSPI_lineSwapHold);
  MaybeLeaveOut(stubs.TSPI_lineDial);
  MaybeLeaveOut(stubs.TSPI_lineRedirect);
  MaybeLeaveOut(stubs.TSPI_lineBlindTransfer);
  MaybeLeaveOut(stubs.TSPI_linePrepareAddToConference);
  MaybeLeaveOut(stubs.TSPI_lineSetupTransfer);
  MaybeLeaveOut(stubs.TSPI_lineSetupConference);
  MaybeLeaveOut(stubs.TSPI_lineCompleteTransfer);
  MaybeLeaveOut(stubs.TSPI_lineCompleteCall);
  MaybeLeaveOut(stubs.TSPI_lineGenerateDigits);
}

// ---- The client ----------------------------------------------------------------------------------

[[noreturn]] void HarnessFailure(const char* what) {
  std::fprintf(stderr, "line_fuzzer: %s (last error %d)\n", what, plat::WSAGetLastError());
  std::abort();
}

CServiceWindow* g_service = nullptr;
plat::sockaddr_in g_listenerAddress = {};

plat::sockaddr* AsAddress(plat::sockaddr_in* address) { return reinterpret_cast<plat::sockaddr*>(address); }

// Waits up to a few seconds until the socket can be read, or written to.
bool WaitReady(plat::SOCKET socket, bool forWriting) {
  plat::fd_set ready;
  plat::FdZero(&ready);
  plat::FdSet(socket, &ready);
  plat::timeval limit = {5, 0};
  return plat::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, nullptr, &limit) == 1;
}

bool WaitReadable(plat::SOCKET socket) { return WaitReady(socket, false); }

void SetNonBlocking(plat::SOCKET socket, bool nonBlocking) {
  plat::ULONG value = nonBlocking ? 1 : 0;
  if (plat::ioctlsocket(socket, plat::FIONBIO, &value) != 0) HarnessFailure("cannot set the blocking mode");
}

// A blocking connect ends with WSAEINTR when libFuzzer's timer signal comes in and leaves the socket
// unusable; select goes on after a signal.
void Connect(plat::SOCKET client) {
  SetNonBlocking(client, true);
  if (plat::connect(client, AsAddress(&g_listenerAddress), sizeof(g_listenerAddress)) != 0 &&
      plat::WSAGetLastError() != plat::WSAEWOULDBLOCK)
    HarnessFailure("cannot connect to the service");
  if (!WaitReady(client, true)) HarnessFailure("the connection is not made");
  SetNonBlocking(client, false);
}

// Reads the client end of one connection after another and drops the service's lines, so the service
// never waits to send. One thread for the whole process: a thread per input costs more than the input.
class LineDrain {
 public:
  LineDrain() {
    std::thread([this] { Run(); }).detach();
  }

  // Reads `client` until the service ends the connection.
  void Start(plat::SOCKET client) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_client = client;
    m_reading = true;
    m_changed.notify_all();
  }

  // Returns once the end of the connection has been read.
  void WaitForEnd() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_reading; });
  }

 private:
  void Run() {
    while (true) {
      plat::SOCKET client;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_reading; });
        client = m_client;
      }
      // A signal may break off a wait; only the end of the connection ends the reading.
      char lines[4096];
      int read;
      while ((read = plat::recv(client, lines, sizeof(lines), 0)) > 0 ||
             (read < 0 && plat::WSAGetLastError() == plat::WSAEINTR)) {
      }
      std::lock_guard<std::mutex> lock(m_mutex);
      m_reading = false;
      m_changed.notify_all();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  plat::SOCKET m_client = plat::INVALID_SOCKET;
  bool m_reading = false;
};

// Never destroyed: its thread reads until the process ends.
LineDrain* g_drain = nullptr;

// One connection of a client that the service takes as new, as on its listener's FD_ACCEPT.
class Connection {
 public:
  Connection() {
    m_client = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
    Connect(m_client);
    if (!WaitReadable(CServiceWindow::m_Sock)) HarnessFailure("the connection does not arrive");
    g_service->NewConnection();
    const plat::SOCKET server = CServiceWindow::m_ClientSock;
    if (server == plat::INVALID_SOCKET) HarnessFailure("the service took no connection");
    // The fuzzer hands the bytes to ReceiveData itself: no notification is wanted for them.
    plat::WSAAsyncSelect(server, CServiceWindow::m_hWnd, 0, 0);
    // Closed with a reset, so thousands of connections a second leave no ports waiting to time out.
    const plat::linger reset = {1, 0};
    if (plat::setsockopt(server, plat::SOL_SOCKET, plat::SO_LINGER, reinterpret_cast<const char*>(&reset),
                         sizeof(reset)) != 0)
      HarnessFailure("cannot make the connection close with a reset");
    g_drain->Start(m_client);
  }

  ~Connection() {
    CServiceWindow::CloseClientSocket();
    g_drain->WaitForEnd();
    plat::closesocket(m_client);
  }

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Hands the service the bytes in pieces of what one receive takes; stops when the service ends the
  // connection. The first piece comes through the socket and the service's receive, the rest straight
  // into its line framer, as the receive would pass them on. The number of bytes it took.
  size_t Deliver(const uint8_t* data, size_t size) {
    constexpr size_t kPiece = 1023;
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t delivered = 0;
    while (delivered < size && CServiceWindow::m_ClientSock != plat::INVALID_SOCKET) {
      const size_t piece = std::min(kPiece, size - delivered);
      if (delivered == 0)
        ReceiveThroughSocket(bytes, static_cast<int>(piece));
      else
        CServiceWindow::m_LineFramer.Feed(bytes + delivered, piece, CServiceWindow::DispatchData);
      delivered += piece;
    }
    return delivered;
  }

 private:
  // Sends the piece to the service and lets it receive the piece whole.
  void ReceiveThroughSocket(const char* bytes, int piece) {
    for (int sent = 0; sent < piece;) {
      int result = plat::send(m_client, bytes + sent, piece - sent, 0);
      if (result <= 0) HarnessFailure("cannot send to the service");
      sent += result;
    }
    WaitUntilWaiting(piece);
    g_service->ReceiveData();
  }

  static void WaitUntilWaiting(int count) {
    char peek[1023];
    while (true) {
      if (!WaitReadable(CServiceWindow::m_ClientSock)) HarnessFailure("the bytes do not arrive");
      if (plat::recv(CServiceWindow::m_ClientSock, peek, sizeof(peek), plat::MSG_PEEK) >= count) return;
    }
  }

  plat::SOCKET m_client;
};

// ---- The service ---------------------------------------------------------------------------------

// The service as it starts: in the machine directory of its own that the target was given before the
// service's global objects were built, against the stub provider (the empty driver name loads no
// library, so the entry points set here are the ones it prepares with), without waiting through the
// pauses of its start.
void StartService() {
  const std::filesystem::path machine = std::getenv("VELCORA_MACHINE");
  std::snprintf(g_szIniFile, sizeof(g_szIniFile), "%s", (machine / "VELCORA.INI").c_str());
  g_TspiEntryPoints = StubProvider();
  plat::SetTimeScaleForTesting(0);
  g_service = new CServiceWindow;
  plat::SetTimeScaleForTesting(1);
  // No notification area to keep the icon in, and no thread still running into the layer at exit.
  CServiceWindow::m_dwIconThreadId = 0;
  if (CServiceWindow::m_pLineRoot->GetNumberOfObjects() != static_cast<int>(kLineCount) + 1)
    HarnessFailure("the service made no lines");
  // Connections are taken by the fuzzer's call of NewConnection, not on a notification.
  plat::WSAAsyncSelect(CServiceWindow::m_Sock, CServiceWindow::m_hWnd, 0, 0);
  int length = sizeof(g_listenerAddress);
  if (plat::getsockname(CServiceWindow::m_Sock, AsAddress(&g_listenerAddress), &length) != 0)
    HarnessFailure("the service does not listen");
  g_listenerAddress.sin_addr.s_addr = plat::inet_addr("127.0.0.1");
  g_drain = new LineDrain;
}

// Every input starts where the service stood after its start: lines closed, no calls, the first
// handles, and the provider and settings the input chooses.
void ResetService() {
  for (CLineObject* line = CServiceWindow::m_pLineRoot->GetNext(); line != nullptr; line = line->GetNext())
    CServiceWindow::ResetLine(line);
  std::memset(CServiceWindow::CallTable, 0, sizeof(CServiceWindow::CallTable));
  CServiceWindow::m_dwNextTapiCall = 4;
  CServiceWindow::m_dwNextDrvCall = 0x8004;
  const uint8_t settings = g_tape.Byte();
  g_dwTSPIVersion = (settings & 1) ? 0x00030001 : 0x00020002;
  g_bFeatureOrigin = (settings >> 1) & 1;
  g_bFeatureFilterFeatures = (settings >> 2) & 1;
  g_bFeatureRefreshStatus = (settings >> 3) & 1;
  g_TspiEntryPoints = StubProvider();
  if ((settings >> 4) % 4 == 0) LeaveOutSome(g_TspiEntryPoints);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartService();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_tape.Load(data, size);
  ResetService();
  // A client that the service dropped (BYE, an unknown greeting) comes back with the rest.
  size_t delivered = 0;
  do {
    Connection connection;
    delivered += connection.Deliver(data + delivered, size - delivered);
  } while (delivered < size);
  g_tape.Load(nullptr, 0);
  return 0;
}
