// The epoll set behind a thread's message wait.
#include "message_wait.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <iterator>

namespace plat::detail {
namespace {

constexpr uint64_t kWakeKey = 0;  // no socket has this value

using Clock = std::chrono::steady_clock;

std::atomic<ReadyHandler> g_handler{nullptr};
std::atomic<DueHandler> g_dueHandler{nullptr};

// `timeoutMs` (-1: none) shortened to end by the tick count `due`.
int TimeoutUntil(int timeoutMs, int64_t due) {
  const int64_t left = due - Clock::now().time_since_epoch().count();
  const int64_t leftMs = std::clamp<int64_t>(
      std::chrono::ceil<std::chrono::milliseconds>(Clock::duration(left)).count(), 0, INT_MAX);
  return timeoutMs < 0 ? static_cast<int>(leftMs) : std::min(timeoutMs, static_cast<int>(leftMs));
}

// Closes `fd` keeping the errno value of the failure that made the caller give up.
void CloseKeepingErrno(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
}

}  // namespace

std::unique_ptr<MessageWaitSet> MessageWaitSet::Create() {
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll < 0) return nullptr;
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    CloseKeepingErrno(epoll);
    return nullptr;
  }
  std::unique_ptr<MessageWaitSet> set(new MessageWaitSet(epoll, wake));
  if (int error = set->Control(EPOLL_CTL_ADD, wake, kWakeKey, EPOLLIN); error != 0) {
    set.reset();
    errno = error;
  }
  return set;
}

MessageWaitSet::~MessageWaitSet() {
  ::close(m_wake);
  ::close(m_epoll);
}

int MessageWaitSet::Add(int fd, uint64_t key, uint32_t events) {
  return Control(EPOLL_CTL_ADD, fd, key, events);
}

int MessageWaitSet::Modify(int fd, uint64_t key, uint32_t events) {
  return Control(EPOLL_CTL_MOD, fd, key, events);
}

// Removing fails only for a descriptor the set does not hold or that is closed already: either way it
// is not watched any more, which is all that was asked.
void MessageWaitSet::Remove(int fd) { ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr); }

int MessageWaitSet::Control(int operation, int fd, uint64_t key, uint32_t events) {
  epoll_event interest{};
  interest.events = events;
  interest.data.u64 = key;
  return ::epoll_ctl(m_epoll, operation, fd, &interest) == 0 ? 0 : errno;
}

bool MessageWaitSet::Wait(int timeoutMs) {
  int64_t due = m_due.load();
  if (due != kNothingDue) timeoutMs = TimeoutUntil(timeoutMs, due);
  // Announced before the marks are looked at, so that a mark made meanwhile either is seen here or
  // wakes the wait (both sides store first, then load).
  m_waiting.store(true);
  if (m_anyMarked.load()) timeoutMs = 0;
  epoll_event ready[64];
  int count = ::epoll_wait(m_epoll, ready, static_cast<int>(std::size(ready)), timeoutMs);
  m_waiting.store(false);
  // Not made again here: a signal ends the wait early as a wake-up does, and the caller looks again at
  // what it waits for.
  if (count < 0) return errno == EINTR;
  // A CallBackBy made meanwhile for a later time stays; one for an earlier time is due as well.
  due = m_due.load();
  while (due <= Clock::now().time_since_epoch().count()) {
    if (!m_due.compare_exchange_weak(due, kNothingDue)) continue;
    if (DueHandler handler = g_dueHandler.load()) handler();
    break;
  }
  ReadyHandler handler = g_handler.load();
  for (int i = 0; i < count; ++i) {
    if (ready[i].data.u64 == kWakeKey) {
      // The counter is read whole, and only when it is above zero: the read cannot fail.
      uint64_t wakes;
      [[maybe_unused]] ssize_t taken = ::read(m_wake, &wakes, sizeof wakes);
    } else if (handler != nullptr) {
      handler(ready[i].data.u64, ready[i].events);
    }
  }
  if (handler != nullptr && m_anyMarked.load()) {
    // A copy: the handler may unmark while it runs.
    {
      std::lock_guard<std::mutex> lock(m_markMutex);
      m_handing = m_marked;
    }
    for (uint64_t key : m_handing) handler(key, 0);
  }
  return true;
}

// A write fails only when the counter is at its maximum, which wakes the wait as well.
void MessageWaitSet::Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(m_wake, &one, sizeof one);
}

void MessageWaitSet::CallBackBy(Clock::time_point due) {
  const int64_t ticks = due.time_since_epoch().count();
  int64_t earliest = m_due.load();
  while (ticks < earliest && !m_due.compare_exchange_weak(earliest, ticks)) {
  }
  Wake();  // a wait under way takes the new end
}

void MessageWaitSet::MarkReady(uint64_t key) {
  {
    std::lock_guard<std::mutex> lock(m_markMutex);
    if (std::find(m_marked.begin(), m_marked.end(), key) != m_marked.end()) return;
    m_marked.push_back(key);
    m_anyMarked.store(true);
  }
  if (m_waiting.load()) Wake();
}

void MessageWaitSet::Unmark(uint64_t key) {
  std::lock_guard<std::mutex> lock(m_markMutex);
  auto found = std::find(m_marked.begin(), m_marked.end(), key);
  if (found == m_marked.end()) return;
  m_marked.erase(found);
  m_anyMarked.store(!m_marked.empty());
}

void SetHandlers(ReadyHandler ready, DueHandler due) {
  g_handler.store(ready);
  g_dueHandler.store(due);
}

}  // namespace plat::detail
