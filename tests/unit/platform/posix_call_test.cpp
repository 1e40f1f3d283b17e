// Tests of the system-call helpers: calls made again after a signal, and writes completed after short ones.
#include "posix_call.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using plat::detail::RetryAfterSignal;
using plat::detail::WriteAll;
using plat::detail::WriteAllAt;
using plat::detail::WriteAllWith;
using testsupport::ReadFile;
using testsupport::TempDir;

// One answer of a scripted system call: what it returns and the errno it leaves.
struct Outcome {
  int result;
  int error;
};

// A system call that gives its scripted outcomes in turn and counts its calls.
class ScriptedCall {
 public:
  explicit ScriptedCall(std::vector<Outcome> outcomes) : m_outcomes(std::move(outcomes)) {}
  int operator()(int argument) const {
    EXPECT_EQ(argument, 7) << "each call gets the same arguments";
    const Outcome& outcome = m_outcomes.at(m_calls++);
    errno = outcome.error;
    return outcome.result;
  }
  size_t calls() const { return m_calls; }

 private:
  std::vector<Outcome> m_outcomes;
  mutable size_t m_calls = 0;
};

TEST(PosixCallTest, RetryAfterSignalCallsAgainOnlyWhileTheCallFailsWithEintr) {
  struct Case {
    const char* name;
    std::vector<Outcome> outcomes;
    int result;
    int error;
  } cases[] = {
      {"interrupted twice, then done", {{-1, EINTR}, {-1, EINTR}, {5, 0}}, 5, 0},
      {"interrupted, then failed", {{-1, EINTR}, {-1, EBADF}}, -1, EBADF},
      {"failed at once", {{-1, EIO}}, -1, EIO},
      {"done with a stale EINTR left in errno", {{0, EINTR}}, 0, EINTR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedCall call(c.outcomes);
    EXPECT_EQ(RetryAfterSignal(-1, call, 7), c.result);
    EXPECT_EQ(errno, c.error);
    EXPECT_EQ(call.calls(), c.outcomes.size());
  }
}

TEST(PosixCallTest, WriteAllWithOffersTheRestAfterShortAndInterruptedWrites) {
  const std::string text = "a buffer written three bytes at a time";
  std::string taken;
  std::vector<size_t> offsets;
  bool interrupt = true;
  auto threeAtATime = [&](const char* bytes, size_t count, size_t done) -> ssize_t {
    // Every other call is interrupted before it writes anything, as a signal would.
    interrupt = !interrupt;
    if (interrupt) {
      errno = EINTR;
      return -1;
    }
    offsets.push_back(done);
    const size_t wrote = std::min<size_t>(count, 3);
    taken.append(bytes, wrote);
    return static_cast<ssize_t>(wrote);
  };
  EXPECT_TRUE(WriteAllWith(threeAtATime, text.data(), text.size()));
  EXPECT_EQ(taken, text);
  for (size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(offsets[i], 3 * i);
}

TEST(PosixCallTest, WriteAllWithStopsAtAWriteThatFailsOrTakesNothing) {
  struct Case {
    const char* name;
    ssize_t second;  // the second write's result, after a first one of 2 bytes
    int error;
  } cases[] = {{"failed", -1, EIO}, {"took nothing", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int calls = 0;
    auto failsSecond = [&](const char*, size_t, size_t) -> ssize_t {
      errno = c.error;
      return ++calls == 1 ? 2 : c.second;
    };
    EXPECT_FALSE(WriteAllWith(failsSecond, "abcdef", 6));
    EXPECT_EQ(calls, 2);
  }
}

TEST(PosixCallTest, WriteAllWritesAtTheFileOffsetAndWriteAllAtAtItsOwnOffset) {
  TempDir dir;
  const std::string path = dir / "file";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(WriteAll(fd, "abcdef", 6));
  EXPECT_TRUE(WriteAllAt(fd, "XY", 2, 2));
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 6) << "the positioned write leaves the file offset alone";
  EXPECT_TRUE(WriteAll(fd, "gh", 2));
  close(fd);
  EXPECT_EQ(ReadFile(path), "abXYefgh");
}

}  // namespace
