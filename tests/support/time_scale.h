// The factor of this process's sleeps and timed waits, set for one scope.
#pragma once

#include "plat/testing/time.h"

namespace testsupport {

// Sets the factor of every sleep and timed wait of this process while it lives, then restores the one
// in force before.
class ScopedTimeScale {
 public:
  explicit ScopedTimeScale(double factor) : m_saved(plat::TimeScale()) {
    plat::SetTimeScaleForTesting(factor);
  }
  ~ScopedTimeScale() { plat::SetTimeScaleForTesting(m_saved); }
  ScopedTimeScale(const ScopedTimeScale&) = delete;
  ScopedTimeScale& operator=(const ScopedTimeScale&) = delete;

 private:
  double m_saved;
};

}  // namespace testsupport
