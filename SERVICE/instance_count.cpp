// The application-mode instance counter, shared by every process of the program file.
#include <atomic>
#include <cstdint>

#include "plat/shared_section.h"
#include "service_window.h"

namespace {

std::atomic<int32_t>& InstanceCount() { return plat::SharedSectionValue("SMVelcor"); }

}  // namespace

bool CServiceWindow::TryEnterInstance() {
  // One step across processes: two starts at once can never both see 0.
  int32_t count = InstanceCount().load();
  do {
    if (count > 0) return false;
  } while (!InstanceCount().compare_exchange_weak(count, count + 1));
  return true;
}

void CServiceWindow::ResetInstanceCount() { InstanceCount().store(0); }
