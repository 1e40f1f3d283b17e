// Leaves the test process without a free file descriptor, and gives them back.
#pragma once

#include <sys/resource.h>

#include <cstddef>
#include <vector>

namespace testsupport {

// Lowers the soft limit of open files to a few above the descriptors open now and takes every number
// left below it, so the next call that makes a descriptor fails with EMFILE. The descriptors and the
// limit are given back when it ends, whatever the test did meanwhile.
class DescriptorsExhausted {
 public:
  DescriptorsExhausted();
  ~DescriptorsExhausted();
  DescriptorsExhausted(const DescriptorsExhausted&) = delete;
  DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

  // Whether no descriptor is left (false: the limit could not be lowered).
  bool exhausted() const { return m_exhausted; }
  // Gives `count` descriptors back for the code under test to take.
  void Free(size_t count);

 private:
  rlimit m_previous{};
  bool m_lowered = false;
  bool m_exhausted = false;
  std::vector<int> m_taken;
};

}  // namespace testsupport
