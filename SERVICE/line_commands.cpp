// The line commands: capabilities and address status, open, close, close of a call, forwarding.
#include <cstddef>
#include <cstring>

#include "ToolFunktion.h"
#include "commands.h"
#include "line_lookup.h"
#include "provider.h"
#include "service_window.h"

using TOOLFUNC_debug::LogMessage;

plat::BOOL g_bInProviderCall = 0;

namespace {

HDRVCALL g_hdConsultationCall = 0;

// An open line asks for every line and address state change there is.
constexpr plat::DWORD kEveryLineState = (LINEDEVSTATE_REMOVED << 1) - 1;
constexpr plat::DWORD kEveryAddressState = (LINEADDRESSSTATE_CAPSCHANGE << 1) - 1;
static_assert(kEveryLineState == 0x01FFFFFF && kEveryAddressState == 0x000001FF);

// A forward request holds at most four entries, each destination in a 32-character wide slot after them.
constexpr plat::DWORD kMaxForwardEntries = 4;
constexpr plat::DWORD kDestinationCharacters = 32;
constexpr plat::DWORD kFirstDestinationSlot =
    offsetof(LINEFORWARDLIST, ForwardList) + kMaxForwardEntries * sizeof(LINEFORWARD);
constexpr plat::DWORD kForwardRequestSize =
    kFirstDestinationSlot + kMaxForwardEntries * kDestinationCharacters * sizeof(plat::WCHAR);
static_assert(kFirstDestinationSlot == 136 && kForwardRequestSize == 392);

// The address status a client asks for reports the call counts and the forwarding.
constexpr plat::DWORD kCallCountsAndForwarding = LINEADDRESSSTATE_NUMCALLS | LINEADDRESSSTATE_FORWARD;
static_assert(kCallCountsAndForwarding == 0x60);

void Unavailable(const char* request) {
  CServiceWindow::SendLineReply(static_cast<plat::DWORD>(CServiceWindow::ReadNumber(request)),
                                static_cast<plat::LONG>(LINEERR_OPERATIONUNAVAIL));
}

// The low 32 bits of a signed 64-bit decimal number, which stops at the 64-bit limits before it is cut.
plat::DWORD ReadNumber64(const char* field) {
  return static_cast<plat::DWORD>(TOOLFUNC_string::ReadSignedDecimal64(field));
}

}  // namespace

