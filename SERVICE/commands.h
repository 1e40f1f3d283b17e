// The handlers of the Telvane commands behind the dispatcher's table.
#pragma once

#include <cstddef>

#include "plat/types.h"

// The fields of one command line: field 0 is the command word, field 1 the request identifier.
using CommandFields = char (*)[256];

class CLineObject;

namespace commands {

// The open line the client numbered so; number 0 and lines not open name nothing.
CLineObject* LineByClientNumber(plat::DWORD number);

void GetDevCaps(CommandFields f);
void GetAddressCaps(CommandFields f);
void GetAddressStatus(CommandFields f);
void Open(CommandFields f);
void CloseCall(CommandFields f);
void Close(CommandFields f);
void Forward(CommandFields f);
void Drop(CommandFields f);
void Accept(CommandFields f);
void Answer(CommandFields f);
void Hold(CommandFields f);
void Unhold(CommandFields f);
void RemoveFromConference(CommandFields f);
void Dial(CommandFields f);
void Redirect(CommandFields f);
void BlindTransfer(CommandFields f);
void AddToConference(CommandFields f);
void SwapHold(CommandFields f);
void MakeCall(CommandFields f);
void Pickup(CommandFields f);
void PrepareAddToConference(CommandFields f);
void SetupTransfer(CommandFields f);
void SetupConference(CommandFields f);
void CompleteTransfer(CommandFields f);
void CompleteCall(CommandFields f);
void GenerateDigits(CommandFields f);

}  // namespace commands
