// The handlers of the Telvane commands behind the dispatcher's table.
#pragma once

#include <cstddef>

#include "plat/types.h"

// The fields of one command line: field 0 is the command word, field 1 the request identifier.
using CommandFields = char (*)[256];

namespace commands {

void GetDevCaps(CommandFields f);
void GetAddressCaps(CommandFields f);
void GetAddressStatus(CommandFields f);
void Open(CommandFields f);
void CloseCall(CommandFields f);
void Close(CommandFields f);
void Forward(CommandFields f);
// A call command, until the call commands have bodies: the common failures only.
void CallCommand(CommandFields f);

}  // namespace commands

// Set while the main thread is inside the provider's lineOpen or lineClose, or handles an event.
extern plat::BOOL g_bInProviderCall;
