// The entry points the provider implements, by the names the control command `fail` takes.
#pragma once

#include <cstddef>
#include <string>

namespace simtsp {

// X(name, asynchronous) once per entry point, in no particular order.
#define SIMTSP_ENTRY_POINTS(X)                \
  X(TSPI_lineAccept, true)                    \
  X(TSPI_lineAddToConference, true)           \
  X(TSPI_lineAnswer, true)                    \
  X(TSPI_lineBlindTransfer, true)             \
  X(TSPI_lineClose, false)                    \
  X(TSPI_lineCloseCall, false)                \
  X(TSPI_lineCompleteCall, true)              \
  X(TSPI_lineCompleteTransfer, true)          \
  X(TSPI_lineDial, true)                      \
  X(TSPI_lineDrop, true)                      \
  X(TSPI_lineForward, true)                   \
  X(TSPI_lineGenerateDigits, false)           \
  X(TSPI_lineGetAddressCaps, false)           \
  X(TSPI_lineGetAddressStatus, false)         \
  X(TSPI_lineGetCallInfo, false)              \
  X(TSPI_lineGetCallStatus, false)            \
  X(TSPI_lineGetDevCaps, false)               \
  X(TSPI_lineGetLineDevStatus, false)         \
  X(TSPI_lineHold, true)                      \
  X(TSPI_lineMakeCall, true)                  \
  X(TSPI_lineNegotiateExtVersion, false)      \
  X(TSPI_lineNegotiateTSPIVersion, false)     \
  X(TSPI_lineOpen, false)                     \
  X(TSPI_linePickup, true)                    \
  X(TSPI_linePrepareAddToConference, true)    \
  X(TSPI_lineRedirect, true)                  \
  X(TSPI_lineRemoveFromConference, true)      \
  X(TSPI_lineSetDefaultMediaDetection, false) \
  X(TSPI_lineSetStatusMessages, false)        \
  X(TSPI_lineSetupConference, true)           \
  X(TSPI_lineSetupTransfer, true)             \
  X(TSPI_lineSwapHold, true)                  \
  X(TSPI_lineUnhold, true)                    \
  X(TSPI_providerCreateLineDevice, false)     \
  X(TSPI_providerEnumDevices, false)          \
  X(TSPI_providerInit, false)                 \
  X(TSPI_providerShutdown, false)

enum class Entry : unsigned {
#define SIMTSP_ENTRY_ENUMERATOR(name, asynchronous) name,
  SIMTSP_ENTRY_POINTS(SIMTSP_ENTRY_ENUMERATOR)
#undef SIMTSP_ENTRY_ENUMERATOR
};

struct EntryInfo {
  const char* name;
  bool asynchronous;  // answers with the request id and completes later
};

constexpr EntryInfo kEntries[] = {
#define SIMTSP_ENTRY_INFO(name, asynchronous) {#name, asynchronous},
    SIMTSP_ENTRY_POINTS(SIMTSP_ENTRY_INFO)
#undef SIMTSP_ENTRY_INFO
};
constexpr size_t kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);

// The entry point named `name`; false when the provider implements none by that name.
inline bool FindEntry(const std::string& name, Entry& entry) {
  for (size_t i = 0; i < kEntryCount; ++i) {
    if (name == kEntries[i].name) {
      entry = static_cast<Entry>(i);
      return true;
    }
  }
  return false;
}

}  // namespace simtsp
