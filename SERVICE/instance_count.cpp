// The application-mode instance counter, shared by every process of the program file.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/shared_section.h"
#include "service_window.h"
#include "winmain.h"

namespace {

std::atomic<int32_t>* InstanceCount() { return plat::SharedSectionValue("SMVelcor"); }

}  // namespace

bool AttachInstanceCount() {
  if (InstanceCount() != nullptr) return true;
  const plat::DWORD error = plat::GetLastError();
  char* reason = TOOLFUNC_debug::GetLastErrorText();
  reason[std::strcspn(reason, "\r\n")] = '\0';
  TOOLFUNC_debug::LogMessage(kLogError, "The instance count SMVelcor cannot be kept: error %u %s", error,
                             reason);
  return false;
}

bool CServiceWindow::TryEnterInstance() {
  std::atomic<int32_t>* count = InstanceCount();
  // Without the shared count no start can tell whether another one runs: none is let in.
  if (count == nullptr) return false;
  // One step across processes: two starts at once can never both see 0.
  int32_t seen = count->load();
  do {
    if (seen > 0) return false;
  } while (!count->compare_exchange_weak(seen, seen + 1));
  return true;
}

void CServiceWindow::ResetInstanceCount() {
  if (std::atomic<int32_t>* count = InstanceCount()) count->store(0);
}
