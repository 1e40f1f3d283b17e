// The lookups of a line for a client command or a provider event, which never find the list's root.
#pragma once

#include "plat/types.h"

class CLineObject;

// The root heads the line list but is no line: it holds 0 for every handle and number and an empty
// address, so a client's or the provider's 0 or empty name would otherwise find it. Each returns null
// for no line.
namespace line_lookup {

// The line a client's address name stands for.
CLineObject* ByAddress(const char* address);
// The open line the client numbered so.
CLineObject* ByClientNumber(plat::DWORD number);
// The line the provider names by the service's line handle.
CLineObject* ByHtLine(plat::DWORD htLine);
// The line of the provider's device identifier.
CLineObject* ByDeviceId(plat::DWORD deviceId);

}  // namespace line_lookup
