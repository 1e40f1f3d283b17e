// The process-wide state of the bound provider library and its entry-point table.
#pragma once

#include <cstddef>

#include "plat/types.h"
#include "tapi.h"
#include "tspi.h"

// One slot per exported name, in the fixed order of the list; null where the library has no such export.
struct TspiEntryPoints {
#define TSPI_SLOT(name) PFN_##name name;
  TSPI_ENTRY_POINTS(TSPI_SLOT)
#undef TSPI_SLOT
};
static_assert(sizeof(TspiEntryPoints) == TSPI_ENTRY_POINT_COUNT * sizeof(void*));

extern plat::HMODULE g_hTspiLibrary;
extern TspiEntryPoints g_TspiEntryPoints;
extern plat::DWORD g_dwTSPIVersion;
extern plat::DWORD g_dwPermanentProviderID;
extern plat::DWORD g_dwNumLines;
extern plat::DWORD g_dwNumPhones;
extern plat::DWORD g_dwTSPIOptions;
extern const HPROVIDER g_hProvider;

// The bytes of one forward list entry under the agreed interface version: from version 3.1 on, the
// entry ends with the two address types the older layout lacks. Requests and status lines use the same.
inline plat::DWORD ForwardEntrySize() {
  return g_dwTSPIVersion < TAPI_VERSION3_1 ? offsetof(LINEFORWARD, dwCallerAddressType) : sizeof(LINEFORWARD);
}

class CLineObject;

// The line's capabilities in the structure buffer, asked with its versions and, when the provider
// refuses, once more with extension version 0 (the buffer is not cleared again). The provider's result.
// `retryLog`, when given, is logged at level 3 before the second attempt.
LONG QueryDevCaps(const CLineObject& line, LINEDEVCAPS** caps);
LONG QueryAddressCaps(const CLineObject& line, LINEADDRESSCAPS** caps, const char* retryLog = nullptr);
