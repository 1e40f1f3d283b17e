// The machine's list of telephony service providers, kept in the registry as the telephony setup keeps it.
#pragma once

#include "plat/types.h"

namespace plat {

// The registry key under HKEY_LOCAL_MACHINE that lists the installed providers: NumProviders,
// NextProviderID, and ProviderFilename<i> with ProviderID<i> for i from 0.
inline constexpr char kTelephonyProvidersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";

// The LINEERR_ codes are those of the telephony header (tapi.h).
// Enters `providerFilename` as given at the end of the provider list under a permanent identifier of
// its own (NextProviderID, never one already listed), written to `permanentProviderId`. Returns 0;
// LINEERR_INVALPOINTER for a null or empty name or a null result; LINEERR_NOMULTIPLEINSTANCE when a
// provider of the same file name (directory dropped, compared without case) is listed already (the
// list is left as it is); LINEERR_OPERATIONFAILED when the registry cannot be written. Processes that
// add at the same time get distinct entries. The provider's own install function is not called and
// `owner` is not used: there is nothing to show.
LONG lineAddProvider(LPCSTR providerFilename, HWND owner, LPDWORD permanentProviderId);

}  // namespace plat
