// COM start-up and shut-down of a thread: the apartment model it joins and how often it did so.
#pragma once

#include "plat/types.h"

namespace plat {

// A COM result: 0 and above succeed, negative values are failures.
using HRESULT = LONG;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }

// The failure code of the Windows error `error`: 0x8007xxxx, and S_OK for 0.
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
  return error == 0 ? S_OK : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// CoInitializeEx with COINIT_APARTMENTTHREADED.
HRESULT CoInitialize(LPVOID reserved);
// Joins the calling thread to the model COINIT_APARTMENTTHREADED in `flags` names (else the
// multithreaded one): S_OK on the thread's first call, S_FALSE on a later one with the same model.
// Each of these counts and takes one CoUninitialize. RPC_E_CHANGED_MODE, not counted, when the thread
// runs the other model; E_INVALIDARG, not counted, when `reserved` is not null.
HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
// Takes back one counted start-up of the calling thread; the last one leaves the thread without a model,
// free to choose again. Does nothing on a thread that is not started up.
void CoUninitialize();

}  // namespace plat
