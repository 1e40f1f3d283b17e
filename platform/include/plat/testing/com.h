// Test seams of COM start-up: the calls made and the start-ups a thread holds.
#pragma once

#include <vector>

#include "plat/com.h"

namespace plat {

// Every CoInitialize, CoInitializeEx and CoUninitialize call in this process, in order, whatever it
// returned.
enum class ComFunction { CoInitialize, CoInitializeEx, CoUninitialize };
struct ComCall {
  ComFunction function;
  DWORD flags;     // as passed to CoInitializeEx; COINIT_APARTMENTTHREADED for CoInitialize; 0 else
  HRESULT result;  // S_OK for CoUninitialize
  DWORD threadId;
};
std::vector<ComCall> TakeComCalls();
// How many counted start-ups the calling thread holds.
DWORD ComInitializationsForTesting();

}  // namespace plat
