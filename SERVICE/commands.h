// The Telvane commands behind the dispatcher's table: the names of each command's fields, and its handler.
#pragma once

#include "debug_tools.h"
#include "plat/types.h"

// The fields of one command line, counted from 0 as they are read (the protocol counts from 1).
using CommandFields = char (*)[256];

namespace commands {

// Every command line begins with the command word and the client's request identifier.
enum LeadingField : int { kWord, kRequest, kFirstArgument };

// Each command names the fields it reads after those two, in the order of the line, so that its handler
// reads f[kDestination]; kCount, after the last, is how many fields the dispatcher reads for it.

struct GetDevCaps {
  enum : int { kAddressName = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct GetAddressCaps {
  enum : int { kAddressName = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct GetAddressStatus {
  enum : int { kAddressName = kFirstArgument, kAddressId, kCount };
  static void Handle(CommandFields f);
};

// The three skipped fields are read and ignored.
struct Open {
  enum : int { kSkipped1 = kFirstArgument, kSkipped2, kLineNumber, kSkipped3, kAddressName, kCount };
  static void Handle(CommandFields f);
};

// The call number is read and ignored.
struct CloseCall {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct Close {
  enum : int { kLineNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct MakeCall {
  enum : int { kLineNumber = kFirstArgument, kServiceHandle, kNewCallNumber, kDestination, kCount };
  static void Handle(CommandFields f);
};

struct Drop {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct Pickup {
  enum : int {
    kLineNumber = kFirstArgument,
    kAddressId,
    kServiceHandle,
    kNewCallNumber,
    kDestination,
    kGroupId,
    kCount
  };
  static void Handle(CommandFields f);
};

struct PrepareAddToConference {
  enum : int { kConferenceCall = kFirstArgument, kServiceHandle, kNewConsultationCall, kCount };
  static void Handle(CommandFields f);
};

struct Answer {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct SetupTransfer {
  enum : int { kCallNumber = kFirstArgument, kServiceHandle, kNewConsultationCall, kCount };
  static void Handle(CommandFields f);
};

struct SetupConference {
  enum : int {
    kCallNumber = kFirstArgument,
    kLineHandleValue,
    kConferenceServiceHandle,
    kNewConferenceCall,
    kConsultationServiceHandle,
    kNewConsultationCall,
    kParties,
    kCount
  };
  static void Handle(CommandFields f);
};

struct AddToConference {
  enum : int { kConferenceCall = kFirstArgument, kConsultationCall, kCount };
  static void Handle(CommandFields f);
};

struct Dial {
  enum : int { kCallNumber = kFirstArgument, kDestination, kCount };
  static void Handle(CommandFields f);
};

struct Redirect {
  enum : int { kCallNumber = kFirstArgument, kDestination, kCount };
  static void Handle(CommandFields f);
};

struct RemoveFromConference {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct BlindTransfer {
  enum : int { kCallNumber = kFirstArgument, kDestination, kCount };
  static void Handle(CommandFields f);
};

struct SwapHold {
  enum : int { kActiveCall = kFirstArgument, kHeldCall, kCount };
  static void Handle(CommandFields f);
};

struct Hold {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct Unhold {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct CompleteCall {
  enum : int { kCallNumber = kFirstArgument, kCompletionId, kCompletionMode, kMessageId, kCount };
  static void Handle(CommandFields f);
};

struct Accept {
  enum : int { kCallNumber = kFirstArgument, kCount };
  static void Handle(CommandFields f);
};

struct CompleteTransfer {
  enum : int {
    kCallNumber = kFirstArgument,
    kConsultationCall,
    kConferenceServiceHandle,
    kNewConferenceCall,
    kTransferMode,
    kCount
  };
  static void Handle(CommandFields f);
};

// Up to four entries, each a forward mode and its destination.
struct Forward {
  enum : int {
    kLineNumber = kFirstArgument,
    kEntries,
    kMode1,
    kDestination1,
    kMode2,
    kDestination2,
    kMode3,
    kDestination3,
    kMode4,
    kDestination4,
    kCount
  };
  static constexpr int kFieldsPerEntry = kMode2 - kMode1;
  static void Handle(CommandFields f);
};

struct GenerateDigits {
  enum : int { kCallNumber = kFirstArgument, kEndToEndId, kDigitMode, kDigits, kDuration, kCount };
  static void Handle(CommandFields f);
};

// Answers a command whose line is unknown, and logs it at `level`.
void InvalidParam(const char* request, plat::LONG level = kLogWarning);

}  // namespace commands