namespace commands {

void InvalidParam(const char* request, plat::LONG level) {
  CServiceWindow::SendLineReplyText(request, static_cast<plat::LONG>(LINEERR_INVALPARAM));
  LogMessage(level, "Invalid Param");
}

void GetDevCaps::Handle(CommandFields f) {
  CLineObject* line = line_lookup::ByAddress(f[kAddressName]);
  LogMessage(kLogTrace, "pObject 0x%08X", Pointer32(line));
  if (line == nullptr) return InvalidParam(f[kRequest]);
  CServiceWindow::SendLineReplyText(f[kRequest], CServiceWindow::SendDevCaps(line, f[kRequest]));
}

void GetAddressCaps::Handle(CommandFields f) {
  CLineObject* line = line_lookup::ByAddress(f[kAddressName]);
  if (line == nullptr) return InvalidParam(f[kRequest]);
  CServiceWindow::SendLineReplyText(f[kRequest], CServiceWindow::SendAddressCaps(line, f[kRequest]));
}

void GetAddressStatus::Handle(CommandFields f) {
  CLineObject* line = line_lookup::ByAddress(f[kAddressName]);
  if (line == nullptr) return InvalidParam(f[kRequest]);
  // Only an open line has a provider handle to ask with.
  if (line->GetHdLine() == 0)
    return CServiceWindow::SendLineReplyText(f[kRequest], static_cast<plat::LONG>(LINEERR_INVALLINEHANDLE));
  plat::DWORD address = static_cast<plat::DWORD>(CServiceWindow::ReadNumber(f[kAddressId]));
  CServiceWindow::SendLineReplyText(
      f[kRequest], CServiceWindow::SendAddressStatus(line, address, kCallCountsAndForwarding, false));
}

void Open::Handle(CommandFields f) {
  CLineObject* line = line_lookup::ByAddress(f[kAddressName]);
  LogMessage(kLogTrace, "pObject: 0x%08X", Pointer32(line));
  // A missing entry point is answered before an unknown line, as for every command.
  if (g_TspiEntryPoints.TSPI_lineOpen == nullptr) return Unavailable(f[kRequest]);
  if (line == nullptr) return InvalidParam(f[kRequest]);
  plat::LONG result = 0;
  if (line->GetHtLine() == 0) {
    {
      plat::CriticalSectionLock lock(&CServiceWindow::m_csTapiCall);
      line->SetHtLine(CServiceWindow::IncrementHtLine());
    }
    line->SetClientLine(ReadNumber64(f[kLineNumber]));
    g_bInProviderCall = 1;
    result = g_TspiEntryPoints.TSPI_lineOpen(line->GetDeviceID(), line->GetHtLine(), line->GetHdLinePtr(),
                                             line->GetAPIVersion(), CServiceWindow::LineEventFunction);
    g_bInProviderCall = 0;
    LogMessage(kLogInfo, "F_TSPI_lineOpen 0x%08X", static_cast<unsigned>(result));
    // A refused open leaves the line closed, so the next open really asks the provider again.
    if (result != 0) CServiceWindow::ResetLine(line);
  }
  CServiceWindow::SendLineReplyText(f[kRequest], result);
  CServiceWindow::SendAddressCaps(line, "0");
  if (result != 0) return;
  if (g_TspiEntryPoints.TSPI_lineSetStatusMessages != nullptr)
    g_TspiEntryPoints.TSPI_lineSetStatusMessages(line->GetHdLine(), kEveryLineState, kEveryAddressState);
  CServiceWindow::SendLineDevStatus(line, LINEDEVSTATE_OTHER | LINEDEVSTATE_INSERVICE, 0, 0, true);
  CServiceWindow::SendAddressStatus(line, 0, LINEADDRESSSTATE_OTHER, true);
  CServiceWindow::SendAddressStatus(line, 0, LINEADDRESSSTATE_FORWARD, true);
  if (g_TspiEntryPoints.TSPI_lineSetDefaultMediaDetection != nullptr) {
    plat::LONG detection = g_TspiEntryPoints.TSPI_lineSetDefaultMediaDetection(
        line->GetHdLine(), LINEMEDIAMODE_INTERACTIVEVOICE);
    LogMessage(kLogInfo, "F_TSPI_lineSetDefaultMediaDetection 0x%08X", static_cast<unsigned>(detection));
  }
}

void CloseCall::Handle(CommandFields f) { CServiceWindow::SendLineReplyText(f[kRequest], 0); }

void Close::Handle(CommandFields f) {
  CLineObject* line =
      line_lookup::ByClientNumber(static_cast<plat::DWORD>(CServiceWindow::ReadNumber(f[kLineNumber])));
  if (g_TspiEntryPoints.TSPI_lineClose == nullptr) return Unavailable(f[kRequest]);
  if (line == nullptr) return InvalidParam(f[kRequest]);
  g_bInProviderCall = 1;
  plat::LONG result = g_TspiEntryPoints.TSPI_lineClose(line->GetHdLine());
  g_bInProviderCall = 0;
  CServiceWindow::ResetLine(line);
  CServiceWindow::SendLineReplyText(f[kRequest], result);
}

void Forward::Handle(CommandFields f) {
  if (g_TspiEntryPoints.TSPI_lineForward == nullptr) return Unavailable(f[kRequest]);
  plat::DWORD number = static_cast<plat::DWORD>(CServiceWindow::ReadNumber(f[kLineNumber]));
  plat::DWORD entries = static_cast<plat::DWORD>(CServiceWindow::ReadNumber(f[kEntries]));
  if (entries > kMaxForwardEntries) entries = kMaxForwardEntries;
  CLineObject* line = line_lookup::ByClientNumber(number);
  if (line == nullptr)
    return CServiceWindow::SendLineReply(static_cast<plat::DWORD>(CServiceWindow::ReadNumber(f[kRequest])),
                                         static_cast<plat::LONG>(LINEERR_OPERATIONFAILED));
  alignas(4) unsigned char list[kForwardRequestSize] = {};
  const plat::DWORD entrySize = ForwardEntrySize();
  const plat::DWORD header[2] = {kForwardRequestSize, entries};
  std::memcpy(list, header, sizeof(header));
  for (plat::DWORD n = 0; n < entries; ++n) {
    char destination[256];
    TOOLFUNC_string::CopyBounded(destination, f[kDestination1 + kFieldsPerEntry * n],
                                 sizeof(destination) - 1);
    TOOLFUNC_string::KeepDialCharacters(destination);
    const plat::DWORD slot = kFirstDestinationSlot + kDestinationCharacters * sizeof(plat::WCHAR) * n;
    LINEFORWARD entry = {};
    entry.dwForwardMode =
        static_cast<plat::DWORD>(CServiceWindow::ReadNumber(f[kMode1 + kFieldsPerEntry * n]));
    entry.dwCallerAddressType = LINEADDRESSTYPE_PHONENUMBER;
    entry.dwDestAddressType = LINEADDRESSTYPE_PHONENUMBER;
    if (destination[0] != '\0') {
      plat::WCHAR wide[kDestinationCharacters] = {};
      TOOLFUNC_string::AnsiToWide(wide, destination, kDestinationCharacters - 1);
      size_t characters = std::char_traits<char16_t>::length(wide);
      std::memcpy(list + slot, wide, (characters + 1) * sizeof(plat::WCHAR));
      entry.dwDestAddressSize = static_cast<plat::DWORD>((characters + 1) * sizeof(plat::WCHAR));
      entry.dwDestAddressOffset = slot;
    }
    // An older provider knows the entry without its two address types: only its first bytes are copied.
    std::memcpy(list + offsetof(LINEFORWARDLIST, ForwardList) + entrySize * n, &entry, entrySize);
  }
  plat::LONG result = g_TspiEntryPoints.TSPI_lineForward(
      static_cast<DRV_REQUESTID>(CServiceWindow::ReadNumber(f[kRequest])), line->GetHdLine(), 1, 0,
      reinterpret_cast<LINEFORWARDLIST*>(list), 0, 0, &g_hdConsultationCall, nullptr);
  if (result < 0) CServiceWindow::SendLineReplyText(f[kRequest], result);
}

}  // namespace commands
