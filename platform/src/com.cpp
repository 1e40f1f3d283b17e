// COM start-up per thread: a count and the model the thread's first counted call chose.
#include "plat/com.h"

#include <mutex>
#include <utility>

#include "plat/testing/com.h"
#include "plat/thread.h"

namespace plat {
namespace {

struct ThreadApartment {
  DWORD count = 0;
  bool apartmentThreaded = false;  // meaningful while count is above 0
};

thread_local ThreadApartment t_apartment;

std::mutex g_mutex;
std::vector<ComCall> g_calls;

void Record(ComFunction function, DWORD flags, HRESULT result) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_calls.push_back({function, flags, result, GetCurrentThreadId()});
}

HRESULT Start(LPVOID reserved, DWORD flags) {
  if (reserved != nullptr) return E_INVALIDARG;
  const bool apartmentThreaded = (flags & COINIT_APARTMENTTHREADED) != 0;
  if (t_apartment.count == 0) {
    t_apartment = {1, apartmentThreaded};
    return S_OK;
  }
  if (t_apartment.apartmentThreaded != apartmentThreaded) return RPC_E_CHANGED_MODE;
  ++t_apartment.count;
  return S_FALSE;
}

}  // namespace

HRESULT CoInitialize(LPVOID reserved) {
  HRESULT result = Start(reserved, COINIT_APARTMENTTHREADED);
  Record(ComFunction::CoInitialize, COINIT_APARTMENTTHREADED, result);
  return result;
}

HRESULT CoInitializeEx(LPVOID reserved, DWORD flags) {
  HRESULT result = Start(reserved, flags);
  Record(ComFunction::CoInitializeEx, flags, result);
  return result;
}

void CoUninitialize() {
  if (t_apartment.count > 0) --t_apartment.count;
  Record(ComFunction::CoUninitialize, 0, S_OK);
}

std::vector<ComCall> TakeComCalls() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(g_calls, {});
}

DWORD ComInitializationsForTesting() { return t_apartment.count; }

}  // namespace plat
