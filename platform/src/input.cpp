// The input recorder: there is no desktop session to inject keys or clicks into.
#include "plat/input.h"

#include <mutex>
#include <utility>

#include "plat/error.h"
#include "plat/testing/input.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::vector<INPUT>& Sent() {
  static std::vector<INPUT> value;
  return value;
}

}  // namespace

UINT SendInput(UINT count, INPUT* inputs, int size) {
  if ((inputs == nullptr && count != 0) || size != static_cast<int>(sizeof(INPUT))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  Sent().insert(Sent().end(), inputs, inputs + count);
  return count;
}

LPARAM GetMessageExtraInfo() { return 0; }

std::vector<INPUT> TakeSentInputsForTesting() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return std::exchange(Sent(), {});
}

}  // namespace plat
