// Takes every file descriptor the process may still open, under a lowered limit.
#include "support/descriptor_limit.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iterator>

namespace testsupport {
namespace {

// Few enough to take in a moment, and room for what the test opens before it takes them.
constexpr rlim_t kAboveOpen = 16;

rlim_t OpenDescriptors() {
  std::error_code error;
  std::filesystem::directory_iterator entries("/proc/self/fd", error);
  return error ? 0 : static_cast<rlim_t>(std::distance(entries, std::filesystem::directory_iterator()));
}

}  // namespace

DescriptorsExhausted::DescriptorsExhausted() {
  const rlim_t openNow = OpenDescriptors();
  if (openNow == 0 || getrlimit(RLIMIT_NOFILE, &m_previous) != 0) return;
  rlimit lowered = m_previous;
  lowered.rlim_cur = openNow + kAboveOpen;
  if (lowered.rlim_cur >= m_previous.rlim_cur || setrlimit(RLIMIT_NOFILE, &lowered) != 0) return;
  m_lowered = true;
  const int source = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (source < 0) return;
  m_taken.push_back(source);
  for (;;) {
    const int taken = fcntl(source, F_DUPFD_CLOEXEC, 0);
    if (taken < 0) break;
    m_taken.push_back(taken);
  }
  m_exhausted = errno == EMFILE;
}

DescriptorsExhausted::~DescriptorsExhausted() {
  Free(m_taken.size());
  if (m_lowered) setrlimit(RLIMIT_NOFILE, &m_previous);
}

void DescriptorsExhausted::Free(size_t count) {
  for (; count > 0 && !m_taken.empty(); --count) {
    close(m_taken.back());
    m_taken.pop_back();
  }
}

}  // namespace testsupport
