// The system's own result codes -1 to -18 beside the TAPI ones: the names they are read by, their texts.
#pragma once

#include "tapi.h"

namespace tapitext {

struct OwnResult {
  LONG code;
  const char* key;   // the name GetLineErrFromText reads, null for a code without one
  const char* text;  // null for a code that shows as "Unknown Error"
};

// In the order a search for their names tests them; the codes without a name follow.
inline constexpr OwnResult kOwnResults[] = {
    {-17, "REFUSEFUNCTION", "Feature disabled. Command refused."},
    {-11, "BADSCENECOMMAND", "Bad scene command."},
    {-12, "BADSCENEPARAMS", "Bad function parameter."},
    {-13, "NOCALLSTATE", "No CallState."},
    {-14, "BADRETURN", "Unexpected return value."},
    {-15, "NOREPLY", "No Reply."},
    {-16, "NOSCENEFILE", nullptr},
    {-6, "UNEXPECTED", "Unexpected event."},
    {-5, "ASYNCTIMETOLONG", "Asynchronous function call needs more than 500 ms."},
    {-4, "REFUSEDYNAMIC", "Dynamic feature disabled. Command in progress."},
    {-3, "NOSUBSTATE", "No SubState in CallState."},
    {-2, "NOVARS", "Vars empty or corrupted."},
    {-1, "NOCALLINFO", "No CallInfo."},
    {-7, nullptr, "General warning."},
    {-18, nullptr, "General error."},
};

}  // namespace tapitext
